#include "platform/CodePage.h"

#include <windows.h>

#include <climits>

namespace platform {
namespace {

// The code page ids that name the system's own pages rather than a fixed one.
bool isSystemAlias(uint32_t codePage) {
    return codePage == CP_ACP || codePage == CP_OEMCP || codePage == CP_MACCP || codePage == CP_THREAD_ACP;
}

bool convertible(uint32_t codePage) {
    return isSystemAlias(codePage) || IsValidCodePage(codePage);
}

}  // namespace

std::string codePageName(uint32_t codePage) {
    if (!convertible(codePage))
        return {};
    if (codePage == kCodePageUtf8)
        return "UTF-8";
    // The aliases are named by the page they stand for on this system.
    if (codePage == CP_ACP || codePage == CP_THREAD_ACP)
        codePage = GetACP();
    else if (codePage == CP_OEMCP)
        codePage = GetOEMCP();
    return codePage == kCodePageUtf8 ? "UTF-8" : "CP" + std::to_string(codePage);
}

bool isSingleByteCodePage(uint32_t codePage) {
    CPINFO info;
    return convertible(codePage) && GetCPInfo(codePage, &info) && info.MaxCharSize == 1;
}

// Without flags MultiByteToWideChar never fails on bad bytes: single-byte pages map every byte to some
// character, the others put U+FFFD where a sequence cannot be decoded.
bool multiByteToUtf16(uint32_t codePage, std::string_view text, std::u16string& out) {
    out.clear();
    if (!convertible(codePage) || text.size() > INT_MAX)
        return false;
    if (text.empty())
        return true;
    const int length = static_cast<int>(text.size());
    const int needed = MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (needed <= 0)
        return false;
    out.resize(static_cast<size_t>(needed));
    MultiByteToWideChar(codePage, 0, text.data(), length, reinterpret_cast<wchar_t*>(out.data()), needed);
    return true;
}

std::string utf16ToUtf8(std::u16string_view text) {
    std::string out;
    if (text.empty() || text.size() > INT_MAX / 3)
        return out;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return out;
    out.resize(static_cast<size_t>(needed));
    WideCharToMultiByte(CP_UTF8, 0, wide, length, out.data(), needed, nullptr, nullptr);
    return out;
}

}  // namespace platform
