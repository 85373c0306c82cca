#include "platform/sdl/GameControllers.h"

#include <SDL.h>

#include <algorithm>
#include <vector>

#include "platform/Message.h"

namespace platform::controllers {
namespace {

struct Stick {
    int32_t instance;
    int x = 0;
    int y = 0;
    uint32_t direction = 0;  // the pad code the stick points to, or 0
};

std::vector<SDL_GameController*>& opened() {
    static std::vector<SDL_GameController*> list;
    return list;
}

std::vector<Stick>& sticks() {
    static std::vector<Stick> list;
    return list;
}

// The direction being held (pad or stick) and when it repeats next.
uint32_t heldKey = 0;
uint32_t nextRepeat = 0;

void hold(uint32_t key, uint32_t now) {
    heldKey = key;
    nextRepeat = now + kRepeatDelay;
}

bool isDirection(uint32_t key) {
    return key >= Key::GamepadDPadUp && key <= Key::GamepadDPadRight;
}

Stick& stickOf(int32_t instance) {
    auto& list = sticks();
    for (Stick& stick : list) {
        if (stick.instance == instance) {
            return stick;
        }
    }
    list.push_back({instance});
    return list.back();
}

// The pad code for the stick's position: the axis deflected further wins; none inside the dead zone.
uint32_t directionOf(const Stick& stick) {
    int ax = std::abs(stick.x);
    int ay = std::abs(stick.y);
    if (std::max(ax, ay) < kStickDeadZone) {
        return 0;
    }
    if (ay >= ax) {
        return stick.y < 0 ? Key::GamepadDPadUp : Key::GamepadDPadDown;
    }
    return stick.x < 0 ? Key::GamepadDPadLeft : Key::GamepadDPadRight;
}

// The key code of a controller button that the dialogs act on, or 0 for the others.
uint32_t keyOfButton(int button) {
    switch (button) {
        case SDL_CONTROLLER_BUTTON_A:
            return Key::GamepadA;
        case SDL_CONTROLLER_BUTTON_B:
            return Key::GamepadB;
        case SDL_CONTROLLER_BUTTON_START:
            return Key::GamepadMenu;
        case SDL_CONTROLLER_BUTTON_BACK:
            return Key::GamepadView;
        case SDL_CONTROLLER_BUTTON_DPAD_UP:
            return Key::GamepadDPadUp;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN:
            return Key::GamepadDPadDown;
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT:
            return Key::GamepadDPadLeft;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT:
            return Key::GamepadDPadRight;
        default:
            return 0;
    }
}

}  // namespace

bool start() {
    if (SDL_WasInit(SDL_INIT_GAMECONTROLLER) != 0) {
        return true;
    }
    // Controllers are for whichever dialog is in front, also when the desktop gave the keyboard focus to
    // none of them (a television without a window manager).
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    return SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;  // controllers present now arrive as added
}

void deviceAdded(int deviceIndex) {
    if (!SDL_IsGameController(deviceIndex)) {
        return;
    }
    SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(deviceIndex);
    for (SDL_GameController* controller : opened()) {
        if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller)) == instance) {
            return;  // already open (it was announced twice)
        }
    }
    if (SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex)) {
        opened().push_back(controller);
    }
}

void deviceRemoved(int32_t instanceId) {
    auto& list = opened();
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(*it)) == instanceId) {
            SDL_GameControllerClose(*it);
            list.erase(it);
            break;
        }
    }
    auto& known = sticks();
    known.erase(std::remove_if(known.begin(), known.end(),
                               [instanceId](const Stick& stick) { return stick.instance == instanceId; }),
                known.end());
    releaseAll();
}

int openCount() {
    return static_cast<int>(opened().size());
}

uint32_t buttonDown(int button, uint32_t now) {
    const uint32_t key = keyOfButton(button);
    if (key != 0 && isDirection(key)) {
        hold(key, now);
    }
    return key;
}

void buttonUp(int button) {
    const uint32_t key = keyOfButton(button);
    // Only a held direction repeats, so only its release matters.
    if (key != 0 && isDirection(key) && heldKey == key) {
        heldKey = 0;
    }
}

uint32_t axisMoved(int32_t instanceId, int axis, int value, uint32_t now) {
    if (axis != SDL_CONTROLLER_AXIS_LEFTX && axis != SDL_CONTROLLER_AXIS_LEFTY) {
        return 0;
    }
    Stick& stick = stickOf(instanceId);
    (axis == SDL_CONTROLLER_AXIS_LEFTX ? stick.x : stick.y) = value;
    uint32_t direction = directionOf(stick);
    if (direction == stick.direction) {
        return 0;
    }
    if (heldKey == stick.direction) {
        heldKey = 0;
    }
    stick.direction = direction;
    if (direction != 0) {
        hold(direction, now);
    }
    return direction;
}

uint32_t repeatDue(uint32_t now) {
    if (heldKey == 0 || static_cast<int32_t>(now - nextRepeat) < 0) {
        return 0;
    }
    nextRepeat = now + kRepeatInterval;
    return heldKey;
}

void releaseAll() {
    heldKey = 0;
    for (Stick& stick : sticks()) {
        stick.direction = 0;
        stick.x = 0;
        stick.y = 0;
    }
}

}  // namespace platform::controllers
