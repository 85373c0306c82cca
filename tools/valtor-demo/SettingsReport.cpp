#include "SettingsReport.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

namespace valtor_demo {

std::optional<std::string> readSettingsFile(FILE* file) {
    if (file == nullptr)
        return std::nullopt;
    char data[kSettingsSize];
    const size_t size = std::fread(data, 1, sizeof data, file);
    std::fclose(file);
    return std::string(data, size);
}
namespace {

constexpr uint32_t kSettingsMagic = 0xDEADBABE;
constexpr size_t kNameOffset = 24;
constexpr size_t kNameSize = 32;

int32_t readInt32(const unsigned char* bytes) {
    uint32_t value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
                     static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return static_cast<int32_t>(value);
}

// Bytes that are not plain printable ASCII are shown as \xHH, so a damaged file cannot garble the output.
std::string printable(const unsigned char* bytes, size_t size) {
    std::string text;
    for (size_t i = 0; i < size && bytes[i] != 0; ++i) {
        if (bytes[i] > 0x20 && bytes[i] < 0x7F) {
            text.push_back(static_cast<char>(bytes[i]));
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02X", bytes[i]);
            text += escape;
        }
    }
    return text;
}

const char* choice(int32_t value, std::initializer_list<const char*> names) {
    if (value < 0 || static_cast<size_t>(value) >= names.size())
        return "unknown";
    return names.begin()[value];
}

// The fields of a file that starts with the magic number, each as "name value (meaning)". Fields past the
// end of a short file are left out, as the launcher keeps its defaults for them.
std::vector<std::string> describeFields(const unsigned char* data, size_t size) {
    std::vector<std::string> parts;
    char text[160];
    auto present = [&](size_t offset, size_t width) { return offset + width <= size; };
    if (present(4, 4)) {
        int32_t mode = readInt32(data + 4);
        std::snprintf(text, sizeof text, "window mode %d (%s)", mode,
                      choice(mode, {"full screen", "window"}));
        parts.push_back(text);
    }
    if (present(8, 8)) {
        std::snprintf(text, sizeof text, "resolution %dx%d", readInt32(data + 8), readInt32(data + 12));
        parts.push_back(text);
    }
    if (present(16, 4)) {
        int32_t quality = readInt32(data + 16);
        std::snprintf(text, sizeof text, "quality %d (%s)", quality,
                      choice(quality, {"normal", "low", "very low"}));
        parts.push_back(text);
    }
    if (present(20, 4)) {
        int32_t audio = readInt32(data + 20);
        std::snprintf(text, sizeof text, "audio %d (%s)", audio,
                      choice(audio, {"no audio", "hardware", "software"}));
        parts.push_back(text);
    }
    if (present(kNameOffset, kNameSize))
        parts.push_back("language " + printable(data + kNameOffset, kNameSize));
    if (present(56, 4)) {
        std::snprintf(text, sizeof text, "code page %d", readInt32(data + 56));
        parts.push_back(text);
    }
    if (size < kSettingsSize) {
        std::snprintf(text, sizeof text, "short file of %zu bytes", size);
        parts.push_back(text);
    }
    return parts;
}

}  // namespace

Report describeSettings(const std::string& startedAs, const std::string& path,
                        const std::optional<std::string>& contents) {
    Report report;
    report.lines.push_back("Started as " + startedAs);
    std::string summary;
    // Never more than the file's 60 bytes are looked at, whatever the host read.
    const size_t size = contents ? std::min(contents->size(), kSettingsSize) : 0;
    const auto* data = contents ? reinterpret_cast<const unsigned char*>(contents->data()) : nullptr;
    if (!contents) {
        summary = "no settings file at " + path;
        report.lines.push_back("No settings file");
    } else if (size < 4 || static_cast<uint32_t>(readInt32(data)) != kSettingsMagic) {
        summary = "not a settings file: " + path;
        report.lines.push_back("The settings file is damaged");
    } else {
        std::vector<std::string> parts = describeFields(data, size);
        for (size_t i = 0; i < parts.size(); ++i) {
            summary += (i == 0 ? "" : ", ") + parts[i];
            std::string line = parts[i];
            line[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(line[0])));
            report.lines.push_back(line);
        }
    }
    report.oneLine = "valtor-demo: started as " + startedAs + "; " + summary;
    return report;
}

double windowSeconds(const char* value) {
    if (value == nullptr || value[0] == '\0')
        return 3.0;
    char* end = nullptr;
    double seconds = std::strtod(value, &end);
    if (end == value || *end != '\0' || !(seconds >= 0.0 && seconds <= 3600.0))
        return 3.0;
    return seconds;
}

}  // namespace valtor_demo
