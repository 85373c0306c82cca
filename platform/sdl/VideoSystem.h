#pragma once

// Start of the host's video and font subsystems, for dialogs, the adapter query and synthetic input,
// whichever comes first. Internal to the layer.
namespace platform::video {

// Starts SDL's video (with the layer's hints) and the font engine; false when there is no video at all.
bool acquire();
// Marks the end of one user's need. Video is kept up for the rest of the process (see acquire()).
void release();
// Whether video is running at the moment.
bool running();

}  // namespace platform::video
