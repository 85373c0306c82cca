#pragma once
#include <cstdint>

#include "platform/Message.h"

// The polling message loop of the programs, in its Windows shape:
//
//     while (running) {
//         Message message;
//         while (platform::peekMessage(message)) {
//             if (!platform::isDialogMessage(dialog, message)) {
//                 platform::translateMessage(message);
//                 platform::dispatchMessage(message);
//             }
//         }
//         platform::sleepMilliseconds(platform::kLoopSleepMilliseconds);
//     }
//
// Input comes from the host's event queue and is addressed when it is taken: mouse input to the list
// under the pointer (an open list takes all of it) or else to the dialog, keys to the focused list or the
// dialog. A dialog that needs painting gets its Paint when nothing else is waiting.
namespace platform {

class Dialog;

constexpr uint32_t kLoopSleepMilliseconds = 10;

// Removes the next waiting message into `message` without blocking; false when nothing is waiting.
bool peekMessage(Message& message);

// The dialog's keyboard handling: Tab and Shift+Tab move the focus between the lists, the arrow keys,
// Home, End, the page keys, F4 and Alt+arrow work the focused list, typed letters pick entries, Enter and
// Escape become Command kCommandOk / kCommandCancel for the procedure. True when the message was used (do
// not translate or dispatch it then).
bool isDialogMessage(Dialog* dialog, const Message& message);

// For a KeyDown that produced characters: queues a Char message for each. True when it queued any.
bool translateMessage(const Message& message);

// Delivers the message: to the list it is addressed to, else to the dialog procedure (with the default
// handling: Alt+F4 becomes Close, an unhandled Paint still validates). Returns the procedure's answer,
// or true when a list used the message.
bool dispatchMessage(const Message& message);

// Queues a Quit message with the exit code.
void postQuitMessage(int exitCode);

// Queues a message for a dialog, to be taken by peekMessage. False for a dialog that does not exist.
bool postMessage(Dialog* dialog, MessageType type, uintptr_t wParam, intptr_t lParam);

// Sleeps the calling thread.
void sleepMilliseconds(uint32_t milliseconds);

// One pass of the loop body above: takes, offers, translates and dispatches every waiting message.
// Returns how many it handled.
int processPendingMessages(Dialog* dialog);

// Drops keyboard and mouse input that is waiting, and what the lists remember of pressed buttons (after a
// modal box, which would have swallowed that input). Called from another thread than the dialogs' own, it
// only empties the host's queue.
void discardPendingInput();

// Records the calling thread as the one that runs the dialogs (used by createDialog).
void noteDialogThread();
// Whether the calling thread is the one that runs the dialogs.
bool isDialogThread();

// Drops queued messages for a dialog that is going away (used by destroyDialog).
void forgetDialogMessages(const Dialog* dialog);

}  // namespace platform
