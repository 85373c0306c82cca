// Start-up of the launcher as a player sees it: from the moment the process is started to the moment its
// picture is on the screen, against a minimal SDL2 program that shows the same PNG in a window of the same
// size; and the peak memory of both.
//
//   bench_startup                 measures (under xvfb-run when there is no display)
//   bench_startup --show PNG      the minimal program: shows the picture until it is asked to quit
//
// "On the screen" is read from the X server: a few pixels of the picture, outside the lists, at the place
// where a centred window of the picture's size lies, polled every millisecond. Each program is then asked to
// end with SIGTERM (the launcher takes it as a close request) and its peak resident memory comes from wait4.
// Google Benchmark does not fit this (the work happens in other processes), so this is a plain program.
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

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
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

    // Whether every probe shows the picture's pixel.
    bool showsPicture() {
        for (const Probe& probe : kProbes) {
            XImage* image = XGetImage(display_, DefaultRootWindow(display_), left_ + probe.x, top_ + probe.y,
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
    const Picture& picture_;
    Display* display_ = nullptr;
    int left_ = 0;
    int top_ = 0;
};

struct Run {
    double milliseconds = -1;  // start to picture shown; negative when it never showed
    long peakKilobytes = 0;
};

Run measure(const std::vector<std::string>& arguments, const std::string& directory, Screen& screen) {
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
    int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        return run;
    }
    while (nowMilliseconds() - start < 10000) {
        if (screen.showsPicture()) {
            run.milliseconds = nowMilliseconds() - start;
            break;
        }
        usleep(1000);
    }
    kill(pid, SIGTERM);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.peakKilobytes = usage.ru_maxrss;
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

int benchmark(const char* self) {
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
    // The launcher writes its settings into a folder of its own, not into the home.
    char dataHome[] = "/tmp/bench-startup-XXXXXX";
    if (mkdtemp(dataHome) == nullptr) {
        return 1;
    }
    setenv("XDG_DATA_HOME", dataHome, 1);
    const std::vector<std::string> launcher = {kGame + "/launcher"};
    const std::vector<std::string> minimal = {std::filesystem::absolute(self).string(), "--show", kPicture};

    std::vector<double> launcherTimes, minimalTimes;
    long launcherPeak = 0, minimalPeak = 0;
    for (int round = 0; round <= kRounds; ++round) {
        Run a = measure(launcher, kGame, screen);
        Run b = measure(minimal, kGame, screen);
        if (a.milliseconds < 0 || b.milliseconds < 0) {
            std::fprintf(stderr, "the %s picture never showed\n",
                         a.milliseconds < 0 ? "launcher's" : "minimal program's");
            std::filesystem::remove_all(dataHome);
            return 1;
        }
        if (round == 0) {
            continue;  // the first round warms the file cache
        }
        launcherTimes.push_back(a.milliseconds);
        minimalTimes.push_back(b.milliseconds);
        launcherPeak = std::max(launcherPeak, a.peakKilobytes);
        minimalPeak = std::max(minimalPeak, b.peakKilobytes);
    }
    std::filesystem::remove_all(dataHome);

    const double launcherMedian = median(launcherTimes), minimalMedian = median(minimalTimes);
    std::printf(
        "Start-up from process start to the picture on the screen, median of %d runs (X display %s):\n",
        kRounds, std::getenv("DISPLAY"));
    std::printf("  launcher                      %7.1f ms (fastest %6.1f)   peak memory %6.1f MiB\n",
                launcherMedian, *std::min_element(launcherTimes.begin(), launcherTimes.end()),
                launcherPeak / 1024.0);
    std::printf("  minimal SDL2 program, one PNG %7.1f ms (fastest %6.1f)   peak memory %6.1f MiB\n",
                minimalMedian, *std::min_element(minimalTimes.begin(), minimalTimes.end()),
                minimalPeak / 1024.0);
    std::printf("  launcher / minimal            %7.2f (goal: at most 0.90, with less peak memory)\n",
                launcherMedian / minimalMedian);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "--show") == 0) {
        return showPicture(argv[2]);
    }
    if (std::getenv("DISPLAY") == nullptr) {
        // No display: the same measurement in a virtual X server of its own.
        if (std::getenv("BENCH_STARTUP_IN_XVFB") != nullptr) {
            std::fprintf(stderr, "xvfb-run gave no display\n");
            return 1;
        }
        setenv("BENCH_STARTUP_IN_XVFB", "1", 1);
        std::string self = std::filesystem::absolute(argv[0]).string();
        execlp("xvfb-run", "xvfb-run", "-a", "-s", "-screen 0 1024x768x24", self.c_str(),
               static_cast<char*>(nullptr));
        std::printf("bench_startup needs a display or xvfb-run: skipped\n");
        return 0;
    }
    return benchmark(argv[0]);
}
