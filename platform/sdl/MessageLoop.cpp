#include "platform/MessageLoop.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <string>
#include <thread>

#include "platform/CodePage.h"
#include "platform/Dialog.h"
#include "platform/sdl/GameControllers.h"
#include "platform/sdl/KeyMap.h"
#include "platform/sdl/UiScale.h"
#include "platform/sdl/VideoSystem.h"

namespace platform {
namespace {

// The thread that made the first dialog: the queue of posted messages and the dialogs belong to it.
std::atomic<std::thread::id> dialogThread{};

// Messages made by the layer itself (posted, translated characters, close requests for several dialogs);
// they are taken before the host's queue.
std::deque<Message>& postedMessages() {
    static std::deque<Message> messages;
    return messages;
}

bool isInputMessage(MessageType type) {
    switch (type) {
        case MessageType::KeyDown:
        case MessageType::KeyUp:
        case MessageType::Char:
        case MessageType::MouseMove:
        case MessageType::LeftButtonDown:
        case MessageType::LeftButtonUp:
        case MessageType::RightButtonDown:
        case MessageType::RightButtonUp:
        case MessageType::MouseWheel:
            return true;
        default:
            return false;
    }
}

intptr_t modifiersOf(Uint16 mod) {
    intptr_t modifiers = 0;
    if ((mod & KMOD_SHIFT) != 0) {
        modifiers |= kModifierShift;
    }
    if ((mod & KMOD_CTRL) != 0) {
        modifiers |= kModifierControl;
    }
    if ((mod & KMOD_ALT) != 0) {
        modifiers |= kModifierAlt;
    }
    return modifiers;
}

// The code points of a UTF-8 text, at most `limit` of them.
std::u32string codePoints(const char* utf8, size_t limit) {
    std::u16string wide = utf8ToUtf16(utf8);
    std::u32string result;
    for (size_t i = 0; i < wide.size() && result.size() < limit; ++i) {
        char32_t unit = wide[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < wide.size()) {
            unit = 0x10000 + ((unit - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        }
        result.push_back(unit);
    }
    return result;
}

Message mouseMessage(Dialog* dialog, MessageType type, int windowX, int windowY, uint32_t time) {
    int x = windowToClient(windowX, dialog->scale());
    int y = windowToClient(windowY, dialog->scale());
    Message message;
    message.type = type;
    message.dialog = dialog;
    message.control = dialog->mouseTarget(x, y);
    message.lParam = packPoint(x, y);
    message.time = time;
    return message;
}

// The dialog that controllers talk to: the one with the desktop's focus, else the last one shown.
Dialog* controllerTarget() {
    Dialog* target = nullptr;
    for (Dialog* dialog : Dialog::all()) {
        if (dialog->isVisible()) {
            if (dialog->isActive()) {
                return dialog;
            }
            target = dialog;
        }
    }
    return target;
}

bool controllerKey(uint32_t key, uint32_t time, Message& out) {
    Dialog* dialog = controllerTarget();
    if (key == 0 || dialog == nullptr) {
        return false;
    }
    out = Message{};
    out.type = MessageType::KeyDown;
    out.dialog = dialog;
    out.control = dialog->focusedControl();
    out.wParam = key;
    out.time = time;
    return true;
}

// The finger that acts as the pointer: the first one down, until it is lifted. Further fingers are
// ignored (no gestures).
bool fingerActive = false;
SDL_FingerID activeFinger = 0;

// A touch as the left button at the point touched: a tap is a click.
bool translateFinger(const SDL_TouchFingerEvent& finger, Uint32 type, Message& out) {
    Dialog* dialog = Dialog::fromWindowId(finger.windowID);
    if (dialog == nullptr) {
        return false;
    }
    if (type == SDL_FINGERDOWN) {
        if (fingerActive) {
            return false;
        }
        fingerActive = true;
        activeFinger = finger.fingerId;
    } else if (!fingerActive || finger.fingerId != activeFinger) {
        return false;
    } else if (type == SDL_FINGERUP) {
        fingerActive = false;
    }
    // Finger positions are fractions of the window.
    int width = dialog->clientWidth() * dialog->scale();
    int height = dialog->clientHeight() * dialog->scale();
    int x = static_cast<int>(std::clamp(finger.x, 0.0f, 1.0f) * static_cast<float>(width - 1) + 0.5f);
    int y = static_cast<int>(std::clamp(finger.y, 0.0f, 1.0f) * static_cast<float>(height - 1) + 0.5f);
    MessageType messageType = type == SDL_FINGERDOWN ? MessageType::LeftButtonDown
                              : type == SDL_FINGERUP ? MessageType::LeftButtonUp
                                                     : MessageType::MouseMove;
    if (messageType == MessageType::LeftButtonDown) {
        dialog->setMouseCapture(0);
    }
    out = mouseMessage(dialog, messageType, x, y, finger.timestamp);
    if (messageType == MessageType::LeftButtonDown) {
        dialog->setMouseCapture(out.control);
    } else if (messageType == MessageType::LeftButtonUp) {
        dialog->setMouseCapture(0);
    }
    return true;
}

// Turns one host event into a message; false for events that carry none (they may still change the
// dialog: exposure, focus).
bool translateEvent(const SDL_Event& event, Message& out) {
    switch (event.type) {
        case SDL_CONTROLLERDEVICEADDED:
            controllers::deviceAdded(event.cdevice.which);
            return false;
        case SDL_CONTROLLERDEVICEREMOVED:
            controllers::deviceRemoved(event.cdevice.which);
            return false;
        case SDL_CONTROLLERBUTTONDOWN:
            return controllerKey(controllers::buttonDown(event.cbutton.button, event.cbutton.timestamp),
                                 event.cbutton.timestamp, out);
        case SDL_CONTROLLERBUTTONUP:
            controllers::buttonUp(event.cbutton.button);
            return false;
        case SDL_CONTROLLERAXISMOTION:
            return controllerKey(controllers::axisMoved(event.caxis.which, event.caxis.axis,
                                                        event.caxis.value, event.caxis.timestamp),
                                 event.caxis.timestamp, out);
        case SDL_FINGERDOWN:
        case SDL_FINGERUP:
        case SDL_FINGERMOTION:
            return translateFinger(event.tfinger, event.type, out);
        case SDL_MOUSEMOTION: {
            Dialog* dialog = Dialog::fromWindowId(event.motion.windowID);
            if (dialog == nullptr) {
                return false;
            }
            out = mouseMessage(dialog, MessageType::MouseMove, event.motion.x, event.motion.y,
                               event.motion.timestamp);
            return true;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            Dialog* dialog = Dialog::fromWindowId(event.button.windowID);
            bool down = event.type == SDL_MOUSEBUTTONDOWN;
            MessageType type;
            if (event.button.button == SDL_BUTTON_LEFT) {
                type = down ? MessageType::LeftButtonDown : MessageType::LeftButtonUp;
            } else if (event.button.button == SDL_BUTTON_RIGHT) {
                type = down ? MessageType::RightButtonDown : MessageType::RightButtonUp;
            } else {
                return false;
            }
            if (dialog == nullptr) {
                return false;
            }
            if (type == MessageType::LeftButtonDown) {
                dialog->setMouseCapture(0);  // a press is always addressed afresh, even if a release was lost
            }
            out = mouseMessage(dialog, type, event.button.x, event.button.y, event.button.timestamp);
            if (type == MessageType::LeftButtonDown) {
                dialog->setMouseCapture(out.control);
            } else if (type == MessageType::LeftButtonUp) {
                dialog->setMouseCapture(0);
            }
            return true;
        }
        case SDL_MOUSEWHEEL: {
            Dialog* dialog = Dialog::fromWindowId(event.wheel.windowID);
            // In 64 bits: the host's count may be any 32-bit value, and neither its negation nor a
            // notch's 120 may overflow.
            long long notches = event.wheel.y;
            if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
                notches = -notches;
            }
            if (dialog == nullptr || notches == 0) {
                return false;
            }
            out = mouseMessage(dialog, MessageType::MouseWheel, event.wheel.mouseX, event.wheel.mouseY,
                               event.wheel.timestamp);
            int delta = static_cast<int>(std::clamp(notches * 120, -32768LL, 32767LL));
            out.wParam = static_cast<uintptr_t>(static_cast<uint16_t>(static_cast<int16_t>(delta))) << 16;
            return true;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            Dialog* dialog = Dialog::fromWindowId(event.key.windowID);
            if (dialog == nullptr) {
                return false;
            }
            out = Message{};
            out.type = event.type == SDL_KEYDOWN ? MessageType::KeyDown : MessageType::KeyUp;
            out.dialog = dialog;
            out.control = dialog->focusedControl();
            out.wParam = keymap::fromHost(event.key.keysym.sym);
            out.lParam = modifiersOf(event.key.keysym.mod);
            out.time = event.key.timestamp;
            if (event.type == SDL_KEYDOWN) {
                // The characters that this key typed follow it as a text event: keep them with the key
                // for translateMessage.
                SDL_Event next;
                if (SDL_PeepEvents(&next, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1 &&
                    next.type == SDL_TEXTINPUT && next.text.windowID == event.key.windowID) {
                    SDL_PeepEvents(&next, 1, SDL_GETEVENT, SDL_TEXTINPUT, SDL_TEXTINPUT);
                    std::u32string typed = codePoints(next.text.text, 7);
                    std::copy(typed.begin(), typed.end(), out.text);
                }
            }
            return true;
        }
        case SDL_TEXTINPUT: {
            // Text without a key before it (an input method): characters straight away.
            Dialog* dialog = Dialog::fromWindowId(event.text.windowID);
            if (dialog == nullptr) {
                return false;
            }
            std::u32string typed = codePoints(event.text.text, 32);
            if (typed.empty()) {
                return false;
            }
            for (char32_t character : typed) {
                Message message;
                message.type = MessageType::Char;
                message.dialog = dialog;
                message.control = dialog->focusedControl();
                message.wParam = character;
                message.time = event.text.timestamp;
                postedMessages().push_back(message);
            }
            out = postedMessages().front();
            postedMessages().pop_front();
            return true;
        }
        case SDL_WINDOWEVENT: {
            Dialog* dialog = Dialog::fromWindowId(event.window.windowID);
            if (dialog == nullptr) {
                return false;
            }
            switch (event.window.event) {
                case SDL_WINDOWEVENT_CLOSE:
                    out = Message{};
                    out.type = MessageType::Close;
                    out.dialog = dialog;
                    out.time = event.window.timestamp;
                    return true;
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_SHOWN:
                case SDL_WINDOWEVENT_RESTORED:
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                    dialog->onExposed();
                    return false;
                case SDL_WINDOWEVENT_FOCUS_GAINED:
                    dialog->onFocusChange(true);
                    return false;
                case SDL_WINDOWEVENT_FOCUS_LOST:
                    dialog->onFocusChange(false);
                    return false;
                default:
                    return false;
            }
        }
        case SDL_QUIT: {
            // A termination request for the whole program (a signal, or the session ending): every dialog
            // is asked to close, so the programs end the way a click on their close box ends them.
            for (Dialog* dialog : Dialog::all()) {
                Message close;
                close.type = MessageType::Close;
                close.dialog = dialog;
                close.time = event.quit.timestamp;
                postedMessages().push_back(close);
            }
            if (postedMessages().empty()) {
                return false;
            }
            out = postedMessages().front();
            postedMessages().pop_front();
            return true;
        }
        default:
            return false;
    }
}

}  // namespace

bool peekMessage(Message& message) {
    Dialog::collectDestroyed();
    auto& posted = postedMessages();
    if (!posted.empty()) {
        message = posted.front();
        posted.pop_front();
        return true;
    }
    if (video::running()) {
        SDL_Event event;
        while (SDL_PollEvent(&event) == 1) {
            if (translateEvent(event, message)) {
                return true;
            }
        }
        // A direction held on a controller repeats.
        Uint32 now = SDL_GetTicks();
        if (controllerKey(controllers::repeatDue(now), now, message)) {
            return true;
        }
    }
    // Nothing waiting: now the dialogs that need painting get their Paint, and lists that changed are
    // shown.
    for (Dialog* dialog : Dialog::all()) {
        if (dialog->isVisible() && dialog->isInvalid()) {
            message = Message{};
            message.type = MessageType::Paint;
            message.dialog = dialog;
            return true;
        }
    }
    for (Dialog* dialog : Dialog::all()) {
        if (dialog->needsPresent()) {
            dialog->present();
        }
    }
    return false;
}

namespace {

// Enter, Space or a controller's A on what has the focus: what a click at its centre would do.
bool actOnFocus(Dialog* dialog, ComboBox* focused) {
    if (dialog->focusedArea() >= 0) {
        dialog->activateArea(dialog->focusedArea());
        return true;
    }
    if (focused != nullptr && focused->isVisible() && !focused->isDroppedDown()) {
        focused->showDropDown(true);
        return true;
    }
    return false;
}

bool handleControllerKey(Dialog* dialog, ComboBox* focused, uint32_t key) {
    ComboBox* open = dialog->openList();
    switch (key) {
        case Key::GamepadDPadUp:
        case Key::GamepadDPadDown:
            if (open != nullptr) {
                open->handleKey(key == Key::GamepadDPadUp ? Key::Up : Key::Down, 0);
            } else {
                dialog->cycleFocus(key == Key::GamepadDPadUp);
            }
            return true;
        case Key::GamepadDPadLeft:
        case Key::GamepadDPadRight:
            // Within the entries of the focused list: the highlight when it is open, else the selection.
            if (ComboBox* target = open != nullptr ? open : focused) {
                target->handleKey(key == Key::GamepadDPadLeft ? Key::Up : Key::Down, 0);
            }
            return true;
        case Key::GamepadA:
            if (open != nullptr) {
                open->handleKey(Key::Return, 0);
                return true;
            }
            actOnFocus(dialog, focused);
            return true;
        case Key::GamepadB:
            if (open != nullptr) {
                open->handleKey(Key::Escape, 0);
            }
            return true;
        case Key::GamepadMenu:
        case Key::GamepadView: {
            if (open != nullptr) {
                open->closeQuietly();
            }
            int area = dialog->areaWithRole(key == Key::GamepadMenu ? AreaRole::Primary : AreaRole::Cancel);
            if (area >= 0) {
                dialog->activateArea(area);
            }
            return true;
        }
        default:
            return false;
    }
}

}  // namespace

bool isDialogMessage(Dialog* dialog, const Message& message) {
    if (!Dialog::isLive(dialog) || message.dialog != dialog) {
        return false;
    }
    ComboBox* focused = dialog->comboBox(dialog->focusedControl());
    if (message.type == MessageType::KeyDown) {
        uint32_t key = static_cast<uint32_t>(message.wParam);
        intptr_t modifiers = message.lParam;
        if (key == Key::Tab && (modifiers & (kModifierAlt | kModifierControl)) == 0) {
            dialog->cycleFocus((modifiers & kModifierShift) != 0);
            return true;
        }
        if (handleControllerKey(dialog, focused, key)) {
            return true;
        }
        if ((key == Key::Return || key == Key::Space) && modifiers == 0 &&
            (dialog->focusedArea() >= 0 || (focused != nullptr && !focused->isDroppedDown()))) {
            return actOnFocus(dialog, focused);
        }
        if (focused != nullptr && focused->handleKey(key, modifiers)) {
            return true;
        }
        if ((key == Key::Return || key == Key::Escape) && (modifiers & kModifierAlt) == 0) {
            Message command;
            command.type = MessageType::Command;
            command.dialog = dialog;
            command.wParam = makeCommand(key == Key::Return ? kCommandOk : kCommandCancel, 0);
            command.time = message.time;
            dialog->callProcedure(command);
            return true;
        }
        return false;
    }
    if (message.type == MessageType::Char && focused != nullptr) {
        return focused->handleChar(static_cast<char32_t>(message.wParam));
    }
    return false;
}

bool translateMessage(const Message& message) {
    if (message.type != MessageType::KeyDown || message.text[0] == 0) {
        return false;
    }
    for (char32_t character : message.text) {
        if (character == 0) {
            break;
        }
        Message typed;
        typed.type = MessageType::Char;
        typed.dialog = message.dialog;
        typed.control = message.control;
        typed.wParam = character;
        typed.time = message.time;
        postedMessages().push_back(typed);
    }
    return true;
}

bool dispatchMessage(const Message& message) {
    Dialog* dialog = message.dialog;
    if (message.type == MessageType::None || message.type == MessageType::Quit || !Dialog::isLive(dialog)) {
        return false;
    }
    if (message.control != 0) {
        ComboBox* control = dialog->comboBox(message.control);
        bool present = control != nullptr && control->isVisible();
        switch (message.type) {
            case MessageType::MouseMove:
            case MessageType::LeftButtonDown:
            case MessageType::LeftButtonUp:
            case MessageType::RightButtonDown:
            case MessageType::RightButtonUp:
            case MessageType::MouseWheel:
                // Mouse input on a list is the list's, even when it went away since the message was taken.
                return present && control->handleMouse(message);
            case MessageType::KeyDown:
                if (present && control->handleKey(static_cast<uint32_t>(message.wParam), message.lParam)) {
                    return true;
                }
                break;
            case MessageType::Char:
                if (present && control->handleChar(static_cast<char32_t>(message.wParam))) {
                    return true;
                }
                break;
            default:
                break;
        }
    }
    return dialog->dispatch(message);
}

void postQuitMessage(int exitCode) {
    Message quit;
    quit.type = MessageType::Quit;
    quit.wParam = static_cast<uintptr_t>(static_cast<intptr_t>(exitCode));
    postedMessages().push_back(quit);
}

bool postMessage(Dialog* dialog, MessageType type, uintptr_t wParam, intptr_t lParam) {
    if (!Dialog::isLive(dialog)) {
        return false;
    }
    Message message;
    message.type = type;
    message.dialog = dialog;
    message.wParam = wParam;
    message.lParam = lParam;
    postedMessages().push_back(message);
    return true;
}

void sleepMilliseconds(uint32_t milliseconds) {
    SDL_Delay(milliseconds);
}

int processPendingMessages(Dialog* dialog) {
    int handled = 0;
    Message message;
    while (peekMessage(message)) {
        if (!isDialogMessage(dialog, message)) {
            translateMessage(message);
            dispatchMessage(message);
        }
        ++handled;
    }
    return handled;
}

void noteDialogThread() {
    std::thread::id none{};
    dialogThread.compare_exchange_strong(none, std::this_thread::get_id());
}

bool isDialogThread() {
    return dialogThread.load() == std::this_thread::get_id();
}

void discardPendingInput() {
    if (video::running()) {
        SDL_FlushEvents(SDL_KEYDOWN, SDL_MULTIGESTURE);  // the host queue may be emptied from any thread
    }
    std::thread::id owner = dialogThread.load();
    if (owner != std::thread::id{} && owner != std::this_thread::get_id()) {
        return;  // a box shown by another thread: the dialogs' own state is not ours to touch
    }
    if (video::running()) {
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_KEYDOWN, SDL_MULTIGESTURE);
    }
    auto& posted = postedMessages();
    posted.erase(std::remove_if(posted.begin(), posted.end(),
                                [](const Message& message) { return isInputMessage(message.type); }),
                 posted.end());
    for (Dialog* dialog : Dialog::all()) {
        dialog->resetInput();
    }
    controllers::releaseAll();
    fingerActive = false;
}

void forgetDialogMessages(const Dialog* dialog) {
    auto& posted = postedMessages();
    posted.erase(std::remove_if(posted.begin(), posted.end(),
                                [dialog](const Message& message) { return message.dialog == dialog; }),
                 posted.end());
}

}  // namespace platform
