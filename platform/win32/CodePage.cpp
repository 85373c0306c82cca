#include "platform/CodePage.h"

#include <windows.h>

#include <climits>

#include "platform/win32/WideText.h"

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

// The UTF-16 of this host is its wchar_t text.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wchar_t holds UTF-16 units");
std::string utf16ToUtf8(std::u16string_view text) {
    return win32::narrow(std::wstring_view(reinterpret_cast<const wchar_t*>(text.data()), text.size()));
}

}  // namespace platform
