#pragma once
// The names gfxtool gives the pixel formats on its command line and in its output: the framework's own
// constant names (ARGB_8888, RGB_565, ...). Codes without a pixel layout have no name.

#include <cstdint>
#include <string>

namespace gfxtool {

// The name of a code ("ARGB_8888"), or null for a code without a name.
const char* pixelFormatName(int32_t format);

// A format by code ("2") or by name, without regard to case, '_' or spaces ("argb_8888", "ARGB 8888",
// "argb8888"); the digits alone ("8888", "565", "4444") name the three formats of the packed storages.
// 0 when the text names no format.
int32_t parsePixelFormat(const std::string& text);

// "2 (ARGB_8888)"; "20 (no pixel layout)" for a code without a name; "99 (not a pixel format)".
std::string describePixelFormat(int32_t format);

}  // namespace gfxtool
