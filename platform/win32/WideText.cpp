#include "platform/win32/WideText.h"

#include <windows.h>

#include <climits>

namespace platform::win32 {

std::wstring widen(std::string_view utf8) {
    std::wstring wide;
    if (utf8.empty() || utf8.size() > INT_MAX)
        return wide;
    const int length = static_cast<int>(utf8.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    if (needed <= 0)
        return wide;
    wide.resize(static_cast<size_t>(needed));
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), needed);
    return wide;
}

std::string narrow(std::wstring_view wide) {
    std::string utf8;
    if (wide.empty() || wide.size() > INT_MAX / 3)
        return utf8;
    const int length = static_cast<int>(wide.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return utf8;
    utf8.resize(static_cast<size_t>(needed));
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, utf8.data(), needed, nullptr, nullptr);
    return utf8;
}

std::wstring widePath(std::string_view utf8) {
    std::wstring wide = widen(utf8);
    for (wchar_t& c : wide) {
        if (c == L'/')
            c = L'\\';
    }
    return wide;
}

}  // namespace platform::win32
