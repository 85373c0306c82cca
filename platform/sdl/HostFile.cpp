#include "platform/HostFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <new>

#include "platform/FileReplace.h"
#include "platform/HostFileStream.h"

namespace platform {
namespace {

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool writeTo(int out, const char* bytes, size_t size) {
    for (size_t done = 0; done < size;) {
        ssize_t put = ::write(out, bytes + done, size - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<size_t>(put);
    }
    return true;
}

bool writeTo(ReplacementFile& out, const char* bytes, size_t size) {
    return out.write(bytes, size);
}

// Copies everything from the descriptor to out, which is a descriptor or a ReplacementFile.
template <typename Sink>
bool copyContents(int in, Sink& out) {
    static constexpr size_t CHUNK = 1 << 16;
    char* buffer = new (std::nothrow) char[CHUNK];
    if (!buffer)
        return false;
    bool ok = true;
    for (;;) {
        ssize_t got = ::read(in, buffer, CHUNK);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        if (!writeTo(out, buffer, static_cast<size_t>(got))) {
            ok = false;
            break;
        }
    }
    delete[] buffer;
    return ok;
}

}  // namespace

HostFile* hostFileOpen(const char* path, int mode) {
    try {
        std::string name = hostPath(path);
        if (name.empty())
            return nullptr;
        const char* modeText = mode == HOST_FILE_WRITE ? "wb" : mode == HOST_FILE_APPEND ? "ab+" : "rb";
        FILE* stream = std::fopen(name.c_str(), modeText);
        if (!stream)
            return nullptr;
        struct stat info;
        if (fstat(fileno(stream), &info) != 0 || S_ISDIR(info.st_mode)) {
            std::fclose(stream);
            return nullptr;
        }
        return adoptHostStream(stream, mode);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int64_t hostFileWrite(HostFile* file, const void* src, int64_t n) {
    if (!file || !src || n <= 0)
        return 0;
    switchHostStreamTo(file, HostFile::Last::Write);
    return static_cast<int64_t>(std::fwrite(src, 1, static_cast<size_t>(n), file->stream));
}

bool hostFileSeek(HostFile* file, int64_t offset, int origin) {
    if (!file)
        return false;
    int whence = origin == HOST_SEEK_START ? SEEK_SET : origin == HOST_SEEK_CURRENT ? SEEK_CUR : SEEK_END;
    if (origin != HOST_SEEK_START && origin != HOST_SEEK_CURRENT && origin != HOST_SEEK_END)
        return false;
    file->last = HostFile::Last::None;
    return fseeko(file->stream, static_cast<off_t>(offset), whence) == 0;
}

int64_t hostFileTell(HostFile* file) {
    return file ? static_cast<int64_t>(ftello(file->stream)) : -1;
}

int64_t hostFileSize(HostFile* file) {
    if (!file)
        return -1;
    if (file->last == HostFile::Last::Write)
        std::fflush(file->stream);
    struct stat info;
    if (fstat(fileno(file->stream), &info) != 0)
        return -1;
    return static_cast<int64_t>(info.st_size);
}

bool hostFileTruncate(HostFile* file, int64_t length) {
    if (!file || length < 0)
        return false;
    std::fflush(file->stream);
    if (ftruncate(fileno(file->stream), static_cast<off_t>(length)) != 0)
        return false;
    return hostFileSeek(file, length, HOST_SEEK_START);
}

const uint8_t* hostMapFile(HostFile* file, int64_t& length) {
    length = 0;
    int64_t size = hostFileSize(file);
    if (size <= 0 || static_cast<uint64_t>(size) > SIZE_MAX)
        return nullptr;
    void* data = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ, MAP_PRIVATE, fileno(file->stream), 0);
    if (data == MAP_FAILED)
        return nullptr;
    length = size;
    return static_cast<const uint8_t*>(data);
}

void hostUnmapFile(const uint8_t* data, int64_t length) {
    if (data && length > 0)
        ::munmap(const_cast<uint8_t*>(data), static_cast<size_t>(length));
}

bool hostCopyFile(const char* from, const char* to, bool failIfExists) {
    try {
        std::string source = hostPath(from), target = hostPath(to);
        if (source.empty() || target.empty())
            return false;
        int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0)
            return false;
        struct stat sourceInfo, targetInfo;
        if (fstat(in, &sourceInfo) != 0 || !S_ISREG(sourceInfo.st_mode)) {
            ::close(in);
            return false;
        }
        bool targetExists = ::stat(target.c_str(), &targetInfo) == 0;
        if (targetExists &&
            (failIfExists || sameFile(sourceInfo, targetInfo) || S_ISDIR(targetInfo.st_mode))) {
            ::close(in);
            return false;
        }
        bool ok;
        if (failIfExists) {
            // Nothing is there to lose: the copy is made in place, and only a file this call created is
            // removed.
            int out =
                ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, sourceInfo.st_mode & 0777);
            if (out < 0) {
                ::close(in);
                return false;
            }
            ok = copyContents(in, out);
            if (::close(out) != 0)
                ok = false;
            if (!ok)
                ::unlink(target.c_str());
        } else {
            // An existing target keeps its content until the copy is complete.
            ReplacementFile out;
            ok = out.begin(target.c_str(), static_cast<int>(sourceInfo.st_mode & 0777)) &&
                 copyContents(in, out) && out.commit();
        }
        ::close(in);
        return ok;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool hostFileIdentity(const char* path, HostFileIdentity& identity) {
    try {
        std::string name = hostPath(path);
        struct stat info;
        if (name.empty() || ::stat(name.c_str(), &info) != 0)
            return false;
        identity.device = static_cast<uint64_t>(info.st_dev);
        identity.inode = static_cast<uint64_t>(info.st_ino);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool hostSameFile(const char* a, const char* b) {
    HostFileIdentity first, second;
    return hostFileIdentity(a, first) && hostFileIdentity(b, second) && first == second;
}

bool hostMoveFile(const char* from, const char* to) {
    try {
        std::string source = hostPath(from), target = hostPath(to);
        if (source.empty() || target.empty())
            return false;
        struct stat info;
        if (::lstat(target.c_str(), &info) == 0)
            return false;
        if (::rename(source.c_str(), target.c_str()) == 0)
            return true;
        if (errno != EXDEV)
            return false;
        // Another file system: copy the file, then remove the original.
        if (::stat(source.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            return false;
        if (!hostCopyFile(source.c_str(), target.c_str(), true))
            return false;
        if (::unlink(source.c_str()) != 0) {
            ::unlink(target.c_str());
            return false;
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool hostDeleteFile(const char* path) {
    try {
        std::string name = hostPath(path);
        struct stat info;
        if (name.empty() || ::lstat(name.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
            return false;
        return ::unlink(name.c_str()) == 0;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool hostCreateDirectory(const char* path) {
    try {
        std::string name = hostPath(path);
        return !name.empty() && ::mkdir(name.c_str(), 0777) == 0;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool hostRemoveDirectory(const char* path) {
    try {
        std::string name = hostPath(path);
        return !name.empty() && ::rmdir(name.c_str()) == 0;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool hostIsDirectory(const char* path) {
    try {
        std::string name = hostPath(path);
        struct stat info;
        return !name.empty() && ::stat(name.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool hostListDirectory(const char* path, std::vector<HostDirectoryEntry>& entries) {
    try {
        std::string name = path && *path ? hostPath(path) : std::string(1, '.');
        std::unique_ptr<DIR, int (*)(DIR*)> directory(::opendir(name.c_str()), ::closedir);
        if (!directory)
            return false;
        std::vector<HostDirectoryEntry> found;
        while (struct dirent* entry = ::readdir(directory.get())) {
            std::string entryName = entry->d_name;
            if (entryName == "." || entryName == "..")
                continue;
            HostDirectoryEntry item;
            item.name = entryName;
            struct stat info;
            std::string full = name;
            if (full.back() != '/')
                full.push_back('/');
            full.append(entryName);
            if (::lstat(full.c_str(), &info) == 0) {
                item.isLink = S_ISLNK(info.st_mode);
                if (item.isLink && ::stat(full.c_str(), &info) != 0)
                    info.st_mode = 0;
                item.isDirectory = S_ISDIR(info.st_mode);
            }
            found.push_back(std::move(item));
        }
        directory.reset();
        std::sort(found.begin(), found.end(),
                  [](const HostDirectoryEntry& a, const HostDirectoryEntry& b) { return a.name < b.name; });
        entries.insert(entries.end(), found.begin(), found.end());
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

}  // namespace platform
