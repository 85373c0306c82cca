#include "platform/FileReplace.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "platform/HostFile.h"

namespace platform {
namespace {

// Links followed at most, as the kernel does.
constexpr int MAX_LINKS = 40;
// What every temporary name of a target starts with after the target's own name; the process id and an
// attempt number follow.
constexpr const char* TEMPORARY_MARK = ".new-";

bool writeAll(int descriptor, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t written = ::write(descriptor, bytes, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// The folder of a path ("." for a bare name), and the name in it.
std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file a path finally names: symbolic links are followed (also dangling ones, whose target is then
// created). Empty when the chain is too long or a link cannot be read.
std::string followLinks(std::string path) {
    for (int depth = 0; depth <= MAX_LINKS; ++depth) {
        struct stat info;
        if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return path;
        }
        std::string link(static_cast<size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
        ssize_t length = ::readlink(path.c_str(), link.data(), link.size());
        if (length <= 0 || static_cast<size_t>(length) >= link.size()) {
            return std::string();
        }
        link.resize(static_cast<size_t>(length));
        path = link[0] == '/' ? link : folderOf(path) + "/" + link;
    }
    return std::string();
}

// Removes temporary files of the target that a process which no longer runs left behind.
void removeStaleTemporaries(const std::string& target) {
    std::string prefix = nameOf(target) + TEMPORARY_MARK;
    std::string folder = folderOf(target);
    std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(folder.c_str()), ::closedir);
    if (!directory) {
        return;
    }
    while (struct dirent* entry = ::readdir(directory.get())) {
        std::string name = entry->d_name;
        if (name.compare(0, prefix.size(), prefix) != 0) {
            continue;
        }
        char* end = nullptr;
        long owner = std::strtol(name.c_str() + prefix.size(), &end, 10);
        if (owner <= 0 || !end || *end != '-' || owner == ::getpid()) {
            continue;
        }
        if (::kill(static_cast<pid_t>(owner), 0) != 0 && errno == ESRCH) {
            ::unlink((folder + "/" + name).c_str());
        }
    }
}

}  // namespace

ReplacementFile::~ReplacementFile() {
    abandon();
}

bool ReplacementFile::begin(const char* path, int mode) {
    try {
        abandon();
        failed = false;
        std::string given = hostPath(path);
        if (given.empty() || given.back() == '/') {
            return false;
        }
        target = followLinks(given);
        if (target.empty()) {
            return false;
        }
        struct stat existing;
        bool exists = ::stat(target.c_str(), &existing) == 0;
        if (exists && S_ISDIR(existing.st_mode)) {
            return false;
        }
        removeStaleTemporaries(target);
        // A name of our own beside the target: the same file system (so the rename is atomic), and never a
        // file that another writer is making at the same time.
        mode_t createMode = mode >= 0 ? static_cast<mode_t>(mode & 0777) : exists ? 0600 : 0666;
        for (int attempt = 0; attempt < 100 && descriptor < 0; ++attempt) {
            temporary = target + TEMPORARY_MARK + std::to_string(::getpid()) + "-" + std::to_string(attempt);
            descriptor = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
            if (descriptor < 0 && errno != EEXIST) {
                break;
            }
        }
        if (descriptor < 0) {
            temporary.clear();
            return false;
        }
        if (mode < 0 && exists && ::fchmod(descriptor, existing.st_mode & 07777) != 0) {
            abandon();
            return false;
        }
        return true;
    } catch (const std::bad_alloc&) {
        abandon();
        return false;
    }
}

bool ReplacementFile::write(const void* data, size_t size) {
    if (descriptor < 0 || (data == nullptr && size > 0) || !writeAll(descriptor, data, size)) {
        failed = true;
    }
    return !failed;
}

bool ReplacementFile::writeAt(int64_t offset, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    if (descriptor < 0 || offset < 0 || (data == nullptr && size > 0)) {
        failed = true;
    }
    while (!failed && size > 0) {
        ssize_t written = ::pwrite(descriptor, bytes, size, static_cast<off_t>(offset));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            failed = true;
            break;
        }
        bytes += written;
        offset += written;
        size -= static_cast<size_t>(written);
    }
    return !failed;
}

bool ReplacementFile::commit() {
    try {
        if (descriptor < 0) {
            return false;
        }
        bool written = !failed && ::fsync(descriptor) == 0;
        written = ::close(descriptor) == 0 && written;
        descriptor = -1;
        if (!written || std::rename(temporary.c_str(), target.c_str()) != 0) {
            ::unlink(temporary.c_str());
            temporary.clear();
            return false;
        }
        temporary.clear();
        // The rename itself reaches the disk with the folder; a failure here loses nothing already written.
        int folder = ::open(folderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder >= 0) {
            ::fsync(folder);
            ::close(folder);
        }
        return true;
    } catch (const std::bad_alloc&) {
        abandon();
        return false;
    }
}

void ReplacementFile::abandon() {
    if (descriptor >= 0) {
        ::close(descriptor);
        descriptor = -1;
    }
    if (!temporary.empty()) {
        ::unlink(temporary.c_str());
        temporary.clear();
    }
}

bool replaceFileContents(const char* path, const void* data, size_t size) {
    if (path == nullptr || (data == nullptr && size > 0)) {
        return false;
    }
    ReplacementFile file;
    return file.begin(path) && file.write(data, size) && file.commit();
}

}  // namespace platform
