#include "platform/FileReplace.h"

#include <windows.h>

#include <io.h>

#include <fcntl.h>

#include <new>
#include <string>

#include "platform/win32/Temporary.h"
#include "platform/win32/WideText.h"

// The new file is kept as a C runtime descriptor over its Windows handle, so that the class has the same
// members on both hosts; the writes go straight to the handle.
namespace platform {
namespace {

// The attributes of the old file that the new content keeps.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

HANDLE handleOf(int descriptor) {
    return reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
}

bool writeAll(HANDLE file, const void* data, size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, bytes, chunk, &written, nullptr) || written == 0)
            return false;
        bytes += written;
        size -= written;
    }
    return true;
}

bool moveTo(HANDLE file, int64_t offset, DWORD origin) {
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    return SetFilePointerEx(file, distance, nullptr, origin) != 0;
}

void removeTemporary(const std::wstring& name) {
    SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(name.c_str());
}

}  // namespace

ReplacementFile::~ReplacementFile() {
    abandon();
}

// Windows has no permission bits: with KEEP_MODE the new file takes the old one's kept attributes, with a
// mode it gets plain ones.
bool ReplacementFile::begin(const char* path, int mode) {
    try {
        abandon();
        failed = false;
        std::wstring wideTarget = path ? win32::widePath(path) : std::wstring();
        if (wideTarget.empty() || wideTarget.back() == L'\\')
            return false;
        const DWORD oldAttributes = GetFileAttributesW(wideTarget.c_str());
        if (oldAttributes != INVALID_FILE_ATTRIBUTES) {
            // A read-only file is not replaced (Windows refuses the rename; Wine would not, so it is
            // checked).
            if ((oldAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0)
                return false;
            // A link stays a link: the file it names gets the new content.
            wideTarget = win32::resolveLinks(wideTarget);
        }
        std::wstring wideTemporary;
        HANDLE file = win32::createTemporaryBeside(wideTarget, wideTemporary);
        if (file == INVALID_HANDLE_VALUE)
            return false;
        descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
        if (descriptor < 0) {
            CloseHandle(file);
            removeTemporary(wideTemporary);
            return false;
        }
        target = win32::narrow(wideTarget);
        temporary = win32::narrow(wideTemporary);
        if (mode < 0 && oldAttributes != INVALID_FILE_ATTRIBUTES && (oldAttributes & kKeptAttributes) != 0)
            SetFileAttributesW(wideTemporary.c_str(), oldAttributes & kKeptAttributes);
        return true;
    } catch (const std::bad_alloc&) {
        abandon();
        return false;
    }
}

bool ReplacementFile::write(const void* data, size_t size) {
    if (descriptor < 0 || (data == nullptr && size > 0) || !writeAll(handleOf(descriptor), data, size))
        failed = true;
    return !failed;
}

bool ReplacementFile::writeAt(int64_t offset, const void* data, size_t size) {
    if (descriptor < 0 || offset < 0 || (data == nullptr && size > 0)) {
        failed = true;
        return false;
    }
    HANDLE file = handleOf(descriptor);
    // Appends go on at the end, wherever this write was made.
    if (!failed &&
        (!moveTo(file, offset, FILE_BEGIN) || !writeAll(file, data, size) || !moveTo(file, 0, FILE_END)))
        failed = true;
    return !failed;
}

bool ReplacementFile::commit() {
    try {
        if (descriptor < 0)
            return false;
        bool written = !failed && FlushFileBuffers(handleOf(descriptor));
        written = _close(descriptor) == 0 && written;
        descriptor = -1;
        const std::wstring wideTemporary = win32::widen(temporary);
        if (!written || !MoveFileExW(wideTemporary.c_str(), win32::widen(target).c_str(),
                                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            removeTemporary(wideTemporary);
            temporary.clear();
            return false;
        }
        temporary.clear();
        return true;
    } catch (const std::bad_alloc&) {
        abandon();
        return false;
    }
}

void ReplacementFile::abandon() {
    if (descriptor >= 0) {
        _close(descriptor);
        descriptor = -1;
    }
    if (!temporary.empty()) {
        try {
            removeTemporary(win32::widen(temporary));
        } catch (const std::bad_alloc&) {
            // Left for the next replacement of the target, which removes stale temporaries.
        }
        temporary.clear();
    }
}

bool replaceFileContents(const char* path, const void* data, size_t size) {
    if (path == nullptr || (data == nullptr && size > 0))
        return false;
    ReplacementFile file;
    return file.begin(path) && file.write(data, size) && file.commit();
}

}  // namespace platform
