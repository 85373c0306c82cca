#pragma once
// What the stand-in game says about the settings it was started with, the same on every host: the lines of
// its window and the one line it prints and logs (tests and scripts read that line, so its wording is fixed).
#include <cstddef>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

namespace valtor_demo {

// The settings file: 60 bytes, little-endian 32-bit values, a NUL-padded language name at 24.
constexpr size_t kSettingsSize = 60;

// The window's heading and the sentence under it.
constexpr const char kWindowTitle[] = "Valtor";
constexpr const char kWindowSubtitle[] = "A stand-in for the game: these are the settings it was given.";

struct Report {
    std::vector<std::string> lines;  // for the window: "Started as ...", then one line per setting
    std::string oneLine;             // "valtor-demo: started as NAME; ..." without a line end
};

// The first kSettingsSize bytes of an opened settings file (fewer when it is shorter), which is then
// closed; nothing for a null file (it could not be opened).
std::optional<std::string> readSettingsFile(FILE* file);

// Describes the settings file at `path` (only named in the text) from its first kSettingsSize bytes, fewer
// when the file is shorter; no contents means the file could not be opened.
Report describeSettings(const std::string& startedAs, const std::string& path,
                        const std::optional<std::string>& contents);

// Seconds to keep the window open, from the value of VALTOR_DEMO_SECONDS (null when it is not set):
// a number from 0 to 3600, else 3.
double windowSeconds(const char* value);

}  // namespace valtor_demo
