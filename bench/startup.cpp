// Start-up of the launcher as a player sees it: from the moment the process is started to the moment its
// picture is on the screen, against a minimal SDL2 program that shows the same PNG in a window of the same
// size; and the peak memory of both.
//
//   bench_startup                 measures (under xvfb-run when there is no display)
//   bench_startup --show PNG      the minimal program: shows the picture until it is asked to quit
//   bench_startup --wine DIR      the same for a Windows build under Wine: DIR/game/launcher.exe against
//                                 DIR/bench/win32/bench_minimal_win32.exe (decodes the PNG with libpng into a
//                                 DIB section and shows it in a centred popup window), e.g.
//                                   build/bench/bench_startup --wine build-win32
//                                 and against the same program asking Direct3D 9 the launcher's questions
//                                 first (`--direct3d`), which splits the launcher's figure into Direct3D's
//                                 cost on this machine and the launcher's own part
//   bench_startup --wine DIR --minimal-twice
//                                 the minimal Win32 program on both sides: checks the harness (ratio about 1)
//
// "On the screen" is read from the X server: a few pixels of the picture, outside the lists, at the place
// where a centred window of the picture's size lies, polled every millisecond. Each program is then asked to
// end with SIGTERM (the launcher takes it as a close request) and its peak resident memory comes from wait4.
// Google Benchmark does not fit this (the work happens in other processes), so this is a plain program.
//
// Under Wine both programs run with `wine` in a prefix of the benchmark's own ($BENCH_WINEPREFIX, else
// valtor-bench-wine in $XDG_CACHE_HOME or ~/.cache; made on first use, about 1.3 GB), where the game's
// settings are removed first so that the launcher starts without them, as on Linux. One wineserver is kept
// running for the whole measurement (`wineserver -p`, stopped at the end), with the prefix's system
// processes up, so that neither side pays for starting them. A program is asked to end the way a window
// manager does: its X windows (found by _NET_WM_PID) get WM_DELETE_WINDOW, which Wine turns into WM_CLOSE;
// SIGTERM follows after 3 s, SIGKILL after 6 s. Its peak memory is the VmHWM of the Linux process that runs
// the .exe (the one whose command line names it), read from /proc/<pid>/status every millisecond until it
// ends. Without a window manager (as under xvfb-run) Wine waits 2 s for one at every closed window before
// the program ends: that makes the run longer (about a minute), not the figures different.
#include <SDL.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <png.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <X11/Xatom.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace {

const std::string kGame = MT_BINARY_DIR "/game";
const std::string kPicture = MT_SOURCE_DIR "/assets/launcher/launcher_bg_english.png";
constexpr int kRounds = 11;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0xAARRGGBB, top row first
};

bool loadPicture(const char* path, Picture& picture) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path)) {
        return false;
    }
    image.format = PNG_FORMAT_BGRA;  // little-endian 0xAARRGGBB words
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.pixels.resize(static_cast<size_t>(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, picture.pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

// The minimal program: an SDL window with the picture on its surface, until SDL_QUIT.
int showPicture(const char* path) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        return 1;
    }
    Picture picture;
    if (!loadPicture(path, picture)) {
        return 1;
    }
    SDL_Window* window = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, picture.width,
                                          picture.height, SDL_WINDOW_BORDERLESS);
    SDL_Surface* source =
        SDL_CreateRGBSurfaceWithFormatFrom(picture.pixels.data(), picture.width, picture.height, 32,
                                           picture.width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (window == nullptr || source == nullptr) {
        return 1;
    }
    auto draw = [&] {
        SDL_BlitSurface(source, nullptr, SDL_GetWindowSurface(window), nullptr);
        SDL_UpdateWindowSurface(window);
    };
    draw();
    for (SDL_Event event; SDL_WaitEvent(&event);) {
        if (event.type == SDL_QUIT) {
            break;
        }
        if (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_EXPOSED) {
            draw();
        }
    }
    SDL_FreeSurface(source);
    SDL_DestroyWindow(window);
    SDL_Quit();
    return 0;
}

double nowMilliseconds() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Points of the picture that no list covers: the title, the moon, the start button, corners of the frame.
struct Probe {
    int x, y;
};
constexpr Probe kProbes[] = {{220, 55}, {385, 110}, {330, 355}, {12, 12}, {425, 300}, {330, 405}};

