#pragma once
#include <string>
#include <string_view>

// UTF-8 <-> UTF-16 for the Windows calls: the layer takes UTF-8 paths and texts, the ...W functions take
// UTF-16. Conversions are made at the call, whole, whatever the length.
namespace platform::win32 {

// UTF-8 -> UTF-16 (invalid sequences become U+FFFD).
std::wstring widen(std::string_view utf8);
// UTF-16 -> UTF-8 (an unpaired surrogate becomes U+FFFD).
std::string narrow(std::wstring_view wide);

// The UTF-16 form of a UTF-8 path with every '/' turned into '\'.
std::wstring widePath(std::string_view utf8);

}  // namespace platform::win32
