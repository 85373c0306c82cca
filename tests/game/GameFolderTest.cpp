// The sample game folder as the build lays it out, read the way the two programs read it: archives mounted
// in the file manager, paths looked up in every mount.
#include <gtest/gtest.h>
#include <iconv.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "mt/core/String.h"
#include "mt/file/FileManager.h"
#include "mt/file/FileManagerImpl.h"

namespace {

const std::string kGame = MT_BINARY_DIR "/game";
const std::string kAssets = MT_SOURCE_DIR "/assets";

const char* const kLauncherKeys[] = {
    "LAUNCHER_NO_AUDIO",       "LAUNCHER_HW_AUDIO",    "LAUNCHER_SW_AUDIO",
    "LAUNCHER_QUALITY_NORMAL", "LAUNCHER_QUALITY_LOW", "LAUNCHER_QUALITY_VERY_LOW",
    "LAUNCHER_FULLSCREEN",     "LAUNCHER_WINDOW",      "GRAPHICS_ERROR"};

struct Language {
    std::string name;
    int codePage;
};

// languages.txt read as the launcher reads it: whitespace-separated pairs of a name and a number.
std::vector<Language> readLanguages(const std::string& path) {
    std::vector<Language> languages;
    FILE* file = std::fopen(path.c_str(), "r");
    if (file == nullptr)
        return languages;
    char name[33];
    int codePage = 0;
    while (languages.size() < 255 && std::fscanf(file, "%32s %d", name, &codePage) == 2)
        languages.push_back({name, codePage});
    std::fclose(file);
    return languages;
}

bool isLngSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0xA0;
}

struct Entry {
    std::string key;
    std::string text;
};

// Entries of a language file by its rules: lines end with LF, CR or CR LF; blank lines and lines whose
// first non-blank byte is '#' are skipped; the key runs to the first blank, the text follows the blanks.
std::vector<Entry> parseLng(const std::string& bytes) {
    std::vector<Entry> entries;
    size_t i = 0;
    while (i < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", i);
        if (end == std::string::npos)
            end = bytes.size();
        std::string line = bytes.substr(i, end - i);
        i = end +
            (end < bytes.size() && bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n'
                 ? 2
                 : 1);
        size_t start = 0;
        while (start < line.size() && isLngSpace(static_cast<unsigned char>(line[start])))
            ++start;
        if (start == line.size() || line[start] == '#')
            continue;
        size_t keyEnd = start;
        while (keyEnd < line.size() && !isLngSpace(static_cast<unsigned char>(line[keyEnd])))
            ++keyEnd;
        size_t text = keyEnd;
        while (text < line.size() && isLngSpace(static_cast<unsigned char>(line[text])))
            ++text;
        entries.push_back({line.substr(start, keyEnd - start), line.substr(text)});
    }
    return entries;
}

// 8-bit text in a Windows code page as UTF-8; nullopt when a byte has no meaning in it.
std::optional<std::string> decode(const std::string& bytes, int codePage) {
    std::string charset = codePage == 65001 ? "UTF-8" : "CP" + std::to_string(codePage);
    iconv_t converter = iconv_open("UTF-8", charset.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string input = bytes;
    std::string output(input.size() * 4 + 4, '\0');
    char* in = input.data();
    size_t inLeft = input.size();
    char* out = output.data();
    size_t outLeft = output.size();
    size_t result = iconv(converter, &in, &inLeft, &out, &outLeft);
    iconv_close(converter);
    if (result == static_cast<size_t>(-1) || inLeft != 0)
        return std::nullopt;
    output.resize(output.size() - outLeft);
    return output;
}

// True when the bytes hold at least one well-formed multi-byte UTF-8 sequence: a sign of a file that was
// never converted to its code page.
bool looksLikeUtf8(const std::string& bytes) {
    for (size_t i = 0; i + 1 < bytes.size(); ++i) {
        unsigned char lead = static_cast<unsigned char>(bytes[i]);
        unsigned char next = static_cast<unsigned char>(bytes[i + 1]);
        if (lead >= 0xC2 && lead <= 0xDF && (next & 0xC0) == 0x80)
            return true;
    }
    return false;
}

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;  // rows from the top, 3 bytes a pixel
    const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

std::optional<Picture> decodePng(const std::string& bytes) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size()))
        return std::nullopt;
    image.format = PNG_FORMAT_RGB;
    Picture picture;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return std::nullopt;
    }
    return picture;
}

class GameFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        languages = readLanguages(kGame + "/languages.txt");
        ASSERT_FALSE(languages.empty())
            << kGame << "/languages.txt is missing or empty: build the game_folder target";
        manager.reset(mt::file::createFileManager());
        ASSERT_TRUE(manager);
        manager->setArchiveDirectory(kGame.c_str());
        ASSERT_TRUE(manager->mountArchive("data.pak", "data:"));
        ASSERT_TRUE(manager->mountArchive("data2.pak", "data2:"));
        ASSERT_TRUE(manager->mountArchive("site.pak", "site:"));
        manager->setSearchMode(mt::file::SEARCH_ALL_MOUNTS);
    }

    // A member's bytes, or nullopt unless it comes from one of the archives.
    std::optional<std::string> member(const std::string& path) {
        std::unique_ptr<mt::file::File> file(manager->openFile(path.c_str(), 1, 0));
        if (!file || !file->isPacked())
            return std::nullopt;
        std::string bytes(static_cast<size_t>(file->getSize()), '\0');
        if (file->read(bytes.data(), static_cast<int32_t>(bytes.size())) !=
            static_cast<int32_t>(bytes.size()))
            return std::nullopt;
        return bytes;
    }

    std::optional<Picture> picture(const std::string& path) {
        std::optional<std::string> bytes = member(path);
        return bytes ? decodePng(*bytes) : std::nullopt;
    }

    std::vector<Language> languages;
    std::unique_ptr<mt::file::FileManager> manager;
};

TEST_F(GameFolder, HoldsTheArchivesTheGameAndAUsableLanguageList) {
    for (const char* name : {"data.pak", "data2.pak", "site.pak", "languages.txt"})
        EXPECT_EQ(access((kGame + "/" + name).c_str(), R_OK), 0) << name;
    for (const char* name : {"valtor.exe", "valtor_low.exe", "valtor_low2.exe"})
        EXPECT_EQ(access((kGame + "/" + name).c_str(), X_OK), 0) << name;

    // Enough languages for the language list to show, each name once and short enough for setup.dat.
    EXPECT_GE(languages.size(), 2u);
    std::set<std::string> names;
    std::set<int> codePages;
    for (const Language& language : languages) {
        EXPECT_TRUE(names.insert(language.name).second) << "listed twice: " << language.name;
        EXPECT_LE(language.name.size(), 32u) << language.name;
        EXPECT_TRUE(decode("A", language.codePage))
            << language.name << ": unknown code page " << language.codePage;
        codePages.insert(language.codePage);
    }
    EXPECT_GE(codePages.size(), 3u) << "the sample languages should use different code pages";
    EXPECT_TRUE(names.count("english") && names.count("deutsch") && names.count("polski") &&
                names.count("russkij"));
}

TEST_F(GameFolder, EveryLanguageFileHasEveryLauncherKeyOnce) {
    for (const Language& language : languages) {
        SCOPED_TRACE(language.name);
        // The launcher's own spelling of the path, with a backslash.
        std::optional<std::string> bytes = member("lang\\" + language.name + ".lng");
        ASSERT_TRUE(bytes) << "lang/" << language.name << ".lng is not in the archives";
        std::map<std::string, std::string> texts;
        std::map<uint32_t, std::string> keyByHash;
        for (const Entry& entry : parseLng(*bytes)) {
            // The localizator knows keys only by hash: equal hashes are duplicates and bring up a message
            // box.
            uint32_t hash = mt::String(entry.key.c_str()).hashCode();
            auto [it, fresh] = keyByHash.emplace(hash, entry.key);
            EXPECT_TRUE(fresh) << "duplicate key " << entry.key << " (same hash as " << it->second << ")";
            texts[entry.key] = entry.text;
        }
        for (const char* key : kLauncherKeys) {
            auto found = texts.find(key);
            ASSERT_NE(found, texts.end()) << "missing key " << key;
            EXPECT_FALSE(found->second.empty()) << "empty text for " << key;
            EXPECT_LT(found->second.size(), 1023u) << key << " does not fit the launcher's text buffer";
        }
    }
}

TEST_F(GameFolder, LanguageFilesAreStoredInTheirCodePages) {
    const std::map<std::string, std::string> letters = {
        {"deutsch", "äöüß"}, {"polski", "ąćęłńóśźż"}, {"russkij", "абвгдежзийклмнопрстуфхцчшщыьэюя"}};
    for (const Language& language : languages) {
        SCOPED_TRACE(language.name);
        std::optional<std::string> bytes = member("lang/" + language.name + ".lng");
        ASSERT_TRUE(bytes);
        std::optional<std::string> text = decode(*bytes, language.codePage);
        ASSERT_TRUE(text) << "not valid in code page " << language.codePage;
        // The archive holds exactly the UTF-8 source, converted.
        FILE* file = std::fopen((kAssets + "/lang/" + language.name + ".lng").c_str(), "rb");
        ASSERT_NE(file, nullptr);
        std::string source;
        char buffer[4096];
        for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
            source.append(buffer, got);
        std::fclose(file);
        EXPECT_EQ(*text, source) << "the archive is older than its source or was converted wrongly";

        auto expected = letters.find(language.name);
        if (expected == letters.end() || language.codePage == 65001)
            continue;
        EXPECT_FALSE(looksLikeUtf8(*bytes)) << "still UTF-8";
        // Written in the language: some of its own letters occur (each letter is two UTF-8 bytes here).
        bool ownLetter = false;
        for (size_t i = 0; i + 1 < expected->second.size(); i += 2)
            ownLetter = ownLetter || text->find(expected->second.substr(i, 2)) != std::string::npos;
        EXPECT_TRUE(ownLetter) << "no letter of its own alphabet";
    }
}

