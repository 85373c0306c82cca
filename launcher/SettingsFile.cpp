#include "launcher/SettingsFile.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/FileReplace.h"
#include "platform/UserFolder.h"

namespace launcher {
namespace {

// The white space of the C locale's scanf: the separators of languages.txt.
bool isBlank(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int skipBlanks(FILE* file) {
    int c = std::getc(file);
    while (c != EOF && isBlank(c)) {
        c = std::getc(file);
    }
    return c;
}

// Reads the next whitespace-delimited word, keeping at most `limit` bytes of it in `out` (zero-filled by
// the caller) and dropping the rest. Returns its full length (0 at the end of the file).
size_t readWord(FILE* file, char* out, size_t limit) {
    size_t length = 0;
    for (int c = skipBlanks(file); c != EOF && !isBlank(c); c = std::getc(file)) {
        if (length < limit) {
            out[length] = static_cast<char>(c);
        }
        ++length;
    }
    return length;
}

// A code page: a whole word of decimal digits with an optional sign that fits 32 bits.
bool parseCodePage(const char* word, size_t length, int32_t& value) {
    size_t i = 0;
    bool negative = false;
    if (length > 0 && (word[0] == '+' || word[0] == '-')) {
        negative = word[0] == '-';
        i = 1;
    }
    if (i == length) {
        return false;
    }
    int64_t magnitude = 0;
    for (; i < length; ++i) {
        if (word[i] < '0' || word[i] > '9') {
            return false;
        }
        magnitude = magnitude * 10 + (word[i] - '0');
        if (magnitude > 2147483648LL) {
            return false;
        }
    }
    int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT32_MAX) {
        return false;
    }
    value = static_cast<int32_t>(signedValue);
    return true;
}

void putInt32(uint8_t* out, int32_t value) {
    uint32_t bits = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        out[i] = static_cast<uint8_t>(bits >> (8 * i));
    }
}

int32_t getInt32(const uint8_t* in) {
    uint32_t bits = static_cast<uint32_t>(in[0]) | static_cast<uint32_t>(in[1]) << 8 |
                    static_cast<uint32_t>(in[2]) << 16 | static_cast<uint32_t>(in[3]) << 24;
    return static_cast<int32_t>(bits);
}

// Reads one 4-byte field; a field cut off by the end of the file is not taken.
void readField(FILE* file, int32_t& field) {
    uint8_t bytes[4];
    if (std::fread(bytes, 1, sizeof bytes, file) == sizeof bytes) {
        field = getInt32(bytes);
    }
}

}  // namespace

int LanguageList::count() const {
    int n = 0;
    while (n < kLanguageSlots && names[n]) {
        ++n;
    }
    return n;
}

const char* LanguageList::name(int index) const {
    if (index < 0 || index >= kLanguageSlots) {
        return nullptr;
    }
    return names[index].get();
}

void LanguageList::clear() {
    for (int i = 0; i < kLanguageSlots; ++i) {
        names[i].reset();
        codePages[i] = 0;
    }
    multipleLanguages = false;
}

bool readLanguageList(const char* path, LanguageList& list) {
    FILE* file = std::fopen(path, "r");
    if (file == nullptr) {
        return false;
    }
    // A byte-order mark left by an editor is not part of the first name.
    const unsigned char mark[3] = {0xEF, 0xBB, 0xBF};
    unsigned char head[3] = {};
    size_t headLength = std::fread(head, 1, sizeof head, file);
    if (headLength != sizeof head || std::memcmp(head, mark, sizeof mark) != 0) {
        std::rewind(file);
    }
    for (int slot = 0; slot < kMaxLanguages; ++slot) {
        std::unique_ptr<char[]> name(new (std::nothrow) char[kLanguageNameLength + 1]());
        if (!name) {
            break;
        }
        if (readWord(file, name.get(), kLanguageNameLength) == 0 || name[0] == '\0') {
            break;  // the end of the file
        }
        char number[16] = {};
        size_t numberLength = readWord(file, number, sizeof number - 1);
        int32_t codePage = 0;
        if (numberLength >= sizeof number || !parseCodePage(number, numberLength, codePage)) {
            break;  // an entry without a code page ends the list
        }
        list.names[slot] = std::move(name);
        list.codePages[slot] = codePage;
        if (slot >= 1) {
            list.multipleLanguages = true;
        }
    }
    std::fclose(file);
    return true;
}

std::string buildUserDataFolder() {
    std::string folder = platform::localAppDataFolder();
    if (folder.empty()) {
        return folder;
    }
    for (const char* part : {"\\Quillfen\\", "\\Valtor\\", "\\1.0\\"}) {
        platform::pathAppend(folder, part);
        platform::createDirectory(folder);  // an existing folder is no error
    }
    return folder;
}

std::string settingsFilePath(const std::string& userDataFolder) {
    return userDataFolder + "setup.dat";
}

void readSettings(const std::string& path, const LanguageList& languages, LauncherSettings& settings) {
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        uint8_t magic[4] = {};
        std::fread(magic, 1, sizeof magic, file);
        if (static_cast<uint32_t>(getInt32(magic)) == kSettingsMagic) {
            readField(file, settings.windowMode);
            readField(file, settings.screenWidth);
            readField(file, settings.screenHeight);
            readField(file, settings.quality);
            readField(file, settings.audioMode);
            char name[kLanguageNameLength + 1] = {};
            std::fread(name, 1, kLanguageNameLength, file);
            for (int slot = 0; slot < kLanguageSlots; ++slot) {
                const char* candidate = languages.name(slot);
                if (candidate != nullptr && std::strcmp(candidate, name) == 0) {
                    settings.languageIndex = slot;  // with duplicate names the last one wins
                }
            }
            int32_t storedCodePage = 0;
            readField(file, storedCodePage);  // read, but the list's code page is the one that counts
        }
        std::fclose(file);
    }
    if (languages.name(settings.languageIndex) != nullptr) {
        settings.codePage = languages.codePages[settings.languageIndex];
    }
}

SettingsBytes encodeSettings(const LauncherSettings& settings, const LanguageList& languages) {
    SettingsBytes bytes{};
    putInt32(&bytes[0], static_cast<int32_t>(kSettingsMagic));
    putInt32(&bytes[4], settings.windowMode);
    putInt32(&bytes[8], settings.screenWidth);
    putInt32(&bytes[12], settings.screenHeight);
    putInt32(&bytes[16], settings.quality);
    putInt32(&bytes[20], settings.audioMode);
    if (const char* name = languages.name(settings.languageIndex)) {
        std::memcpy(&bytes[kSettingsNameOffset], name, strnlen(name, kLanguageNameLength));
    }
    putInt32(&bytes[56], settings.codePage);
    return bytes;
}

bool writeSettings(const std::string& path, const LauncherSettings& settings, const LanguageList& languages) {
    SettingsBytes bytes = encodeSettings(settings, languages);
    return platform::replaceFileContents(path.c_str(), bytes.data(), bytes.size());
}

}  // namespace launcher
