#include "platform/UserFolder.h"

#include <windows.h>

#include <shlobj.h>
#include <shlwapi.h>

#include "platform/win32/WideText.h"

namespace platform {
namespace {

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

// Joined by hand when PathAppendW cannot: a result longer than its MAX_PATH buffer.
void joinPaths(std::string& path, std::string_view more) {
    size_t start = 0;
    while (start < more.size() && isSeparator(more[start]))
        ++start;
    if (!path.empty() && !isSeparator(path.back()))
        path.push_back('\\');
    path.append(more.substr(start));
}

bool attributesOfDirectory(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

std::string localAppDataFolder() {
    wchar_t folder[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, folder)))
        return {};
    return win32::narrow(folder);
}

void pathAppend(std::string& path, std::string_view more) {
    std::wstring widePathText = win32::widen(path);
    std::wstring wideMore = win32::widen(more);
    wchar_t buffer[MAX_PATH];
    if (widePathText.size() < MAX_PATH && wideMore.size() < MAX_PATH) {
        lstrcpynW(buffer, widePathText.c_str(), MAX_PATH);
        if (PathAppendW(buffer, wideMore.c_str())) {
            path = win32::narrow(buffer);
            return;
        }
    }
    joinPaths(path, more);
}

bool directoryExists(std::string_view path) {
    return attributesOfDirectory(win32::widePath(path));
}

bool createDirectory(std::string_view path) {
    std::wstring target = win32::widePath(path);
    while (target.size() > 1 && target.back() == L'\\')
        target.pop_back();
    if (target.empty())
        return false;
    // The folders above it first, one level at a time; a drive ("C:") or a share's root is not made.
    for (size_t slash = target.find(L'\\', 1); slash != std::wstring::npos;
         slash = target.find(L'\\', slash + 1)) {
        std::wstring parent = target.substr(0, slash);
        if (parent.back() == L':' || parent.back() == L'\\' || attributesOfDirectory(parent))
            continue;
        if (!CreateDirectoryW(parent.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    }
    return CreateDirectoryW(target.c_str(), nullptr) != 0;
}

}  // namespace platform