TEST_F(GameFolder, PicturesHaveTheSizesTheProgramsDrawThemAt) {
    std::vector<std::vector<uint8_t>> backgrounds;
    for (const Language& language : languages) {
        std::optional<Picture> background = picture("launcher/launcher_bg_" + language.name + ".png");
        ASSERT_TRUE(background) << language.name;
        EXPECT_EQ(background->width, 438) << language.name;
        EXPECT_EQ(background->height, 429) << language.name;
        for (const std::vector<uint8_t>& other : backgrounds)
            EXPECT_NE(other, background->rgb) << language.name << ": the same picture as another language";
        backgrounds.push_back(background->rgb);
    }

    std::optional<Picture> selling = picture("selling_bg.png");
    ASSERT_TRUE(selling);
    EXPECT_EQ(selling->width, 440);
    EXPECT_EQ(selling->height, 497);
    // Each lit picture lies inside the window and reaches the right and bottom edges of its hot rectangle.
    struct Lit {
        const char* name;
        int x, y, right, bottom;
    };
    for (const Lit& lit : {Lit{"selling_234_418_button.png", 234, 418, 360, 493},
                           Lit{"selling_373_446_button.png", 373, 446, 429, 489}}) {
        std::optional<Picture> button = picture(lit.name);
        ASSERT_TRUE(button) << lit.name;
        EXPECT_GE(lit.x + button->width - 1, lit.right) << lit.name;
        EXPECT_GE(lit.y + button->height - 1, lit.bottom) << lit.name;
        EXPECT_LE(lit.x + button->width, 440) << lit.name;
        EXPECT_LE(lit.y + button->height, 497) << lit.name;
    }
}

TEST_F(GameFolder, LitButtonsDifferFromTheBackgroundOnlyOnTheirButtons) {
    std::optional<Picture> background = picture("selling_bg.png");
    ASSERT_TRUE(background);
    struct Lit {
        const char* name;
        int x, y;
        int hotX0, hotY0, hotX1, hotY1;
    };
    for (const Lit& lit : {Lit{"selling_234_418_button.png", 234, 418, 231, 446, 360, 493},
                           Lit{"selling_373_446_button.png", 373, 446, 372, 453, 429, 489}}) {
        SCOPED_TRACE(lit.name);
        std::optional<Picture> button = picture(lit.name);
        ASSERT_TRUE(button);
        ASSERT_LE(lit.x + button->width, background->width);
        ASSERT_LE(lit.y + button->height, background->height);
        int changedOutside = 0;
        int changedInside = 0;
        for (int y = 0; y < button->height; ++y) {
            for (int x = 0; x < button->width; ++x) {
                int wx = lit.x + x;
                int wy = lit.y + y;
                bool same = std::equal(button->at(x, y), button->at(x, y) + 3, background->at(wx, wy));
                bool inside = wx >= lit.hotX0 && wx <= lit.hotX1 && wy >= lit.hotY0 && wy <= lit.hotY1;
                if (!same)
                    ++(inside ? changedInside : changedOutside);
            }
        }
        // The picture's edge rows above the button show the background unchanged, so no seam appears.
        EXPECT_TRUE(
            std::equal(button->at(0, 0), button->at(0, 0) + 3 * button->width, background->at(lit.x, lit.y)));
        EXPECT_GT(changedInside, (lit.hotX1 - lit.x) * (lit.hotY1 - lit.hotY0) / 2)
            << "the button does not light up";
        // Outside the hot rectangle only a small ornament may light up with it.
        EXPECT_LT(changedOutside, button->width * button->height / 4);
    }
}

TEST_F(GameFolder, ShopAddressIsInTheSiteArchive) {
    std::optional<std::string> xml = member("url.xml");
    ASSERT_TRUE(xml);
    size_t tag = xml->find("<selling");
    ASSERT_NE(tag, std::string::npos);
    size_t tagEnd = xml->find('>', tag);
    ASSERT_NE(tagEnd, std::string::npos);
    std::string attributes = xml->substr(tag, tagEnd - tag);
    size_t url = attributes.find("url=\"");
    ASSERT_NE(url, std::string::npos);
    size_t valueEnd = attributes.find('"', url + 5);
    ASSERT_NE(valueEnd, std::string::npos);
    std::string address = attributes.substr(url + 5, valueEnd - url - 5);
    EXPECT_EQ(address.rfind("https://", 0), 0u) << address;
    // A '%' would make the value raw bytes, which the selling screen reads as no address at all.
    EXPECT_EQ(address.find('%'), std::string::npos) << address;
    EXPECT_EQ(address.find(' '), std::string::npos) << address;
}

}  // namespace
