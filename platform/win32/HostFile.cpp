#include "platform/HostFile.h"

#include <sys/stat.h>
#include <windows.h>

#include <io.h>

#include <algorithm>
#include <cstdio>
#include <new>

#include "platform/HostFileStream.h"
#include "platform/win32/Temporary.h"
#include "platform/win32/WideText.h"

namespace platform {
namespace {

std::wstring widePathOf(const char* path) {
    return path ? win32::widePath(path) : std::wstring();
}

DWORD attributesOf(const std::wstring& path) {
    return GetFileAttributesW(path.c_str());
}

bool isDirectoryAttributes(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The volume and file index of what a path names (after links).
bool identify(const std::wstring& path, HostFileIdentity& identity) {
    HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    CloseHandle(file);
    if (!known)
        return false;
    identity.device = info.dwVolumeSerialNumber;
    identity.inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

// Whether two paths name one file (after links).
bool sameFile(const std::wstring& a, const std::wstring& b) {
    HostFileIdentity first, second;
    return identify(a, first) && identify(b, second) && first == second;
}

}  // namespace

HostFile* hostFileOpen(const char* path, int mode) {
    const std::wstring name = widePathOf(path);
    if (name.empty())
        return nullptr;
    const wchar_t* modeText = mode == HOST_FILE_WRITE ? L"wb" : mode == HOST_FILE_APPEND ? L"ab+" : L"rb";
    FILE* stream = _wfopen(name.c_str(), modeText);
    if (!stream)
        return nullptr;
    struct _stat64 info;
    if (_fstat64(_fileno(stream), &info) != 0 || (info.st_mode & _S_IFMT) == _S_IFDIR) {
        std::fclose(stream);
        return nullptr;
    }
    return adoptHostStream(stream, mode);
}

int64_t hostFileWrite(HostFile* file, const void* src, int64_t n) {
    if (!file || !src || n <= 0)
        return 0;
    switchHostStreamTo(file, HostFile::Last::Write);
    // The C runtime appends at the end but goes on reporting the position the stream had before; moving
    // there first keeps the position right.
    if (file->append)
        _fseeki64(file->stream, 0, SEEK_END);
    return static_cast<int64_t>(std::fwrite(src, 1, static_cast<size_t>(n), file->stream));
}

bool hostFileSeek(HostFile* file, int64_t offset, int origin) {
    if (!file)
        return false;
    if (origin != HOST_SEEK_START && origin != HOST_SEEK_CURRENT && origin != HOST_SEEK_END)
        return false;
    const int whence = origin == HOST_SEEK_START     ? SEEK_SET
                       : origin == HOST_SEEK_CURRENT ? SEEK_CUR
                                                     : SEEK_END;
    file->last = HostFile::Last::None;
    return _fseeki64(file->stream, offset, whence) == 0;
}

int64_t hostFileTell(HostFile* file) {
    return file ? _ftelli64(file->stream) : -1;
}

int64_t hostFileSize(HostFile* file) {
    if (!file)
        return -1;
    if (file->last == HostFile::Last::Write)
        std::fflush(file->stream);
    return _filelengthi64(_fileno(file->stream));
}

bool hostFileTruncate(HostFile* file, int64_t length) {
    if (!file || length < 0)
        return false;
    std::fflush(file->stream);
    if (_chsize_s(_fileno(file->stream), length) != 0)
        return false;
    return hostFileSeek(file, length, HOST_SEEK_START);
}

// The copy goes to a temporary beside the target and is renamed over it when complete, so a failed copy
// leaves neither a partial target nor a damaged old one. CopyFileW follows links and carries the source's
// attributes; without failIfExists a link at the target is kept and the file it names gets the copy.
bool hostCopyFile(const char* from, const char* to, bool failIfExists) {
    const std::wstring source = widePathOf(from);
    std::wstring target = widePathOf(to);
    if (source.empty() || target.empty())
        return false;
    const DWORD sourceAttributes = attributesOf(source);
    if (sourceAttributes == INVALID_FILE_ATTRIBUTES || isDirectoryAttributes(sourceAttributes))
        return false;
    const DWORD targetAttributes = attributesOf(target);
    if (targetAttributes != INVALID_FILE_ATTRIBUTES) {
        if (failIfExists || isDirectoryAttributes(targetAttributes) || sameFile(source, target))
            return false;
        target = win32::resolveLinks(target);
    }
    win32::removeStaleTemporaries(target);
    std::wstring temporary;
    bool copied = false;
    for (int attempt = 0; attempt < 100 && !copied; ++attempt) {
        temporary = win32::temporaryNameBeside(target, attempt);
        copied = CopyFileW(source.c_str(), temporary.c_str(), TRUE) != 0;
        if (!copied && GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    if (!copied) {
        DeleteFileW(temporary.c_str());
        return false;
    }
    // Without MOVEFILE_REPLACE_EXISTING the rename fails when a target appeared meanwhile.
    const DWORD flags = (failIfExists ? 0 : MOVEFILE_REPLACE_EXISTING) | MOVEFILE_WRITE_THROUGH;
    if (!MoveFileExW(temporary.c_str(), target.c_str(), flags)) {
        SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

bool hostMoveFile(const char* from, const char* to) {
    const std::wstring source = widePathOf(from);
    const std::wstring target = widePathOf(to);
    if (source.empty() || target.empty())
        return false;
    // MoveFileW fails when the target exists, and moves files (not folders) across volumes.
    return MoveFileW(source.c_str(), target.c_str()) != 0;
}

bool hostDeleteFile(const char* path) {
    const std::wstring name = widePathOf(path);
    return !name.empty() && DeleteFileW(name.c_str()) != 0;
}

bool hostCreateDirectory(const char* path) {
    const std::wstring name = widePathOf(path);
    return !name.empty() && CreateDirectoryW(name.c_str(), nullptr) != 0;
}

bool hostRemoveDirectory(const char* path) {
    const std::wstring name = widePathOf(path);
    return !name.empty() && RemoveDirectoryW(name.c_str()) != 0;
}

bool hostIsDirectory(const char* path) {
    const std::wstring name = widePathOf(path);
    return !name.empty() && isDirectoryAttributes(attributesOf(name));
}

bool hostListDirectory(const char* path, std::vector<HostDirectoryEntry>& entries) {
    std::wstring folder = path && *path ? widePathOf(path) : std::wstring(L".");
    if (folder.back() != L'\\')
        folder.push_back(L'\\');
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_FILE_NOT_FOUND && hostIsDirectory(path && *path ? path : ".");
    std::vector<HostDirectoryEntry> listed;
    do {
        const std::wstring_view name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        HostDirectoryEntry item;
        item.name = win32::narrow(name);
        item.isDirectory = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        // Symbolic links and junctions: walkers must not descend into them.
        item.isLink =
            (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
            (found.dwReserved0 == IO_REPARSE_TAG_SYMLINK || found.dwReserved0 == IO_REPARSE_TAG_MOUNT_POINT);
        listed.push_back(std::move(item));
    } while (FindNextFileW(search, &found));
    const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
    FindClose(search);
    if (!complete)
        return false;
    std::sort(listed.begin(), listed.end(),
              [](const HostDirectoryEntry& a, const HostDirectoryEntry& b) { return a.name < b.name; });
    entries.insert(entries.end(), listed.begin(), listed.end());
    return true;
}

bool hostFileIdentity(const char* path, HostFileIdentity& identity) {
    try {
        const std::wstring name = widePathOf(path);
        return !name.empty() && identify(name, identity);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool hostSameFile(const char* a, const char* b) {
    HostFileIdentity first, second;
    return hostFileIdentity(a, first) && hostFileIdentity(b, second) && first == second;
}

const uint8_t* hostMapFile(HostFile* file, int64_t& length) {
    length = 0;
    const int64_t size = hostFileSize(file);
    if (size <= 0 || static_cast<uint64_t>(size) > SIZE_MAX)
        return nullptr;
    std::fflush(file->stream);
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file->stream)));
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    HANDLE mapping = CreateFileMappingW(handle, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr)
        return nullptr;
    // The view keeps the mapping alive on its own.
    void* data = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, static_cast<SIZE_T>(size));
    CloseHandle(mapping);
    if (data == nullptr)
        return nullptr;
    length = size;
    return static_cast<const uint8_t*>(data);
}

void hostUnmapFile(const uint8_t* data, int64_t length) {
    if (data && length > 0)
        UnmapViewOfFile(data);
}

}  // namespace platform
