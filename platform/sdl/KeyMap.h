#pragma once
#include <cstdint>

// Between the host's key codes (SDL keycodes) and the Windows key codes that messages carry.
// Internal to the layer.
namespace platform::keymap {

// The Windows key code for an SDL keycode; 0 for a key without one.
uint32_t fromHost(int32_t sdlKeycode);
// The SDL keycode for a Windows key code; 0 (SDLK_UNKNOWN) for one without.
int32_t toHost(uint32_t key);

}  // namespace platform::keymap
