#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>

// The launcher's two files: the language list languages.txt in the current directory, and the player's
// choices in the 60-byte setup.dat in the per-user folder.
namespace launcher {

// The player's choices, with their values before any file is read.
struct LauncherSettings {
    int32_t windowMode = 0;  // 0 full screen, 1 window (index in the window-mode list)
    int32_t screenWidth = 1024;
    int32_t screenHeight = 768;
    int32_t quality = 0;    // 0 normal, 1 low, 2 very low: chooses the game executable
    int32_t audioMode = 1;  // 0 none, 1 hardware, 2 software (index in the audio list)
    int32_t languageIndex = 0;
    int32_t codePage = 1252;  // the code page of the selected language's texts
};

constexpr int kLanguageSlots = 256;
constexpr int kMaxLanguages = 255;  // slot 255 always stays empty, so the table ends with an empty slot
constexpr int kLanguageNameLength = 32;

// The languages of languages.txt in file order: names (at most 32 bytes, cut when longer) and code pages.
// Filled slots are contiguous from slot 0; an empty slot has no name buffer.
struct LanguageList {
    // Each filled slot owns a zero-filled buffer of 33 bytes, so a name is always terminated.
    std::unique_ptr<char[]> names[kLanguageSlots];
    int32_t codePages[kLanguageSlots] = {};
    bool multipleLanguages = false;

    // Filled slots, counted from slot 0 to the first empty one.
    int count() const;
    // The name in a filled slot, or null for any other index.
    const char* name(int index) const;
    void clear();
};

// Reads languages.txt (or another list) in text mode: pairs of a whitespace-delimited name and a decimal
// code page, up to 255 of them. A name longer than 32 bytes is cut to its first 32; an entry without a
// code page that is a whole number ends the list there. A UTF-8 byte-order mark at the start is skipped.
// False when the file cannot be opened (the list is then empty).
bool readLanguageList(const char* path, LanguageList& list);

// The per-user folder: the local application data folder with "Quillfen", "Valtor" and "1.0" appended,
// each created when missing. Ends with a separator; empty when the user has no data folder.
std::string buildUserDataFolder();

// setup.dat in the per-user folder, or in the current directory when the folder is empty.
std::string settingsFilePath(const std::string& userDataFolder);

constexpr uint32_t kSettingsMagic = 0xDEADBABE;
constexpr size_t kSettingsFileSize = 60;
constexpr size_t kSettingsNameOffset = 24;
using SettingsBytes = std::array<uint8_t, kSettingsFileSize>;

// Reads setup.dat into settings: a missing file or a wrong magic keeps every value; a short file gives
// the fields it holds whole. The stored language name selects the last slot of that exact name. Whatever
// happened, codePage becomes the selected language's code page from the list.
void readSettings(const std::string& path, const LanguageList& languages, LauncherSettings& settings);

// The 60 bytes of setup.dat for the settings: magic, window mode, width, height, quality, audio mode,
// the selected language's name NUL-padded to 32 bytes (no terminator for a 32-byte name), code page; all
// little-endian.
SettingsBytes encodeSettings(const LauncherSettings& settings, const LanguageList& languages);

// Writes setup.dat. The bytes go into a new file beside it that then replaces the old one, so a crash or
// a full disk never leaves a damaged or empty file where a good one was. False when nothing was written.
bool writeSettings(const std::string& path, const LauncherSettings& settings, const LanguageList& languages);

}  // namespace launcher