class Screen {
  public:
    explicit Screen(const Picture& picture) : picture_(picture) {
        display_ = XOpenDisplay(nullptr);
        // Windows of the programs come and go while they are looked at: a request about one that has just
        // gone is answered with an error, which must not end this program (Xlib's default handler would).
        XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        if (display_ != nullptr) {
            int screen = DefaultScreen(display_);
            left_ = (DisplayWidth(display_, screen) - picture.width) / 2;
            top_ = (DisplayHeight(display_, screen) - picture.height) / 2;
        }
    }
    ~Screen() {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
    }
    bool usable() const { return display_ != nullptr; }
    // Where the picture is looked for: "WxH+X+Y", as X geometries are written.
    std::string where() const {
        return std::to_string(picture_.width) + "x" + std::to_string(picture_.height) + "+" +
               std::to_string(left_) + "+" + std::to_string(top_);
    }

    // Sends WM_DELETE_WINDOW to the shown top-level windows of the process (and to those a window manager
    // framed). False when it has none.
    bool askToClose(pid_t pid) {
        const Atom pidAtom = XInternAtom(display_, "_NET_WM_PID", False);
        const Atom protocols = XInternAtom(display_, "WM_PROTOCOLS", False);
        const Atom deleteWindow = XInternAtom(display_, "WM_DELETE_WINDOW", False);
        std::vector<Window> windows;
        windowsOf(DefaultRootWindow(display_), pid, pidAtom, 2, windows);
        for (Window window : windows) {
            XEvent event{};
            event.xclient.type = ClientMessage;
            event.xclient.window = window;
            event.xclient.message_type = protocols;
            event.xclient.format = 32;
            event.xclient.data.l[0] = static_cast<long>(deleteWindow);
            event.xclient.data.l[1] = CurrentTime;
            XSendEvent(display_, window, False, NoEventMask, &event);
        }
        XFlush(display_);
        return !windows.empty();
    }

    // Whether every probe shows the picture's pixel, with the picture centred on the screen.
    bool showsPicture() { return showsPictureAt(left_, top_); }

    // Whether a shown window of the process holds the picture at its top-left corner, or just inside a
    // border of one or two pixels. Windows under Wine are measured this way: Wine sizes a dialog by its own
    // measure of the dialog font, so the launcher's window is not the picture's size.
    bool showsPictureInWindowOf(pid_t pid) {
        const Atom pidAtom = XInternAtom(display_, "_NET_WM_PID", False);
        std::vector<Window> windows;
        windowsOf(DefaultRootWindow(display_), pid, pidAtom, 2, windows);
        for (Window window : windows) {
            int x = 0, y = 0;
            Window child = 0;
            if (!XTranslateCoordinates(display_, window, DefaultRootWindow(display_), 0, 0, &x, &y, &child)) {
                continue;
            }
            for (int border = 0; border <= 2; ++border) {
                if (showsPictureAt(x + border, y + border)) {
                    return true;
                }
            }
        }
        return false;
    }

    bool showsPictureAt(int left, int top) {
        for (const Probe& probe : kProbes) {
            XImage* image = XGetImage(display_, DefaultRootWindow(display_), left + probe.x, top + probe.y,
                                      1, 1, AllPlanes, ZPixmap);
            if (image == nullptr) {
                return false;
            }
            unsigned long shown = XGetPixel(image, 0, 0) & 0xFFFFFF;
            XDestroyImage(image);
            uint32_t expected =
                picture_.pixels[static_cast<size_t>(probe.y) * picture_.width + probe.x] & 0xFFFFFF;
            if (shown != expected) {
                return false;
            }
        }
        return true;
    }

  private:
    // The viewable windows below `parent`, `depth` levels deep, whose _NET_WM_PID is pid.
    void windowsOf(Window parent, pid_t pid, Atom pidAtom, int depth, std::vector<Window>& found) {
        Window root = 0, parentOfParent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(display_, parent, &root, &parentOfParent, &children, &count)) {
            return;
        }
        for (unsigned int i = 0; i < count; ++i) {
            XWindowAttributes attributes;
            if (!XGetWindowAttributes(display_, children[i], &attributes) ||
                attributes.map_state != IsViewable) {
                continue;
            }
            if (windowPid(children[i], pidAtom) == pid) {
                found.push_back(children[i]);
            } else if (depth > 1) {
                windowsOf(children[i], pid, pidAtom, depth - 1, found);
            }
        }
        if (children != nullptr) {
            XFree(children);
        }
    }

    long windowPid(Window window, Atom pidAtom) {
        Atom type = 0;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        long pid = -1;
        if (XGetWindowProperty(display_, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items,
                               &after, &data) == Success &&
            data != nullptr && format == 32 && items == 1) {
            pid = *reinterpret_cast<long*>(data);  // format 32 comes as long
        }
        if (data != nullptr) {
            XFree(data);
        }
        return pid;
    }

    const Picture& picture_;
    Display* display_ = nullptr;
    int left_ = 0;
    int top_ = 0;
};

