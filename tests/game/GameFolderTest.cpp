// The sample game folder as the build lays it out, read the way the two programs read it: archives mounted
// in the file manager, paths looked up in every mount.
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "mt/core/String.h"
#include "mt/file/FileManager.h"
#include "mt/file/FileManagerImpl.h"
#include "platform/CodePage.h"

namespace {

const std::string kGame = MT_BINARY_DIR "/game";

bool isLngSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\xA0';
}

// Key and text of every entry of a language file: lines end with LF, CR or CR LF; blank lines and lines
// whose first non-blank byte is '#' are skipped; the key runs to the first blank, the text follows the
// blanks.
std::vector<std::pair<std::string, std::string>> parseLng(const std::string& bytes) {
    std::vector<std::pair<std::string, std::string>> entries;
    for (size_t i = 0; i < bytes.size();) {
        size_t end = std::min(bytes.find_first_of("\r\n", i), bytes.size());
        std::string line = bytes.substr(i, end - i);
        i = end + (bytes.compare(end, 2, "\r\n") == 0 ? 2 : 1);
        size_t key = 0;
        while (key < line.size() && isLngSpace(line[key]))
            ++key;
        if (key == line.size() || line[key] == '#')
            continue;
        size_t keyEnd = key, text;
        while (keyEnd < line.size() && !isLngSpace(line[keyEnd]))
            ++keyEnd;
        for (text = keyEnd; text < line.size() && isLngSpace(line[text]);)
            ++text;
        entries.emplace_back(line.substr(key, keyEnd - key), line.substr(text));
    }
    return entries;
}

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // rows from the top, 3 bytes a pixel
    const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

class GameFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        // languages.txt as the launcher scans it: pairs of a name and a code page.
        FILE* list = std::fopen((kGame + "/languages.txt").c_str(), "r");
        ASSERT_NE(list, nullptr) << "no " << kGame << "/languages.txt: build the game_folder target";
        char name[33];
        int codePage = 0;
        while (std::fscanf(list, "%32s %d", name, &codePage) == 2)
            languages.emplace_back(name, codePage);
        std::fclose(list);

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
        if (file->read(bytes.data(), static_cast<int32_t>(bytes.size())) != file->getSize())
            return std::nullopt;
        return bytes;
    }

    std::optional<Picture> picture(const std::string& path) {
        std::optional<std::string> bytes = member(path);
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!bytes || !png_image_begin_read_from_memory(&image, bytes->data(), bytes->size()))
            return std::nullopt;
        image.format = PNG_FORMAT_RGB;
        Picture picture{static_cast<int>(image.width), static_cast<int>(image.height), {}};
        picture.rgb.resize(PNG_IMAGE_SIZE(image));
        if (!png_image_finish_read(&image, nullptr, picture.rgb.data(), 0, nullptr))
            return std::nullopt;
        return picture;
    }

    std::vector<std::pair<std::string, int>> languages;
    std::unique_ptr<mt::file::FileManager> manager;
};

TEST_F(GameFolder, HoldsTheGameAndAListOfLanguagesInDifferentCodePages) {
    for (const char* name : {"valtor.exe", "valtor_low.exe", "valtor_low2.exe"})
        EXPECT_EQ(access((kGame + "/" + name).c_str(), X_OK), 0) << name;
    std::set<std::string> names;
    std::set<int> codePages;
    for (const auto& [name, codePage] : languages) {
        EXPECT_TRUE(names.insert(name).second) << "listed twice: " << name;
        codePages.insert(codePage);
    }
    EXPECT_EQ(names, (std::set<std::string>{"deutsch", "english", "polski", "russkij"}));
    EXPECT_EQ(codePages, (std::set<int>{1250, 1251, 1252}));
}

