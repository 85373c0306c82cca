#pragma once

// Start and end of the host's video and font subsystems, counted, so that dialogs, the adapter query and
// synthetic input can each hold them without knowing about the others. Internal to the layer.
namespace platform::video {

// Starts SDL's video (with the layer's hints) and the font engine; false when there is no video at all.
bool acquire();
// Undoes one successful acquire().
void release();
// Whether video is running at the moment.
bool running();

}  // namespace platform::video
