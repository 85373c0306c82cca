// The stand-in game's report, shared by its Linux and Windows hosts: the window's lines beside the one line,
// and the window time taken from the environment.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SettingsReport.h"

namespace {

using valtor_demo::describeSettings;
using valtor_demo::windowSeconds;

std::string int32Bytes(uint32_t value) {
    std::string bytes;
    for (int i = 0; i < 4; ++i)
        bytes.push_back(static_cast<char>(value >> (8 * i)));
    return bytes;
}

std::string settingsFile(const std::string& language) {
    std::string bytes = int32Bytes(0xDEADBABE) + int32Bytes(0) + int32Bytes(800) + int32Bytes(600) +
                        int32Bytes(1) + int32Bytes(1) + language;
    bytes.resize(56, '\0');
    return bytes + int32Bytes(1252);
}

TEST(SettingsReport, WindowLinesMatchTheOneLine) {
    const valtor_demo::Report report =
        describeSettings("valtor_low.exe", "C:\\x\\setup.dat", settingsFile("deutsch"));
    EXPECT_EQ(report.oneLine,
              "valtor-demo: started as valtor_low.exe; window mode 0 (full screen), resolution 800x600, "
              "quality 1 (low), audio 1 (hardware), language deutsch, code page 1252");
    const std::vector<std::string> lines = {"Started as valtor_low.exe",
                                            "Window mode 0 (full screen)",
                                            "Resolution 800x600",
                                            "Quality 1 (low)",
                                            "Audio 1 (hardware)",
                                            "Language deutsch",
                                            "Code page 1252"};
    EXPECT_EQ(report.lines, lines);
}

TEST(SettingsReport, MissingEmptyAndForeignFilesAreNamedByTheirPath) {
    const valtor_demo::Report missing =
        describeSettings("valtor.exe", "C:\\Users\\é\\setup.dat", std::nullopt);
    EXPECT_EQ(missing.oneLine,
              "valtor-demo: started as valtor.exe; no settings file at C:\\Users\\é\\setup.dat");
    EXPECT_EQ(missing.lines, (std::vector<std::string>{"Started as valtor.exe", "No settings file"}));

    for (const std::string& contents : {std::string(), std::string("\xBE\xBA\xAD"), std::string(60, '\0')}) {
        const valtor_demo::Report damaged = describeSettings("valtor.exe", "setup.dat", contents);
        EXPECT_EQ(damaged.oneLine, "valtor-demo: started as valtor.exe; not a settings file: setup.dat");
        EXPECT_EQ(damaged.lines.back(), "The settings file is damaged");
    }
    // The magic number alone: every field is missing.
    EXPECT_EQ(describeSettings("valtor.exe", "setup.dat", int32Bytes(0xDEADBABE)).oneLine,
              "valtor-demo: started as valtor.exe; short file of 4 bytes");
}

TEST(SettingsReport, WindowTimeIsANumberOfSecondsUpToAnHourElseThree) {
    EXPECT_EQ(windowSeconds(nullptr), 3.0);
    EXPECT_EQ(windowSeconds(""), 3.0);
    EXPECT_EQ(windowSeconds("0"), 0.0);
    EXPECT_EQ(windowSeconds("2.5"), 2.5);
    EXPECT_EQ(windowSeconds("3600"), 3600.0);
    for (const char* odd : {"3601", "-1", "1s", " ", "nan", "inf", "1e9"})
        EXPECT_EQ(windowSeconds(odd), 3.0) << odd;
}

}  // namespace
