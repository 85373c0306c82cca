#include "platform/FileReplace.h"

#include <windows.h>

#include <string>

#include "platform/win32/Temporary.h"
#include "platform/win32/WideText.h"

namespace platform {
namespace {

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

// The attributes of the old file that the new content keeps.
constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

}  // namespace

bool replaceFileContents(const char* path, const void* data, size_t size) {
    if (path == nullptr || (data == nullptr && size > 0))
        return false;
    std::wstring target = win32::widePath(path);
    if (target.empty() || target.back() == L'\\')
        return false;
    const DWORD oldAttributes = GetFileAttributesW(target.c_str());
    if (oldAttributes != INVALID_FILE_ATTRIBUTES) {
        // A read-only file is not replaced (Windows refuses the rename; Wine would not, so it is checked).
        if ((oldAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) != 0)
            return false;
        // A link stays a link: the file it names gets the new content.
        target = win32::resolveLinks(target);
    }
    std::wstring temporary;
    HANDLE file = win32::createTemporaryBeside(target, temporary);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool written = writeAll(file, data, size) && FlushFileBuffers(file);
    written = CloseHandle(file) && written;
    if (written && oldAttributes != INVALID_FILE_ATTRIBUTES && (oldAttributes & kKeptAttributes) != 0)
        SetFileAttributesW(temporary.c_str(), oldAttributes & kKeptAttributes);
    if (!written ||
        !MoveFileExW(temporary.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace platform
