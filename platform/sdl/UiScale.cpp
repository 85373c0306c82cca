#include "platform/sdl/UiScale.h"

#include <SDL.h>
#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace platform {
namespace {

// Xft.dpi from the X server's resources. libX11 is loaded the way the video layer loads it, so nothing
// is linked for it and other hosts lose nothing.
double readXftDpi() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (driver == nullptr || SDL_strcasecmp(driver, "x11") != 0) {
        return 0;
    }
    void* library = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
    if (library == nullptr) {
        return 0;
    }
    using OpenDisplay = void* (*)(const char*);
    using GetDefault = char* (*)(void*, const char*, const char*);
    using CloseDisplay = int (*)(void*);
    auto open = reinterpret_cast<OpenDisplay>(dlsym(library, "XOpenDisplay"));
    auto getDefault = reinterpret_cast<GetDefault>(dlsym(library, "XGetDefault"));
    auto close = reinterpret_cast<CloseDisplay>(dlsym(library, "XCloseDisplay"));
    double dpi = 0;
    if (open != nullptr && getDefault != nullptr && close != nullptr) {
        if (void* display = open(nullptr)) {
            if (const char* value = getDefault(display, "Xft", "dpi")) {
                dpi = std::strtod(value, nullptr);
            }
            close(display);
        }
    }
    dlclose(library);
    return std::isfinite(dpi) ? dpi : 0;
}

// Read once: the desktop's setting does not change under a running dialog, and each reading costs a
// display connection.
double xftDpi() {
    static const double dpi = readXftDpi();
    return dpi;
}

}  // namespace

int uiScaleForDpi(double dpi) {
    if (!(dpi >= 192)) {
        return 1;
    }
    return dpi >= 96.0 * kMaxUiScale ? kMaxUiScale : static_cast<int>(dpi / 96);
}

int parseUiScale(const char* text) {
    if (text == nullptr || *text < '0' || *text > '9') {
        return 0;
    }
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || value < 1 || value > kMaxUiScale) {
        return 0;
    }
    return static_cast<int>(value);
}

int desktopUiScale() {
    if (int forced = parseUiScale(std::getenv("VALTOR_UI_SCALE"))) {
        return forced;
    }
    double dpi = xftDpi();
    if (dpi <= 0) {
        float diagonal = 0;
        float horizontal = 0;
        float vertical = 0;
        if (SDL_GetDisplayDPI(0, &diagonal, &horizontal, &vertical) == 0) {
            dpi = horizontal;
        }
    }
    return uiScaleForDpi(dpi);
}

int fitUiScale(int wanted, int width, int height, const Rect& usable) {
    int scale = std::max(1, std::min(wanted, kMaxUiScale));
    while (scale > 1 && (static_cast<long long>(width) * scale > usable.width ||
                         static_cast<long long>(height) * scale > usable.height)) {
        --scale;
    }
    return scale;
}

}  // namespace platform
