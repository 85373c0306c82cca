#include "platform/sdl/KeyMap.h"

#include <SDL.h>

#include "platform/Message.h"

namespace platform::keymap {
namespace {

struct Pair {
    SDL_Keycode host;
    uint32_t key;
};

constexpr Pair kPairs[] = {
    {SDLK_BACKSPACE, Key::Backspace},
    {SDLK_TAB, Key::Tab},
    {SDLK_RETURN, Key::Return},
    {SDLK_KP_ENTER, Key::Return},
    {SDLK_LSHIFT, Key::Shift},
    {SDLK_RSHIFT, Key::Shift},
    {SDLK_LCTRL, Key::Control},
    {SDLK_RCTRL, Key::Control},
    {SDLK_LALT, Key::Alt},
    {SDLK_RALT, Key::Alt},
    {SDLK_ESCAPE, Key::Escape},
    {SDLK_SPACE, Key::Space},
    {SDLK_PAGEUP, Key::PageUp},
    {SDLK_PAGEDOWN, Key::PageDown},
    {SDLK_END, Key::End},
    {SDLK_HOME, Key::Home},
    {SDLK_LEFT, Key::Left},
    {SDLK_UP, Key::Up},
    {SDLK_RIGHT, Key::Right},
    {SDLK_DOWN, Key::Down},
    {SDLK_DELETE, Key::Delete},
};

}  // namespace

uint32_t fromHost(int32_t sdlKeycode) {
    if (sdlKeycode >= SDLK_a && sdlKeycode <= SDLK_z) {
        return static_cast<uint32_t>('A' + (sdlKeycode - SDLK_a));
    }
    if (sdlKeycode >= SDLK_0 && sdlKeycode <= SDLK_9) {
        return static_cast<uint32_t>(sdlKeycode);
    }
    if (sdlKeycode >= SDLK_F1 && sdlKeycode <= SDLK_F12) {
        return Key::F1 + static_cast<uint32_t>(sdlKeycode - SDLK_F1);
    }
    for (const Pair& pair : kPairs) {
        if (pair.host == sdlKeycode) {
            return pair.key;
        }
    }
    return 0;
}

int32_t toHost(uint32_t key) {
    if (key >= 'A' && key <= 'Z') {
        return SDLK_a + static_cast<int32_t>(key - 'A');
    }
    if (key >= '0' && key <= '9') {
        return static_cast<int32_t>(key);
    }
    if (key >= Key::F1 && key < Key::F1 + 12) {
        return SDLK_F1 + static_cast<int32_t>(key - Key::F1);
    }
    for (const Pair& pair : kPairs) {
        if (pair.key == key) {
            return pair.host;
        }
    }
    return SDLK_UNKNOWN;
}

}  // namespace platform::keymap
