#include "platform/sdl/VideoSystem.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdio>
#include <mutex>

#include "platform/sdl/GameControllers.h"

namespace platform::video {
namespace {

std::mutex startMutex;
bool started = false;

// Drivers that show no window to anyone. SDL falls back to its off-screen driver when no display is
// reachable, and a program would then run invisibly until killed; they are used only when asked for by
// name (the tests ask for "dummy").
bool drawsNothing(const char* driver) {
    return SDL_strcasecmp(driver, "offscreen") == 0 || SDL_strcasecmp(driver, "dummy") == 0 ||
           SDL_strcasecmp(driver, "evdev") == 0;
}

bool startVideoDriver() {
    const char* requested = SDL_GetHint(SDL_HINT_VIDEODRIVER);  // also the environment's SDL_VIDEODRIVER
    if (requested != nullptr && *requested != '\0') {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            std::fprintf(stderr, "platform: no video: %s\n", SDL_GetError());
            return false;
        }
        return true;
    }
    for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
        const char* driver = SDL_GetVideoDriver(i);
        if (driver == nullptr || drawsNothing(driver)) {
            continue;
        }
        SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) == 0) {
            return true;
        }
    }
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    std::fprintf(stderr, "platform: no display to show windows on (DISPLAY is not set or not reachable)\n");
    return false;
}

}  // namespace

// Once started, video stays up until the process ends: starting it again costs a new display connection,
// and the libraries it loads (the X client libraries, D-Bus) are not made to be unloaded while their
// allocations are still referenced.
bool acquire() {
    std::lock_guard<std::mutex> lock(startMutex);
    if (started) {
        return true;
    }
    // The programs end their loops themselves: closing the last window must not also post a quit event,
    // and the first click on an inactive window must reach it, as on the desktop the programs come from.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    // A dialog's picture goes to the screen with the host's own image calls, not through an OpenGL
    // renderer: the picture is copied whole, so OpenGL would draw it no faster and only add a context per
    // window (about 100 ms before the first picture shows, and its memory). The environment may still ask
    // for OpenGL with SDL_FRAMEBUFFER_ACCELERATION.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    // Touch is turned into clicks by the message loop itself (at the dialog's scale), not twice.
    SDL_SetHint(SDL_HINT_TOUCH_MOUSE_EVENTS, "0");
    if (!startVideoDriver()) {
        return false;
    }
    if (TTF_Init() != 0) {
        std::fprintf(stderr, "platform: no font engine: %s\n", TTF_GetError());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        return false;
    }
    controllers::start();  // without controller support the dialogs still work
    started = true;
    return true;
}

void release() {}

bool running() {
    return SDL_WasInit(SDL_INIT_VIDEO) != 0;
}

}  // namespace platform::video
