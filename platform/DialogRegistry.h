#pragma once
#include <vector>

// The dialogs of the process, shared by the backends' dialog code. Internal to the layer; used on the
// thread that runs the dialogs only.
namespace platform {

class Dialog;

// The dialogs that exist, in the order they were made.
std::vector<Dialog*>& liveDialogs();
// Dialogs destroyed from inside their own procedure, waiting until nothing of theirs runs any more.
std::vector<Dialog*>& destroyedDialogs();

}  // namespace platform
