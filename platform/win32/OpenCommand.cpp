#include "platform/win32/OpenCommand.h"

#include <windows.h>

#include <vector>

#include "platform/win32/WideText.h"

namespace platform::win32 {
namespace {

// Longer values are not commands anyone registered.
constexpr DWORD kMaxValueBytes = 32768;

std::wstring expanded(const std::wstring& value) {
    const DWORD needed = ExpandEnvironmentStringsW(value.c_str(), nullptr, 0);
    if (needed == 0 || needed > kMaxValueBytes)
        return value;
    std::wstring result(needed, L'\0');
    const DWORD written = ExpandEnvironmentStringsW(value.c_str(), result.data(), needed);
    if (written == 0 || written > needed)
        return value;
    result.resize(written - 1);
    return result;
}

}  // namespace

bool readHtmlOpenCommand(std::string& command) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"htmlfile\\shell\\open\\command", 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD bytes = 0;
    bool read = RegQueryValueExW(key, nullptr, nullptr, &type, nullptr, &bytes) == ERROR_SUCCESS &&
                (type == REG_SZ || type == REG_EXPAND_SZ) && bytes > 0 && bytes <= kMaxValueBytes;
    std::vector<wchar_t> buffer;
    if (read) {
        // One more unit than asked for: a stored value need not end with a terminator.
        buffer.assign(bytes / sizeof(wchar_t) + 1, L'\0');
        read = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                                &bytes) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    if (!read)
        return false;
    std::wstring value(buffer.data());
    if (type == REG_EXPAND_SZ)
        value = expanded(value);
    if (value.empty())
        return false;
    command = narrow(value);
    return true;
}

std::string placeAddress(std::string_view command, std::string_view address) {
    std::string line;
    bool placed = false;
    for (size_t i = 0; i < command.size(); ++i) {
        if (command[i] == '%' && i + 1 < command.size() && command[i + 1] == '1') {
            line.append(address);
            placed = true;
            ++i;
        } else {
            line.push_back(command[i]);
        }
    }
    if (!placed) {
        line.push_back(' ');
        line.append(address);
    }
    return line;
}

}  // namespace platform::win32
