#pragma once
#include <cstdint>

// Game controllers, for the message loop: they are opened when plugged in (any number) and closed when
// pulled out, and their buttons and left stick become the controller key codes of Message.h
// (Key::Gamepad...). A direction held on the pad or the stick repeats. Internal to the layer; host values
// come in as plain numbers.
namespace platform::controllers {

// Dead zone of the stick (of 32767): smaller deflections count as the middle.
constexpr int kStickDeadZone = 12000;
// A held direction repeats after this delay, then at this interval (milliseconds).
constexpr uint32_t kRepeatDelay = 400;
constexpr uint32_t kRepeatInterval = 120;

// Starts the host's controller support (once); false when it has none.
bool start();
// A controller was plugged in (host device index) or pulled out (host instance id).
void deviceAdded(int deviceIndex);
void deviceRemoved(int32_t instanceId);
// How many controllers are open.
int openCount();

// A button went down or up (host button number): the key code of a press, or 0. A direction button
// starts or ends its repeat.
uint32_t buttonDown(int button, uint32_t now);
void buttonUp(int button);
// The left stick moved (host axis number and value): the key code when it entered a direction, or 0.
uint32_t axisMoved(int32_t instanceId, int axis, int value, uint32_t now);
// The key code of a held direction that is due to repeat at `now`, or 0.
uint32_t repeatDue(uint32_t now);
// Forgets held directions (after a modal box, or when the window lost the focus).
void releaseAll();

}  // namespace platform::controllers