struct Run {
    double milliseconds = -1;  // start to picture shown; negative when it never showed
    long peakKilobytes = 0;
};

// One side of the measurement: what is started where, and for a Windows program under Wine the file name
// of its .exe (empty for a Linux program).
struct Program {
    std::vector<std::string> arguments;  // arguments[0] is looked up in PATH when it has no slash
    std::string directory;
    std::string windowsExecutable;
};

std::string lowerCase(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// Whether the first word of the process's command line names the executable (Wine shows the Windows
// program's command line there), compared without case as Windows names are.
bool runsExecutable(const std::string& pid, const std::string& executable) {
    std::ifstream file("/proc/" + pid + "/cmdline", std::ios::binary);
    std::string first;
    if (!std::getline(file, first, '\0')) {
        return false;
    }
    const size_t separator = first.find_last_of("/\\");
    return lowerCase(separator == std::string::npos ? first : first.substr(separator + 1)) ==
           lowerCase(executable);
}

// Whether the process runs in the benchmark's Wine prefix (Wine hands its environment on), so that a
// program of the same name in someone else's prefix is never taken for ours.
bool inOurPrefix(const std::string& pid) {
    const char* prefix = std::getenv("WINEPREFIX");
    std::ifstream file("/proc/" + pid + "/environ", std::ios::binary);
    const std::string wanted = std::string("WINEPREFIX=") + (prefix != nullptr ? prefix : "");
    for (std::string variable; std::getline(file, variable, '\0');) {
        if (variable == wanted) {
            return true;
        }
    }
    return false;
}

// The Linux process that runs the .exe: the started one itself as a rule (the wine loader becomes the
// program), else one in our prefix whose command line names it; -1 when there is none.
pid_t processRunning(pid_t started, const std::string& executable) {
    if (runsExecutable(std::to_string(started), executable)) {
        return started;
    }
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() && std::all_of(name.begin(), name.end(), ::isdigit) &&
            runsExecutable(name, executable) && inOurPrefix(name)) {
            return static_cast<pid_t>(std::stol(name));
        }
    }
    return -1;
}

// The process's peak resident memory so far (VmHWM), in KiB; 0 once it has ended.
long peakOf(pid_t pid) {
    std::ifstream file("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(file, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::atol(line.c_str() + 6);
        }
    }
    return 0;
}

// Ends a Windows program (see the top of the file) and gives its peak memory.
long endUnderWine(pid_t started, const std::string& executable, Screen& screen) {
    const pid_t program = processRunning(started, executable);
    long peak = program > 0 ? peakOf(program) : 0;
    bool terminated = !(program > 0 && screen.askToClose(program));
    if (terminated) {
        kill(started, SIGTERM);
    }
    bool killed = false;
    const double asked = nowMilliseconds();
    int status = 0;
    while (waitpid(started, &status, WNOHANG) == 0) {
        if (program > 0) {
            peak = std::max(peak, peakOf(program));
        }
        const double waited = nowMilliseconds() - asked;
        if (!terminated && waited > 3000) {
            kill(started, SIGTERM);
            terminated = true;
        } else if (!killed && waited > 6000) {
            kill(started, SIGKILL);
            killed = true;
        }
        usleep(1000);
    }
    // A program that is not the started process itself may outlive it for a moment.
    while (program > 0 && program != started && kill(program, 0) == 0 && nowMilliseconds() - asked < 2000) {
        peak = std::max(peak, peakOf(program));
        usleep(1000);
    }
    return peak;
}

Run measure(const Program& program, Screen& screen) {
    const std::vector<std::string>& arguments = program.arguments;
    const std::string& directory = program.directory;
    Run run;
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, directory.c_str());
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const double start = nowMilliseconds();
    int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return run;
    }
    const bool underWine = !program.windowsExecutable.empty();
    while (nowMilliseconds() - start < 10000) {
        if (underWine ? screen.showsPictureInWindowOf(pid) : screen.showsPicture()) {
            run.milliseconds = nowMilliseconds() - start;
            break;
        }
        usleep(1000);
    }
    if (program.windowsExecutable.empty()) {
        kill(pid, SIGTERM);
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        run.peakKilobytes = usage.ru_maxrss;
    } else {
        run.peakKilobytes = endUnderWine(pid, program.windowsExecutable, screen);
    }
    // The next run must not see this window: wait until the server has taken it away.
    const double ended = nowMilliseconds();
    while (screen.showsPicture() && nowMilliseconds() - ended < 2000) {
        usleep(1000);
    }
    return run;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

