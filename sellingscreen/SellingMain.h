#pragma once
#include <functional>

namespace platform {
class Dialog;
}

namespace selling {

// Called after every pass of the message loop with the dialog and the pass number (from 0), before the
// loop sleeps. Tests and scripted demos use it to feed input and look at the screen while it runs.
using LoopObserver = std::function<void(platform::Dialog& dialog, int pass)>;

// The program: the service registry and the file manager with the three archives of the current
// directory, the dialog with its three pictures, the message loop until a button or the close request ends
// it, and after a click on the buy button the shop's page in the browser. Returns 0, or 1 when the dialog
// cannot be shown at all (no video).
//
// The registry and the file manager stay published after it returns, as for the rest of a process; a
// second run in the same process replaces those of the first.
int runSellingScreen(const LoopObserver& observer);

// The entry function of `selling`: runSellingScreen without an observer.
int sellingMain();

}  // namespace selling
