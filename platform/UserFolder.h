#pragma once
#include <string>
#include <string_view>

// The per-user data folder and the path helpers the launcher builds its settings folder with.
// Paths are UTF-8; '\\' counts as a separator as well as '/', because the programs write their paths the
// Windows way ("\\Quillfen\\").
namespace platform {

// The user's local application data folder: $XDG_DATA_HOME when it is set to an absolute path, else
// $HOME/.local/share (the home from the password database when HOME is unset). No trailing separator.
// Empty when there is no home at all.
std::string localAppDataFolder();

// Appends `more` to `path` with exactly one '/' between them; separators at the start of `more` do not
// make it absolute, and a separator at its end stays. '\\' in `more` becomes '/'.
// pathAppend("/home/a/.local/share", "\\Quillfen\\") gives "/home/a/.local/share/Quillfen/".
void pathAppend(std::string& path, std::string_view more);

// Creates the directory (mode 0755), and any missing folders above it. True when this call created the
// final directory; false when it already existed or could not be made (like the Windows call, a
// directory that exists counts as a failure, which callers ignore).
bool createDirectory(std::string_view path);

// Whether the path names an existing directory.
bool directoryExists(std::string_view path);

// '\\' replaced by '/'.
std::string hostPath(std::string_view path);

}  // namespace platform