// The times and peaks of every side over the rounds after the first (which warms the file cache).
struct Side {
    Side(const char* sideLabel, Program sideProgram) : label(sideLabel), program(std::move(sideProgram)) {}

    const char* label;
    Program program;
    std::vector<double> times;
    long peak = 0;
};

// Runs the sides in turn, round after round, so that a change of the machine's load falls on all of them.
bool compare(std::vector<Side>& sides, Screen& screen) {
    for (int round = 0; round <= kRounds; ++round) {
        for (Side& side : sides) {
            Run run = measure(side.program, screen);
            if (run.milliseconds < 0) {
                std::fprintf(stderr, "the picture of %s never showed (looked for it at %s, or under Wine in its window)\n",
                             side.label, screen.where().c_str());
                return false;
            }
            if (round > 0) {
                side.times.push_back(run.milliseconds);
                side.peak = std::max(side.peak, run.peakKilobytes);
            }
        }
    }
    return true;
}

// A row of the table per side; the labels are padded to 30 columns.
void reportSides(const std::vector<Side>& sides) {
    for (const Side& side : sides) {
        std::printf("  %-29s %7.1f ms (fastest %6.1f)   peak memory %6.1f MiB\n", side.label,
                    median(side.times), *std::min_element(side.times.begin(), side.times.end()),
                    side.peak / 1024.0);
    }
}

// The ratio of the medians of two sides.
void reportRatio(const Side& measured, const Side& reference, const char* label, const char* goal) {
    std::printf("  %-29s %7.2f (goal: %s)\n", label, median(measured.times) / median(reference.times), goal);
}

int benchmark(const char* self, Screen& screen) {
    // The launcher writes its settings into a folder of its own, not into the home.
    char dataHome[] = "/tmp/bench-startup-XXXXXX";
    if (mkdtemp(dataHome) == nullptr) {
        return 1;
    }
    setenv("XDG_DATA_HOME", dataHome, 1);
    std::vector<Side> sides = {
        {"launcher", {{kGame + "/launcher"}, kGame, {}}},
        {"minimal SDL2 program, one PNG",
         {{std::filesystem::absolute(self).string(), "--show", kPicture}, kGame, {}}}};
    const bool measured = compare(sides, screen);
    std::filesystem::remove_all(dataHome);
    if (!measured) {
        return 1;
    }
    std::printf(
        "Start-up from process start to the picture on the screen, median of %d runs (X display %s):\n",
        kRounds, std::getenv("DISPLAY"));
    reportSides(sides);
    reportRatio(sides[0], sides[1], "launcher / minimal", "at most 0.90, with less peak memory");
    return 0;
}

// Runs a command to its end; true when it ended with 0.
bool runCommand(std::vector<std::string> arguments) {
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    int status = 0;
    return posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) == 0 &&
           waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string benchWinePrefix() {
    if (const char* prefix = std::getenv("BENCH_WINEPREFIX"); prefix != nullptr && prefix[0] == '/') {
        return prefix;
    }
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    if (cache != nullptr && cache[0] == '/') {
        return std::string(cache) + "/valtor-bench-wine";
    }
    return std::string(home != nullptr ? home : "/tmp") + "/.cache/valtor-bench-wine";
}

// Makes the prefix when it is missing, removes the game's settings from it, and starts its wineserver for
// the whole measurement with the system processes up (a first program starts them).
bool prepareWine(const std::string& prefix) {
    setenv("WINEPREFIX", prefix.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);  // no offer to install Mono or Gecko
    std::error_code error;
    if (!std::filesystem::exists(prefix + "/system.reg", error)) {
        std::fprintf(stderr, "Making the Wine prefix %s (once)...\n", prefix.c_str());
        if (!runCommand({"wineboot", "-i"})) {
            return false;
        }
    }
    for (const auto& user : std::filesystem::directory_iterator(prefix + "/drive_c/users", error)) {
        std::filesystem::remove_all(user.path() / "AppData/Local/Quillfen", error);
    }
    runCommand({"wineserver", "-k"});  // a server left over from an interrupted run
    runCommand({"wineserver", "-w"});
    return runCommand({"wineserver", "-p"}) && runCommand({"wine", "cmd.exe", "/c", "exit"});
}

// The Windows path of a Linux one, through the Z: drive of every prefix.
std::string windowsPath(const std::string& path) {
    std::string windows = "Z:" + path;
    std::replace(windows.begin(), windows.end(), '/', '\\');
    return windows;
}

