#pragma once
#include <cstddef>

// Writing a small file whole, safely.
namespace platform {

// Makes `data` the whole content of the file at path (UTF-8; '\' is a separator as '/' is). The bytes go
// into a new file in the same folder, which is written out to the disk and then renamed over the old one,
// so at every moment the path holds either the old content or the complete new one: a crash, a full disk or
// a failed write never leaves a damaged or empty file where a good one was. A new file gets the permissions
// a plain create would give it. False when any step failed; the old file is then untouched and no new file
// is left behind.
bool replaceFileContents(const char* path, const void* data, size_t size);

}  // namespace platform
