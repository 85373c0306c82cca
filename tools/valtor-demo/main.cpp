// A stand-in for the game executables valtor.exe, valtor_low.exe and valtor_low2.exe of the sample folder.
// It reads the settings file that the launcher wrote, prints one line saying what it was started as and with
// which settings, appends that line to valtor-demo.log beside the settings, and shows the same in a small
// window for a few seconds (VALTOR_DEMO_SECONDS, default 3) when there is a display.
#include <SDL.h>
#include <SDL_ttf.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kSettingsMagic = 0xDEADBABE;
constexpr size_t kSettingsSize = 60;
constexpr size_t kNameOffset = 24;
constexpr size_t kNameSize = 32;

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

int32_t readInt32(const unsigned char* bytes) {
    uint32_t value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                     static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return static_cast<int32_t>(value);
}

// Bytes that are not plain printable ASCII are shown as \xHH, so a damaged file cannot garble the output.
std::string printable(const unsigned char* bytes, size_t size) {
    std::string text;
    for (size_t i = 0; i < size && bytes[i] != 0; ++i) {
        if (bytes[i] > 0x20 && bytes[i] < 0x7F) {
            text.push_back(static_cast<char>(bytes[i]));
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", bytes[i]);
            text += escape;
        }
    }
    return text;
}

const char* choice(int32_t value, std::initializer_list<const char*> names) {
    if (value < 0 || static_cast<size_t>(value) >= names.size())
        return "unknown";
    return names.begin()[value];
}

// The settings as lines for the window, and the whole as one line for the terminal and the log.
struct Report {
    std::vector<std::string> lines;
    std::string oneLine;
};

Report describeSettings(const std::string& startedAs, const std::string& path) {
    Report report;
    report.lines.push_back("Started as " + startedAs);
    std::string summary;
    unsigned char data[kSettingsSize] = {};
    size_t size = 0;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file != nullptr) {
        size = std::fread(data, 1, sizeof data, file);
        std::fclose(file);
    }
    char text[160];
    if (file == nullptr) {
        summary = "no settings file at " + path;
        report.lines.push_back("No settings file");
    } else if (size < 4 || static_cast<uint32_t>(readInt32(data)) != kSettingsMagic) {
        summary = "not a settings file: " + path;
        report.lines.push_back("The settings file is damaged");
    } else {
        // Fields past the end of a short file are left out, as the launcher keeps its defaults for them.
        auto present = [&](size_t offset, size_t width) { return offset + width <= size; };
        std::vector<std::string> parts;
        if (present(4, 4)) {
            int32_t mode = readInt32(data + 4);
            std::snprintf(text, sizeof text, "window mode %d (%s)", mode,
                          choice(mode, {"full screen", "window"}));
            parts.push_back(text);
        }
        if (present(8, 8)) {
            std::snprintf(text, sizeof text, "resolution %dx%d", readInt32(data + 8), readInt32(data + 12));
            parts.push_back(text);
        }
        if (present(16, 4)) {
            int32_t quality = readInt32(data + 16);
            std::snprintf(text, sizeof text, "quality %d (%s)", quality,
                          choice(quality, {"normal", "low", "very low"}));
            parts.push_back(text);
        }
        if (present(20, 4)) {
            int32_t audio = readInt32(data + 20);
            std::snprintf(text, sizeof text, "audio %d (%s)", audio,
                          choice(audio, {"no audio", "hardware", "software"}));
            parts.push_back(text);
        }
        if (present(kNameOffset, kNameSize))
            parts.push_back("language " + printable(data + kNameOffset, kNameSize));
        if (present(56, 4)) {
            std::snprintf(text, sizeof text, "code page %d", readInt32(data + 56));
            parts.push_back(text);
        }
        if (size < kSettingsSize) {
            std::snprintf(text, sizeof text, "short file of %zu bytes", size);
            parts.push_back(text);
        }
        for (size_t i = 0; i < parts.size(); ++i) {
            summary += (i == 0 ? "" : ", ") + parts[i];
            std::string line = parts[i];
            line[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
            report.lines.push_back(line);
        }
    }
    report.oneLine = "valtor-demo: started as " + startedAs + "; " + summary;
    return report;
}

// Seconds to keep the window open: VALTOR_DEMO_SECONDS from 0 to 3600, else 3.
double windowSeconds() {
    const char* value = std::getenv("VALTOR_DEMO_SECONDS");
    if (value == nullptr || value[0] == '\0')
        return 3.0;
    char* end = nullptr;
    double seconds = std::strtod(value, &end);
    if (end == value || *end != '\0' || !(seconds >= 0.0 && seconds <= 3600.0))
        return 3.0;
    return seconds;
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
    text(title, "Valtor", SDL_Color{240, 216, 148, 255});
    text(body, "A stand-in for the game: these are the settings it was given.",
         SDL_Color{169, 159, 187, 255});
    y += 6;
    for (const std::string& line : lines)
        text(body, line, SDL_Color{236, 230, 242, 255});
    SDL_RenderPresent(renderer);
}

// Shows the report until the time is up or the window is closed. False when there is no display.
bool showWindow(const Report& report, double seconds) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return false;
    SDL_Window* window =
        SDL_CreateWindow("Valtor", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 560, 260, 0);
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
    Report report = describeSettings(startedAs, prefix + "setup.dat");

    std::printf("%s\n", report.oneLine.c_str());
    std::fflush(stdout);
    std::string logPath = prefix + "valtor-demo.log";
    if (FILE* log = std::fopen(logPath.c_str(), "a")) {
        std::fprintf(log, "%s\n", report.oneLine.c_str());
        std::fclose(log);
    } else {
        std::fprintf(stderr, "valtor-demo: cannot append to %s\n", logPath.c_str());
    }

    showWindow(report, windowSeconds());
    return 0;
}
