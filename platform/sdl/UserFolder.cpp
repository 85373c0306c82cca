#include "platform/UserFolder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {
namespace {

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') {
        return home;
    }
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof(buffer), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    return {};
}

void trimTrailingSeparators(std::string& path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
}

}  // namespace

std::string localAppDataFolder() {
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome != nullptr && dataHome[0] == '/') {
        std::string folder = dataHome;
        trimTrailingSeparators(folder);
        return folder;
    }
    std::string home = homeFolder();
    if (home.empty()) {
        return {};
    }
    trimTrailingSeparators(home);
    if (home == "/") {
        home.clear();
    }
    return home + "/.local/share";
}

void pathAppend(std::string& path, std::string_view more) {
    size_t start = 0;
    while (start < more.size() && isSeparator(more[start])) {
        ++start;
    }
    std::string tail = hostPath(more.substr(start));
    while (!path.empty() && isSeparator(path.back()) && path.size() > 1) {
        path.pop_back();
    }
    if (tail.empty()) {
        if (path.empty() || path.back() != '/') {
            path.push_back('/');
        }
        return;
    }
    if (!path.empty() && path.back() != '/') {
        path.push_back('/');
    }
    path += tail;
}

bool directoryExists(std::string_view path) {
    struct stat status;
    return stat(hostPath(path).c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool createDirectory(std::string_view path) {
    std::string target = hostPath(path);
    trimTrailingSeparators(target);
    if (target.empty()) {
        return false;
    }
    // Create the folders above it first, one level at a time.
    for (size_t slash = target.find('/', 1); slash != std::string::npos;
         slash = target.find('/', slash + 1)) {
        std::string parent = target.substr(0, slash);
        if (mkdir(parent.c_str(), 0755) != 0 && errno != EEXIST) {
            return false;
        }
    }
    return mkdir(target.c_str(), 0755) == 0;
}

}  // namespace platform