int benchmarkWine(const std::string& buildDir, bool minimalTwice, Screen& screen) {
    const std::string game = buildDir + "/game";
    const std::string launcher = game + "/launcher.exe";
    const std::string minimal = buildDir + "/bench/win32/bench_minimal_win32.exe";
    for (const std::string& file : {minimalTwice ? minimal : launcher, minimal}) {
        if (access(file.c_str(), R_OK) != 0) {
            std::fprintf(stderr, "%s is missing: build it first\n", file.c_str());
            return 1;
        }
    }
    const std::string prefix = benchWinePrefix();
    if (!prepareWine(prefix)) {
        std::fprintf(stderr, "cannot start Wine in %s\n", prefix.c_str());
        return 1;
    }
    const Program minimalProgram = {
        {"wine", minimal, windowsPath(kPicture)}, game, "bench_minimal_win32.exe"};
    const Program minimalWithDirect3d = {
        {"wine", minimal, windowsPath(kPicture), "--direct3d"}, game, "bench_minimal_win32.exe"};
    std::vector<Side> sides;
    if (minimalTwice) {
        sides = {{"minimal Win32 program (again)", minimalProgram}, {"minimal Win32 program", minimalProgram}};
    } else {
        sides = {{"launcher.exe", {{"wine", launcher}, game, "launcher.exe"}},
                 {"minimal Win32 program", minimalProgram},
                 {"minimal + Direct3D questions", minimalWithDirect3d}};
    }
    const bool measured = compare(sides, screen);
    runCommand({"wineserver", "-k"});
    if (!measured) {
        return 1;
    }
    std::printf(
        "Start-up under Wine from process start to the picture on the screen, median of %d runs (X display "
        "%s, %s):\n",
        kRounds, std::getenv("DISPLAY"), buildDir.c_str());
    reportSides(sides);
    if (minimalTwice) {
        reportRatio(sides[0], sides[1], "first / second", "about 1");
        return 0;
    }
    reportRatio(sides[0], sides[1], "launcher.exe / minimal", "at most 1.20");
    // The launcher must have Direct3D's answers before it shows its window; these two split the figure
    // above into what asking Direct3D costs on this machine and what the launcher adds to it.
    reportRatio(sides[2], sides[1], "minimal + Direct3D / minimal", "none: Direct3D's cost here");
    reportRatio(sides[0], sides[2], "launcher.exe / minimal + D3D", "none: the launcher's own part");
    return 0;
}

// Measures on the X display: the Linux programs, or with a build folder the Windows ones under Wine.
int measureOnDisplay(const char* self, const char* wineBuildDir, bool minimalTwice) {
    Picture picture;
    if (!loadPicture(kPicture.c_str(), picture)) {
        std::fprintf(stderr, "cannot read %s\n", kPicture.c_str());
        return 1;
    }
    Screen screen(picture);
    if (!screen.usable()) {
        std::fprintf(stderr, "no X display\n");
        return 1;
    }
    if (wineBuildDir != nullptr) {
        return benchmarkWine(std::filesystem::absolute(wineBuildDir).lexically_normal().string(),
                             minimalTwice, screen);
    }
    return benchmark(self, screen);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--show") == 0) {
        return showPicture(argv[2]);
    }
    const bool wine = argc >= 3 && std::strcmp(argv[1], "--wine") == 0;
    const bool minimalTwice = wine && argc == 4 && std::strcmp(argv[3], "--minimal-twice") == 0;
    if (argc != 1 && !(wine && (argc == 3 || minimalTwice))) {
        std::fprintf(stderr, "usage: %s [--wine BUILD_DIR [--minimal-twice]]\n", argv[0]);
        return 2;
    }
    if (std::getenv("DISPLAY") == nullptr) {
        // No display: the same measurement in a virtual X server of its own.
        if (std::getenv("BENCH_STARTUP_IN_XVFB") != nullptr) {
            std::fprintf(stderr, "xvfb-run gave no display\n");
            return 1;
        }
        setenv("BENCH_STARTUP_IN_XVFB", "1", 1);
        std::string self = std::filesystem::absolute(argv[0]).string();
        std::vector<char*> command = {const_cast<char*>("xvfb-run"), const_cast<char*>("-a"),
                                      const_cast<char*>("-s"), const_cast<char*>("-screen 0 1024x768x24"),
                                      self.data()};
        command.insert(command.end(), argv + 1, argv + argc);
        command.push_back(nullptr);
        execvp("xvfb-run", command.data());
        std::printf("bench_startup needs a display or xvfb-run: skipped\n");
        return 0;
    }
    return measureOnDisplay(argv[0], wine ? argv[2] : nullptr, minimalTwice);
}
