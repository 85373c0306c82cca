#include "platform/Process.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <iterator>
#include <thread>

#include "platform/UserFolder.h"

extern char** environ;

namespace platform {
namespace {

// Spawns argv[0] with a clean signal state and without the parent's descriptors beyond the standard three
// (the started program inherits no handles). Returns the pid, or -1.
pid_t spawn(const std::vector<std::string>& arguments, bool searchPath) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all;
    sigset_t none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    pid_t pid = -1;
    int result = searchPath ? posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ)
                            : posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return result == 0 ? pid : -1;
}

int exitCodeOf(int status) {
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (WIFSIGNALED(status)) {
        return 128 + WTERMSIG(status);
    }
    return -1;
}

int waitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return exitCodeOf(status);
}

// A termination request (SIGTERM, SIGINT, SIGHUP) that arrived while a started program was waited for.
volatile sig_atomic_t terminationRequested = 0;

void noteTermination(int) {
    terminationRequested = 1;
}

constexpr int kTerminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

// While it lives, the termination signals only set terminationRequested; the handlers that were there
// before (the video layer's, which turn them into close requests for windows that no longer exist, or the
// default ones) come back afterwards.
class TerminationWatch {
  public:
    TerminationWatch() {
        terminationRequested = 0;
        struct sigaction action {};
        action.sa_handler = noteTermination;
        sigemptyset(&action.sa_mask);
        for (size_t i = 0; i < std::size(kTerminationSignals); ++i) {
            sigaction(kTerminationSignals[i], &action, &previous_[i]);
        }
    }
    ~TerminationWatch() {
        for (size_t i = 0; i < std::size(kTerminationSignals); ++i) {
            sigaction(kTerminationSignals[i], &previous_[i], nullptr);
        }
    }
    TerminationWatch(const TerminationWatch&) = delete;
    TerminationWatch& operator=(const TerminationWatch&) = delete;

  private:
    struct sigaction previous_[std::size(kTerminationSignals)]{};
};

// Waits for the program, polling, so that a termination signal ends the wait whichever thread of this
// process it was delivered to.
int waitUnlessTerminated(pid_t pid) {
    constexpr struct timespec kPoll = {0, 10 * 1000 * 1000};
    for (;;) {
        int status = 0;
        pid_t result = waitpid(pid, &status, WNOHANG);
        if (result == pid) {
            return exitCodeOf(status);
        }
        if (result < 0 && errno != EINTR) {
            return -1;
        }
        if (terminationRequested != 0) {
            // The program keeps running; it is reaped by whoever inherits it when this process ends.
            return kWaitInterrupted;
        }
        nanosleep(&kPoll, nullptr);
    }
}

bool executableInPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos) {
            end = folders.size();
        }
        std::string folder = folders.substr(start, end - start);
        std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

}  // namespace

int HostShell::startFileAndWait(const std::string& file) {
    std::string path = hostPath(file);
    if (path.empty()) {
        return -1;
    }
    if (path.find('/') == std::string::npos) {
        path = "./" + path;  // the current directory, never a search of PATH
    }
    TerminationWatch watch;  // before the start: a request during it must not be lost either
    pid_t pid = spawn({path}, false);
    if (pid < 0) {
        return -1;
    }
    return waitUnlessTerminated(pid);
}

bool HostShell::startCommandLine(const std::string& commandLine) {
    std::vector<std::string> arguments = splitCommandLine(commandLine);
    if (arguments.empty() || arguments[0].empty()) {
        return false;
    }
    pid_t pid = spawn(arguments, arguments[0].find('/') == std::string::npos);
    if (pid < 0) {
        return false;
    }
    // Not waited for, but reaped when it ends, so it does not linger as a zombie.
    try {
        std::thread([pid] { waitFor(pid); }).detach();
    } catch (...) {
        // No thread to spare: the ended program stays a zombie until this process ends.
    }
    return true;
}

bool HostShell::htmlOpenCommand(std::string& command) {
    if (!executableInPath("xdg-open")) {
        return false;
    }
    command = "xdg-open";
    return true;
}

}  // namespace platform
