#pragma once
#include <windows.h>

#include <string>

// Temporary files beside a target, for writing a file whole and renaming it over the target.
namespace platform::win32 {

// Creates a new, empty file of a name of its own beside target ("<target>.new-<process>-<n>", the same
// folder, so that the rename cannot cross volumes) and returns its handle, open for writing; its name goes
// to `name`. Temporaries that earlier processes left behind (a crash between create and rename) are
// removed first. INVALID_HANDLE_VALUE when no file could be made.
HANDLE createTemporaryBeside(const std::wstring& target, std::wstring& name);

// A free temporary name beside target, with no file made (for calls that create the file themselves and
// fail when it exists). Stale temporaries are removed as above.
std::wstring temporaryNameBeside(const std::wstring& target, int attempt);

// Removes "<target>.new-<process>-<n>" files whose process is no longer running.
void removeStaleTemporaries(const std::wstring& target);

// The path of the file that target finally names, following symbolic links; the target itself when it
// is not a link or cannot be resolved.
std::wstring resolveLinks(const std::wstring& target);

}  // namespace platform::win32