TEST_F(GameFolder, LanguageFilesHaveEveryLauncherKeyOnceInTheirCodePages) {
    for (const auto& [name, codePage] : languages) {
        SCOPED_TRACE(name);
        // The launcher's own spelling of the path, with a backslash.
        std::optional<std::string> bytes = member("lang\\" + name + ".lng");
        ASSERT_TRUE(bytes) << "not in the archives";
        std::map<std::string, std::string> texts;
        std::map<uint32_t, std::string> keyByHash;
        for (const auto& [key, text] : parseLng(*bytes)) {
            // The localizator knows keys only by hash: equal hashes count as duplicates (a message box).
            auto [known, fresh] = keyByHash.emplace(mt::String(key.c_str()).hashCode(), key);
            EXPECT_TRUE(fresh) << "duplicate key " << key << " (same hash as " << known->second << ")";
            texts[key] = text;
        }
        for (const char* key :
             {"LAUNCHER_NO_AUDIO", "LAUNCHER_HW_AUDIO", "LAUNCHER_SW_AUDIO", "LAUNCHER_QUALITY_NORMAL",
              "LAUNCHER_QUALITY_LOW", "LAUNCHER_QUALITY_VERY_LOW", "LAUNCHER_FULLSCREEN", "LAUNCHER_WINDOW",
              "GRAPHICS_ERROR"}) {
            EXPECT_FALSE(texts[key].empty()) << "no text for " << key;
            EXPECT_LT(texts[key].size(), 1023u) << key << " does not fit the launcher's text buffer";
        }

        // The archive holds exactly the UTF-8 source converted to the code page: read back with the
        // launcher's conversion, a file left in UTF-8 or converted to another code page differs.
        std::string text;
        ASSERT_TRUE(platform::multiByteToUtf8(static_cast<uint32_t>(codePage), *bytes, text));
        std::ifstream source(MT_SOURCE_DIR "/assets/lang/" + name + ".lng", std::ios::binary);
        EXPECT_EQ(text, std::string(std::istreambuf_iterator<char>(source), {}));
    }
}

TEST_F(GameFolder, LauncherBackgroundsFitTheDialogInEveryLanguage) {
    std::vector<std::vector<uint8_t>> seen;
    for (const auto& [name, codePage] : languages) {
        std::optional<Picture> background = picture("launcher/launcher_bg_" + name + ".png");
        ASSERT_TRUE(background) << name;
        EXPECT_EQ(background->width, 438) << name;
        EXPECT_EQ(background->height, 429) << name;
        for (const std::vector<uint8_t>& other : seen)
            EXPECT_NE(other, background->rgb) << name << ": the same picture as another language";
        seen.push_back(background->rgb);
    }
}

TEST_F(GameFolder, LitButtonsCoverTheirButtonsAndMatchTheBackgroundAroundThem) {
    std::optional<Picture> background = picture("selling_bg.png");
    ASSERT_TRUE(background);
    ASSERT_EQ(background->width, 440);
    ASSERT_EQ(background->height, 497);
    struct Lit {
        const char* name;
        int x, y;            // where the picture is drawn
        int x0, y0, x1, y1;  // the hot rectangle, inclusive
    };
    for (const Lit& lit : {Lit{"selling_234_418_button.png", 234, 418, 231, 446, 360, 493},
                           Lit{"selling_373_446_button.png", 373, 446, 372, 453, 429, 489}}) {
        SCOPED_TRACE(lit.name);
        std::optional<Picture> button = picture(lit.name);
        ASSERT_TRUE(button);
        // From its corner to the hot rectangle's right and bottom edges, and inside the window.
        EXPECT_GE(lit.x + button->width - 1, lit.x1);
        EXPECT_GE(lit.y + button->height - 1, lit.y1);
        ASSERT_LE(lit.x + button->width, background->width);
        ASSERT_LE(lit.y + button->height, background->height);
        int changedInside = 0, changedOutside = 0;
        for (int y = 0; y < button->height; ++y) {
            for (int x = 0; x < button->width; ++x) {
                int wx = lit.x + x, wy = lit.y + y;
                if (!std::equal(button->at(x, y), button->at(x, y) + 3, background->at(wx, wy)))
                    ++(wx >= lit.x0 && wx <= lit.x1 && wy >= lit.y0 && wy <= lit.y1 ? changedInside
                                                                                    : changedOutside);
            }
        }
        // Its top row, above the button, is the background unchanged, so no seam shows.
        EXPECT_TRUE(
            std::equal(button->at(0, 0), button->at(0, 0) + 3 * button->width, background->at(lit.x, lit.y)));
        EXPECT_GT(changedInside, (lit.x1 - lit.x) * (lit.y1 - lit.y0) / 2) << "the button does not light up";
        EXPECT_LT(changedOutside, button->width * button->height / 4) << "more than an ornament lights up";
    }
}

TEST_F(GameFolder, ShopAddressIsInTheSiteArchive) {
    std::optional<std::string> xml = member("url.xml");
    ASSERT_TRUE(xml);
    size_t tag = xml->find("<selling ");
    size_t url = xml->find(" url=\"", tag);
    ASSERT_NE(tag, std::string::npos);
    ASSERT_LT(url, xml->find('>', tag));
    std::string address = xml->substr(url + 6, xml->find('"', url + 6) - url - 6);
    EXPECT_EQ(address.rfind("https://", 0), 0u) << address;
    // A '%' would make the value raw bytes, which the selling screen reads as no address at all.
    EXPECT_EQ(address.find_first_of("% "), std::string::npos) << address;
}

}  // namespace
