// languages.txt and setup.dat: reading, writing byte for byte, and what bad files give.
#include <signal.h>
#include <sys/resource.h>

#include "LauncherFixture.h"

using launcher::LanguageList;
using launcher::LauncherSettings;

namespace {

class SettingsFileTest : public LauncherTest {
  protected:
    LanguageList readList(const std::string& content) {
        writeGameFile("list.txt", content);
        LanguageList list;
        EXPECT_TRUE(launcher::readLanguageList("list.txt", list));
        return list;
    }
    LauncherSettings readStored(const std::string& bytes, const LanguageList& languages) {
        writeSettingsFile(bytes);
        LauncherSettings settings;
        launcher::readSettings(settingsPath(), languages, settings);
        return settings;
    }
    // window mode, width, height, quality, audio mode, language index, code page
    static std::vector<int32_t> fields(const LauncherSettings& s) {
        return {s.windowMode, s.screenWidth,   s.screenHeight, s.quality,
                s.audioMode,  s.languageIndex, s.codePage};
    }
};

}  // namespace

TEST_F(SettingsFileTest, LanguageListPairsNamesWithCodePages) {
    LanguageList list = readList(
        "\xEF\xBB\xBF"
        "english 1252\r\n  deutsch\t1252\npolski\n1250 russkij -5");
    ASSERT_EQ(list.count(), 4);
    EXPECT_STREQ(list.name(0), "english") << "a byte-order mark is not part of the name";
    EXPECT_STREQ(list.name(2), "polski");
    EXPECT_EQ(list.codePages[2], 1250);
    EXPECT_EQ(list.codePages[3], -5);
    EXPECT_TRUE(list.multipleLanguages);
    EXPECT_EQ(list.name(4), nullptr);
    EXPECT_FALSE(readList("english 1252\n").multipleLanguages);
    LanguageList missing;
    EXPECT_FALSE(launcher::readLanguageList("no-such-list.txt", missing));
    EXPECT_EQ(missing.count(), 0);
}

TEST_F(SettingsFileTest, LongNamesAreCutAndAnEntryWithoutANumberEndsTheList) {
    LanguageList list =
        readList(std::string(40, 'x') + " 1250\n" + std::string(32, 'y') + " 1251\nklingon\nelvish 1\n");
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(std::string(list.name(0)), std::string(32, 'x'));
    EXPECT_EQ(list.codePages[0], 1250) << "the rest of a long name is dropped, not read as the next entry";
    EXPECT_EQ(std::string(list.name(1)), std::string(32, 'y'));
    for (const char* bad :
         {"a 1252\nb 12x\nc 1250\n", "a 1252\nb 99999999999\n", "a 1252\nb -\n", "a 1252\nb"}) {
        EXPECT_EQ(readList(bad).count(), 1) << bad;
    }
}

TEST_F(SettingsFileTest, AtMost255LanguagesAreRead) {
    std::string content;
    for (int i = 0; i < 300; ++i) {
        content += "lang" + std::to_string(i) + " " + std::to_string(1000 + i) + "\n";
    }
    LanguageList list = readList(content);
    EXPECT_EQ(list.count(), 255);
    EXPECT_EQ(list.codePages[254], 1254);
    EXPECT_EQ(list.name(255), nullptr) << "the table always ends with an empty slot";
}

TEST_F(SettingsFileTest, StoredLanguageSelectsTheLastSlotOfItsNameAndTheListsCodePage) {
    LanguageList languages = readList("english 1252\npolski 1250\npolski 1257\n");
    EXPECT_EQ(fields(readStored(settingsBytes(1, 800, 600, 2, 0, "polski", 1252), languages)),
              (std::vector<int32_t>{1, 800, 600, 2, 0, 2, 1257}));
    // A name that is not in the list, or differs in case, selects the first language.
    EXPECT_EQ(readStored(settingsBytes(1, 800, 600, 2, 0, "klingon", 1252), languages).languageIndex, 0);
    EXPECT_EQ(readStored(settingsBytes(1, 800, 600, 2, 0, "Polski", 1250), languages).languageIndex, 0);
}

