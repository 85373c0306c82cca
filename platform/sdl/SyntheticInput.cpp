#include "platform/SyntheticInput.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/Dialog.h"
#include "platform/sdl/GameControllers.h"
#include "platform/sdl/KeyMap.h"
#include "platform/sdl/VideoSystem.h"

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

// The window pixel at the top-left of the square that shows a client pixel.
int toWindow(const Dialog& dialog, int client) {
    return client * dialog.scale();
}

}  // namespace

bool postMouseMove(const Dialog& dialog, int x, int y) {
    if (!usable(dialog)) {
        return false;
    }
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = dialog.windowId();
    event.motion.x = toWindow(dialog, x);
    event.motion.y = toWindow(dialog, y);
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
    event.button.x = toWindow(dialog, x);
    event.button.y = toWindow(dialog, y);
    return push(event);
}

bool postMouseButtonAtPixel(const Dialog& dialog, int pixelX, int pixelY, bool down) {
    if (!usable(dialog)) {
        return false;
    }
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.windowID = dialog.windowId();
    event.button.button = SDL_BUTTON_LEFT;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    event.button.x = pixelX;
    event.button.y = pixelY;
    return push(event);
}

bool postPixelClick(const Dialog& dialog, int pixelX, int pixelY) {
    return postMouseButtonAtPixel(dialog, pixelX, pixelY, true) &&
           postMouseButtonAtPixel(dialog, pixelX, pixelY, false);
}

bool postFinger(const Dialog& dialog, float fractionX, float fractionY, bool down, int64_t finger) {
    if (!usable(dialog)) {
        return false;
    }
    SDL_Event event{};
    event.type = down ? SDL_FINGERDOWN : SDL_FINGERUP;
    event.tfinger.touchId = 1;
    event.tfinger.fingerId = finger;
    event.tfinger.x = fractionX;
    event.tfinger.y = fractionY;
    event.tfinger.pressure = down ? 1.0f : 0.0f;
    event.tfinger.windowID = dialog.windowId();
    return push(event);
}

bool postTap(const Dialog& dialog, int x, int y) {
    // The middle of the client pixel, as a fraction of the window.
    float fx = (static_cast<float>(x) + 0.5f) / static_cast<float>(dialog.clientWidth());
    float fy = (static_cast<float>(y) + 0.5f) / static_cast<float>(dialog.clientHeight());
    return postFinger(dialog, fx, fy, true) && postFinger(dialog, fx, fy, false);
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
    event.wheel.mouseX = toWindow(dialog, x);
    event.wheel.mouseY = toWindow(dialog, y);
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

// ---------------------------------------------------------------- virtual controllers

namespace {

struct VirtualController {
    int handle;
    SDL_Joystick* joystick;
};

std::vector<VirtualController>& virtualControllers() {
    static std::vector<VirtualController> list;
    return list;
}

SDL_Joystick* joystickOf(int handle) {
    for (const VirtualController& controller : virtualControllers()) {
        if (controller.handle == handle) {
            return controller.joystick;
        }
    }
    return nullptr;
}

int hostButton(ControllerButton button) {
    switch (button) {
        case ControllerButton::A:
            return SDL_CONTROLLER_BUTTON_A;
        case ControllerButton::B:
            return SDL_CONTROLLER_BUTTON_B;
        case ControllerButton::Start:
            return SDL_CONTROLLER_BUTTON_START;
        case ControllerButton::Back:
            return SDL_CONTROLLER_BUTTON_BACK;
        case ControllerButton::DPadUp:
            return SDL_CONTROLLER_BUTTON_DPAD_UP;
        case ControllerButton::DPadDown:
            return SDL_CONTROLLER_BUTTON_DPAD_DOWN;
        case ControllerButton::DPadLeft:
            return SDL_CONTROLLER_BUTTON_DPAD_LEFT;
        case ControllerButton::DPadRight:
            return SDL_CONTROLLER_BUTTON_DPAD_RIGHT;
    }
    return SDL_CONTROLLER_BUTTON_INVALID;
}

}  // namespace

int attachVirtualController() {
    if (!video::acquire() || !controllers::start()) {
        return -1;
    }
    // A virtual device of the controller type gets the host's standard controller layout: its buttons
    // and axes are numbered as the controller's.
    int device = SDL_JoystickAttachVirtual(SDL_JOYSTICK_TYPE_GAMECONTROLLER, SDL_CONTROLLER_AXIS_MAX,
                                           SDL_CONTROLLER_BUTTON_MAX, 0);
    if (device < 0) {
        return -1;
    }
    SDL_Joystick* joystick = SDL_JoystickOpen(device);
    if (joystick == nullptr) {
        SDL_JoystickDetachVirtual(device);
        return -1;
    }
    int handle = static_cast<int>(SDL_JoystickInstanceID(joystick));
    virtualControllers().push_back({handle, joystick});
    return handle;
}

bool detachVirtualController(int handle) {
    auto& list = virtualControllers();
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (it->handle == handle) {
            SDL_JoystickClose(it->joystick);
            list.erase(it);
            for (int i = 0; i < SDL_NumJoysticks(); ++i) {
                if (SDL_JoystickGetDeviceInstanceID(i) == handle) {
                    return SDL_JoystickDetachVirtual(i) == 0;
                }
            }
            return false;
        }
    }
    return false;
}

bool setControllerButton(int handle, ControllerButton button, bool down) {
    SDL_Joystick* joystick = joystickOf(handle);
    return joystick != nullptr &&
           SDL_JoystickSetVirtualButton(joystick, hostButton(button), down ? SDL_PRESSED : SDL_RELEASED) == 0;
}

bool setControllerStick(int handle, int x, int y) {
    SDL_Joystick* joystick = joystickOf(handle);
    auto axis = [](int value) { return static_cast<Sint16>(std::clamp(value, -32768, 32767)); };
    return joystick != nullptr &&
           SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTX, axis(x)) == 0 &&
           SDL_JoystickSetVirtualAxis(joystick, SDL_CONTROLLER_AXIS_LEFTY, axis(y)) == 0;
}

}  // namespace platform
