// A stand-in for the game executables valtor.exe, valtor_low.exe and valtor_low2.exe of the sample folder.
// It reads the settings file that the launcher wrote, prints one line saying what it was started as and with
// which settings, appends that line to valtor-demo.log beside the settings, and shows the same in a small
// window for a few seconds (VALTOR_DEMO_SECONDS, default 3) when there is a display.
//
// This is the host part for Linux (SDL2); SettingsReport.cpp says what the settings are, main_win32.cpp is
// the Windows host.
#include <SDL.h>
#include <SDL_ttf.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "SettingsReport.h"

using valtor_demo::Report;

namespace {

// The per-user folder of the game: $XDG_DATA_HOME (when absolute) or $HOME/.local/share, then the game's
// own folders. Empty when there is neither; the launcher then keeps its settings in the current directory.
std::string gameFolder() {
    std::string base;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        base = dataHome;
    } else if (home != nullptr && home[0] == '/') {
        base = std::string(home) + "/.local/share";
    } else {
        return {};
    }
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    if (base == "/")
        base.clear();
    return base + "/Quillfen/Valtor/1.0";
}

// Creates the folder and the folders above it; true when it exists afterwards.
bool makeFolders(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            std::string part = path.substr(0, i);
            if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST)
                return false;
        }
    }
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

TTF_Font* openFont(int size) {
    const char* files[] = {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                           "/usr/share/fonts/dejavu/DejaVuSans.ttf", "/usr/local/share/fonts/DejaVuSans.ttf"};
    for (const char* file : files) {
        if (TTF_Font* font = TTF_OpenFont(file, size))
            return font;
    }
    return nullptr;
}

void draw(SDL_Renderer* renderer, TTF_Font* title, TTF_Font* body, const std::vector<std::string>& lines) {
    SDL_SetRenderDrawColor(renderer, 16, 13, 24, 255);
    SDL_RenderClear(renderer);
    SDL_SetRenderDrawColor(renderer, 181, 138, 60, 255);
    SDL_Rect frame{4, 4, 0, 0};
    SDL_GetRendererOutputSize(renderer, &frame.w, &frame.h);
    frame.w -= 8;
    frame.h -= 8;
    SDL_RenderDrawRect(renderer, &frame);
    int y = 16;
    auto text = [&](TTF_Font* font, const std::string& line, SDL_Color colour) {
        if (font == nullptr)
            return;
        SDL_Surface* surface = TTF_RenderUTF8_Blended(font, line.c_str(), colour);
        if (surface == nullptr)
            return;
        if (SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface)) {
            SDL_Rect where{20, y, surface->w, surface->h};
            SDL_RenderCopy(renderer, texture, nullptr, &where);
            SDL_DestroyTexture(texture);
        }
        y += TTF_FontLineSkip(font) + 2;
        SDL_FreeSurface(surface);
    };
    text(title, valtor_demo::kWindowTitle, SDL_Color{240, 216, 148, 255});
    text(body, valtor_demo::kWindowSubtitle, SDL_Color{169, 159, 187, 255});
    y += 6;
    for (const std::string& line : lines)
        text(body, line, SDL_Color{236, 230, 242, 255});
    SDL_RenderPresent(renderer);
}

// Shows the report until the time is up or the window is closed. False when there is no display.
bool showWindow(const Report& report, double seconds) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return false;
    SDL_Window* window = SDL_CreateWindow(valtor_demo::kWindowTitle, SDL_WINDOWPOS_CENTERED,
                                          SDL_WINDOWPOS_CENTERED, 560, 260, 0);
    SDL_Renderer* renderer = nullptr;
    if (window != nullptr) {
        renderer = SDL_CreateRenderer(window, -1, 0);
        if (renderer == nullptr)
            renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    }
    if (renderer == nullptr) {
        if (window != nullptr)
            SDL_DestroyWindow(window);
        SDL_Quit();
        return false;
    }
    bool fonts = TTF_Init() == 0;
    TTF_Font* title = fonts ? openFont(22) : nullptr;
    TTF_Font* body = fonts ? openFont(14) : nullptr;
    draw(renderer, title, body, report.lines);

    Uint64 deadline = SDL_GetTicks64() + static_cast<Uint64>(seconds * 1000.0);
    for (bool open = true; open;) {
        Uint64 now = SDL_GetTicks64();
        if (now >= deadline)
            break;
        SDL_Event event;
        if (!SDL_WaitEventTimeout(&event, static_cast<int>(std::min<Uint64>(deadline - now, 100))))
            continue;
        if (event.type == SDL_QUIT ||
            (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE) ||
            (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE)) {
            open = false;
        } else if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_EXPOSED) {
            draw(renderer, title, body, report.lines);
        }
    }

    if (title != nullptr)
        TTF_CloseFont(title);
    if (body != nullptr)
        TTF_CloseFont(body);
    if (fonts)
        TTF_Quit();
    SDL_DestroyRenderer(renderer);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string startedAs = argc > 0 && argv[0] != nullptr ? argv[0] : "valtor-demo";
    size_t slash = startedAs.find_last_of('/');
    if (slash != std::string::npos)
        startedAs.erase(0, slash + 1);

    std::string folder = gameFolder();
    // Like the launcher, use the folder even when it cannot be created (the opens then fail and say so).
    if (!folder.empty())
        makeFolders(folder);
    std::string prefix = folder.empty() ? std::string() : folder + "/";
    const std::string settingsPath = prefix + "setup.dat";
    Report report = valtor_demo::describeSettings(
        startedAs, settingsPath, valtor_demo::readSettingsFile(std::fopen(settingsPath.c_str(), "rb")));

    std::printf("%s\n", report.oneLine.c_str());
    std::fflush(stdout);
    std::string logPath = prefix + "valtor-demo.log";
    if (FILE* log = std::fopen(logPath.c_str(), "a")) {
        std::fprintf(log, "%s\n", report.oneLine.c_str());
        std::fclose(log);
    } else {
        std::fprintf(stderr, "valtor-demo: cannot append to %s\n", logPath.c_str());
    }

    showWindow(report, valtor_demo::windowSeconds(std::getenv("VALTOR_DEMO_SECONDS")));
    return 0;
}
