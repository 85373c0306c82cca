#pragma once
// std::filesystem paths from and to the UTF-8 the tools take and print. A path made from a plain string is
// read in the 8-bit code page on Windows, which cannot hold every file name; from UTF-8 it holds them all.
#include <filesystem>
#include <string>

namespace toolsupport {

inline std::filesystem::path utf8Path(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// With '/' separators, as member names and messages show paths.
inline std::string utf8Name(const std::filesystem::path& path) {
    const std::u8string text = path.generic_u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace toolsupport
