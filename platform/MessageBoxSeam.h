#pragma once
#include "platform/MessageBox.h"

// The seam between the shared handler code and a backend's message box.
namespace platform {

// A copy of the handler installed by setMessageBoxHandler; empty when the host's is in use.
MessageBoxHandler installedMessageBoxHandler();

}  // namespace platform
