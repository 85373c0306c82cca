#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Text conversion between Windows code pages, UTF-16 and UTF-8.
//
// Language files and fixed texts are 8-bit text in a Windows code page (1252 western, 1250 central
// European, 1251 Cyrillic, 932 Japanese, 65001 UTF-8 ...); the dialogs show UTF-16 or UTF-8. The
// conversions never fail on bad bytes: like the Windows conversion without strict flags they replace what
// cannot be decoded (U+FFFD), so a broken language file still shows something. They fail (false) only for
// a code page this host does not know.
namespace platform {

// Well-known code page ids.
constexpr uint32_t kCodePageAnsi = 0;      // the host's 8-bit code page; UTF-8 on this host
constexpr uint32_t kCodePageUtf8 = 65001;  // UTF-8
constexpr uint32_t kCodePageWestern = 1252;

// The iconv name for a Windows code page id ("CP1252", "UTF-8", "ISO-8859-2" ...), or empty when the id
// is not one that this host can convert.
std::string codePageName(uint32_t codePage);

// True for code pages of one byte per character, where Windows maps every byte to some character.
bool isSingleByteCodePage(uint32_t codePage);

// 8-bit text in codePage -> UTF-16. Bytes that the code page leaves undefined but Windows maps anyway
// (0x81, 0x8D, 0x8F, 0x90, 0x9D in 1252, and the like in the other single-byte pages) become the code
// point of the same value, as on Windows. Other undecodable input becomes U+FFFD. Embedded NUL bytes are
// converted like any other character. False (and out empty) only for an unknown code page.
bool multiByteToUtf16(uint32_t codePage, std::string_view text, std::u16string& out);

// 8-bit text in codePage -> UTF-8, with the same rules.
bool multiByteToUtf8(uint32_t codePage, std::string_view text, std::string& out);

// UTF-16 -> UTF-8. An unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

// UTF-8 -> UTF-16. Invalid sequences (stray continuation bytes, overlong forms, encoded surrogates, a
// truncated sequence at the end) become U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);

// Length of a NUL-terminated UTF-16 text (0 for null).
size_t utf16Length(const char16_t* text);

}  // namespace platform