TEST_F(SettingsFileTest, WrongMagicMissingOrShortFilesKeepTheDefaults) {
    LanguageList languages = readList("english 1252\ndeutsch 1251\n");
    const std::string good = settingsBytes(1, 800, 600, 2, 0, "deutsch", 1252);
    const std::vector<int32_t> defaults{0, 1024, 768, 0, 1, 0, 1252};
    std::string wrongMagic = good;
    wrongMagic[3] = '\xDF';
    EXPECT_EQ(fields(readStored(wrongMagic, languages)), defaults);
    EXPECT_EQ(fields(readStored("", languages)), defaults);
    std::filesystem::remove(settingsPath());
    LauncherSettings none;
    launcher::readSettings(settingsPath(), languages, none);
    EXPECT_EQ(fields(none), defaults);
    // Cut inside the height: window mode and width are taken, half a field is not.
    EXPECT_EQ(fields(readStored(good.substr(0, 14), languages)),
              (std::vector<int32_t>{1, 800, 768, 0, 1, 0, 1252}));
    // Cut before the stored code page: everything else is there.
    EXPECT_EQ(fields(readStored(good.substr(0, 56), languages)),
              (std::vector<int32_t>{1, 800, 600, 2, 0, 1, 1251}));
}

TEST_F(SettingsFileTest, WrittenFileIsExactlySixtyBytesAndA32ByteNameHasNoTerminator) {
    const std::string name32(32, 'n');
    LanguageList languages = readList("english 1252\n" + name32 + " 932\n");
    LauncherSettings settings{1, 5760, 1600, -1, 2, 1, 932};
    writeSettingsFile(std::string(100, 'o'));  // a longer old file is replaced, not overwritten in place
    ASSERT_TRUE(launcher::writeSettings(settingsPath(), settings, languages));
    const std::string written = readSettingsFile();
    EXPECT_EQ(written, settingsBytes(1, 5760, 1600, -1, 2, name32, 932));
    EXPECT_EQ(written.substr(0, 4), "\xBE\xBA\xAD\xDE");
    // Read back, the 32-byte name still matches its language.
    LauncherSettings back;
    launcher::readSettings(settingsPath(), languages, back);
    EXPECT_EQ(fields(back), fields(settings));
}

TEST_F(SettingsFileTest, AFailedWriteLeavesTheOldFileWhole) {
    LanguageList languages = readList("english 1252\n");
    const std::string old = settingsBytes(1, 800, 600, 2, 0, "english", 1252);
    writeSettingsFile(old);
    const std::string folder = std::filesystem::path(settingsPath()).parent_path();
    auto filesIn = [](const std::string& path) {
        return std::distance(std::filesystem::directory_iterator(path),
                             std::filesystem::directory_iterator());
    };
    // A disk that is full after 30 bytes: the old settings stay, nothing is left over.
    struct sigaction ignore = {}, previous = {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit saved = {};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit limit = {30, saved.rlim_max};
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool written = launcher::writeSettings(settingsPath(), LauncherSettings(), languages);
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_FALSE(written);
    EXPECT_EQ(readSettingsFile(), old);
    EXPECT_EQ(filesIn(folder), 1);
    // A folder in the way of the file, and a folder that does not exist.
    std::filesystem::create_directories(root + "/blocked/setup.dat");
    EXPECT_FALSE(launcher::writeSettings(root + "/blocked/setup.dat", LauncherSettings(), languages));
    EXPECT_EQ(filesIn(root + "/blocked"), 1);
    EXPECT_FALSE(launcher::writeSettings(root + "/missing/setup.dat", LauncherSettings(), languages));
}

TEST_F(SettingsFileTest, UserFolderIsMadeUnderTheDataHome) {
    const std::string folder = launcher::buildUserDataFolder();
    EXPECT_EQ(folder, dataHome + "/Quillfen/Valtor/1.0/");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(launcher::buildUserDataFolder(), folder) << "existing folders are no error";
    EXPECT_EQ(launcher::settingsFilePath(""), "setup.dat");
}
