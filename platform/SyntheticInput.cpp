#include "platform/SyntheticInput.h"

#include <SDL.h>

#include <cstring>

#include "platform/Dialog.h"
#include "platform/KeyMap.h"
#include "platform/VideoSystem.h"

namespace platform {
namespace {

bool push(SDL_Event& event) {
    if (!video::running()) {
        return false;
    }
    event.common.timestamp = SDL_GetTicks();
    return SDL_PushEvent(&event) == 1;
}

bool usable(const Dialog& dialog) {
    return Dialog::isLive(&dialog);
}

Uint16 hostModifiers(intptr_t modifiers) {
    Uint16 mod = KMOD_NONE;
    if ((modifiers & kModifierShift) != 0) {
        mod |= KMOD_LSHIFT;
    }
    if ((modifiers & kModifierControl) != 0) {
        mod |= KMOD_LCTRL;
    }
    if ((modifiers & kModifierAlt) != 0) {
        mod |= KMOD_LALT;
    }
    return mod;
}

bool pushWindowEvent(const Dialog& dialog, Uint8 what) {
    if (!usable(dialog)) {
        return false;
    }
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = dialog.windowId();
    event.window.event = what;
    return push(event);
}

}  // namespace

bool postMouseMove(const Dialog& dialog, int x, int y) {
    if (!usable(dialog)) {
        return false;
    }
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = dialog.windowId();
    event.motion.x = x;
    event.motion.y = y;
    return push(event);
}

bool postMouseButton(const Dialog& dialog, int x, int y, bool down, bool rightButton) {
    if (!usable(dialog)) {
        return false;
    }
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.windowID = dialog.windowId();
    event.button.button = rightButton ? SDL_BUTTON_RIGHT : SDL_BUTTON_LEFT;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    event.button.x = x;
    event.button.y = y;
    return push(event);
}

bool postClick(const Dialog& dialog, int x, int y) {
    return postMouseButton(dialog, x, y, true) && postMouseButton(dialog, x, y, false);
}

bool postWheel(const Dialog& dialog, int x, int y, int notches) {
    if (!usable(dialog)) {
        return false;
    }
    SDL_Event event{};
    event.type = SDL_MOUSEWHEEL;
    event.wheel.windowID = dialog.windowId();
    event.wheel.y = notches;
    event.wheel.preciseY = static_cast<float>(notches);
    event.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    event.wheel.mouseX = x;
    event.wheel.mouseY = y;
    return push(event);
}

bool postKey(const Dialog& dialog, uint32_t key, intptr_t modifiers, bool down) {
    if (!usable(dialog)) {
        return false;
    }
    SDL_Event event{};
    event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    event.key.windowID = dialog.windowId();
    event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.key.keysym.sym = keymap::toHost(key);
    event.key.keysym.scancode = SDL_GetScancodeFromKey(event.key.keysym.sym);
    event.key.keysym.mod = hostModifiers(modifiers);
    return push(event);
}

bool postKeyPress(const Dialog& dialog, uint32_t key, intptr_t modifiers, const std::string& text) {
    if (!postKey(dialog, key, modifiers, true)) {
        return false;
    }
    if (!text.empty()) {
        SDL_Event event{};
        event.type = SDL_TEXTINPUT;
        event.text.windowID = dialog.windowId();
        std::strncpy(event.text.text, text.c_str(), sizeof(event.text.text) - 1);
        if (!push(event)) {
            return false;
        }
    }
    return postKey(dialog, key, modifiers, false);
}

bool postCloseRequest(const Dialog& dialog) {
    return pushWindowEvent(dialog, SDL_WINDOWEVENT_CLOSE);
}

bool postFocusChange(const Dialog& dialog, bool gained) {
    return pushWindowEvent(dialog, gained ? SDL_WINDOWEVENT_FOCUS_GAINED : SDL_WINDOWEVENT_FOCUS_LOST);
}

}  // namespace platform
