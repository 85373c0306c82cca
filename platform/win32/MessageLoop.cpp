#include "platform/MessageLoop.h"

#include <windows.h>

#include <atomic>

#include "platform/Dialog.h"
#include "platform/win32/DialogKeys.h"

// The message loop on Windows is the system's own: messages are taken with PeekMessageW, offered to the
// dialog with IsDialogMessageW, translated with TranslateMessage and dispatched with DispatchMessageW.
// A Message carries the window and the numbers the system gave, and is turned back into the same MSG.
namespace platform {
namespace {

std::atomic<DWORD> dialogThread{0};

// The Dialog whose window (or one of whose controls) the message is for, or null.
Dialog* dialogOf(HWND window) {
    if (window == nullptr)
        return nullptr;
    for (Dialog* dialog : Dialog::all()) {
        auto* own = static_cast<HWND>(dialog->hostWindow());
        if (own == window || IsChild(own, window))
            return dialog;
    }
    return nullptr;
}

MSG toSystemMessage(const Message& message) {
    MSG system{};
    system.hwnd = static_cast<HWND>(message.hostWindow);
    system.message = static_cast<UINT>(message.type);
    system.wParam = message.wParam;
    system.lParam = message.lParam;
    system.time = message.time;
    const DWORD position = GetMessagePos();
    system.pt.x = static_cast<int16_t>(LOWORD(position));
    system.pt.y = static_cast<int16_t>(HIWORD(position));
    return system;
}

}  // namespace

bool peekMessage(Message& message) {
    Dialog::collectDestroyed();
    MSG system;
    if (!PeekMessageW(&system, nullptr, 0, 0, PM_REMOVE))
        return false;
    message = Message{};
    message.type = static_cast<MessageType>(system.message);
    message.hostWindow = system.hwnd;
    message.wParam = system.wParam;
    message.lParam = system.lParam;
    message.time = static_cast<uint32_t>(system.time);
    message.dialog = dialogOf(system.hwnd);
    if (message.dialog != nullptr && system.hwnd != message.dialog->hostWindow())
        message.control = GetDlgCtrlID(system.hwnd);
    return true;
}

bool isDialogMessage(Dialog* dialog, const Message& message) {
    if (!Dialog::isLive(dialog))
        return false;
    MSG system = toSystemMessage(message);
    if (win32::takeAreaKey(*dialog, system))
        return true;
    return IsDialogMessageW(static_cast<HWND>(dialog->hostWindow()), &system) != FALSE;
}

bool translateMessage(const Message& message) {
    MSG system = toSystemMessage(message);
    return TranslateMessage(&system) != FALSE;
}

bool dispatchMessage(const Message& message) {
    MSG system = toSystemMessage(message);
    return DispatchMessageW(&system) != 0;
}

void postQuitMessage(int exitCode) {
    PostQuitMessage(exitCode);
}

bool postMessage(Dialog* dialog, MessageType type, uintptr_t wParam, intptr_t lParam) {
    if (!Dialog::isLive(dialog))
        return false;
    return PostMessageW(static_cast<HWND>(dialog->hostWindow()), static_cast<UINT>(type), wParam, lParam) !=
           FALSE;
}

void sleepMilliseconds(uint32_t milliseconds) {
    Sleep(milliseconds);
}

int processPendingMessages(Dialog* dialog) {
    int handled = 0;
    Message message;
    while (peekMessage(message)) {
        ++handled;
        if (!isDialogMessage(dialog, message)) {
            translateMessage(message);
            dispatchMessage(message);
        }
    }
    return handled;
}

// Only the calling thread's queue can be emptied; a thread without windows has nothing waiting.
void discardPendingInput() {
    MSG system;
    while (PeekMessageW(&system, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (PeekMessageW(&system, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
}

void noteDialogThread() {
    dialogThread.store(GetCurrentThreadId());
}

bool isDialogThread() {
    return dialogThread.load() == GetCurrentThreadId();
}

// The system drops what was posted to a window once the window is destroyed.
void forgetDialogMessages(const Dialog*) {}

}  // namespace platform
