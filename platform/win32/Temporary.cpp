#include "platform/win32/Temporary.h"

#include <cwchar>

namespace platform::win32 {
namespace {

constexpr int kAttempts = 100;

std::wstring folderOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// The process id in a temporary's name after the "<target>.new-" prefix; 0 when the rest is not
// "<digits>-<digits>".
DWORD processOfTemporary(const wchar_t* rest) {
    wchar_t* end = nullptr;
    const unsigned long process = std::wcstoul(rest, &end, 10);
    if (end == rest || *end != L'-' || end[1] == L'\0')
        return 0;
    for (const wchar_t* c = end + 1; *c; ++c) {
        if (*c < L'0' || *c > L'9')
            return 0;
    }
    return static_cast<DWORD>(process);
}

bool processRunning(DWORD process) {
    if (process == GetCurrentProcessId())
        return true;
    HANDLE handle = OpenProcess(SYNCHRONIZE, FALSE, process);
    if (handle == nullptr)
        return GetLastError() == ERROR_ACCESS_DENIED;  // someone else's, so alive
    const bool running = WaitForSingleObject(handle, 0) == WAIT_TIMEOUT;
    CloseHandle(handle);
    return running;
}

}  // namespace

std::wstring temporaryNameBeside(const std::wstring& target, int attempt) {
    return target + L".new-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(attempt);
}

void removeStaleTemporaries(const std::wstring& target) {
    const std::wstring prefix = target + L".new-";
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((prefix + L"*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    const std::wstring folder = folderOf(target);
    const size_t nameStart = prefix.size() - folder.size();
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ||
            std::wcslen(found.cFileName) <= nameStart)
            continue;
        const DWORD process = processOfTemporary(found.cFileName + nameStart);
        if (process != 0 && !processRunning(process))
            DeleteFileW((folder + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

HANDLE createTemporaryBeside(const std::wstring& target, std::wstring& name) {
    removeStaleTemporaries(target);
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        name = temporaryNameBeside(target, attempt);
        HANDLE file =
            CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            return file;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
    name.clear();
    return INVALID_HANDLE_VALUE;
}

std::wstring resolveLinks(const std::wstring& target) {
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return target;
    // Opening without FILE_FLAG_OPEN_REPARSE_POINT follows the links to the file they name.
    HANDLE file = CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return target;
    std::wstring resolved(MAX_PATH, L'\0');
    DWORD length = GetFinalPathNameByHandleW(file, resolved.data(), static_cast<DWORD>(resolved.size()), 0);
    if (length >= resolved.size()) {
        resolved.resize(length + 1);
        length = GetFinalPathNameByHandleW(file, resolved.data(), static_cast<DWORD>(resolved.size()), 0);
    }
    CloseHandle(file);
    if (length == 0 || length >= resolved.size())
        return target;
    resolved.resize(length);
    return resolved;
}

}  // namespace platform::win32
