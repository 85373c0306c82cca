// languages.txt and setup.dat: reading, writing byte for byte, and what bad files give.
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>

#include "LauncherFixture.h"
#include "launcher/SettingsFile.h"

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

    static void expectDefaults(const LauncherSettings& settings) {
        EXPECT_EQ(settings.windowMode, 0);
        EXPECT_EQ(settings.screenWidth, 1024);
        EXPECT_EQ(settings.screenHeight, 768);
        EXPECT_EQ(settings.quality, 0);
        EXPECT_EQ(settings.audioMode, 1);
        EXPECT_EQ(settings.languageIndex, 0);
    }
};

}  // namespace

TEST_F(SettingsFileTest, LanguageListPairsNamesWithCodePages) {
    LanguageList list = readList("english 1252\r\n  deutsch\t1252\npolski\n1250 russkij 1251");
    ASSERT_EQ(list.count(), 4);
    EXPECT_STREQ(list.name(0), "english");
    EXPECT_STREQ(list.name(2), "polski");
    EXPECT_EQ(list.codePages[2], 1250);
    EXPECT_STREQ(list.name(3), "russkij");
    EXPECT_EQ(list.codePages[3], 1251);
    EXPECT_TRUE(list.multipleLanguages);
    EXPECT_EQ(list.name(4), nullptr);
    EXPECT_EQ(list.name(-1), nullptr);

    LanguageList one = readList(
        "\xEF\xBB\xBF"
        "english 1252\n");
    EXPECT_EQ(one.count(), 1);
    EXPECT_STREQ(one.name(0), "english") << "a byte-order mark is not part of the name";
    EXPECT_FALSE(one.multipleLanguages);

    LanguageList missing;
    EXPECT_FALSE(launcher::readLanguageList("no-such-list.txt", missing));
    EXPECT_EQ(missing.count(), 0);
}

TEST_F(SettingsFileTest, LongNamesAreCutAndAnEntryWithoutANumberEndsTheList) {
    const std::string longName(40, 'x');
    LanguageList list =
        readList(longName + " 1250\n" + std::string(32, 'y') + " 1251\nklingon\nelvish 1252\n");
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(std::string(list.name(0)), std::string(32, 'x'));
    EXPECT_EQ(list.codePages[0], 1250) << "the rest of a long name is dropped, not read as the next entry";
    EXPECT_EQ(std::string(list.name(1)), std::string(32, 'y'));

    for (const char* bad :
         {"a 1252\nb 12x\nc 1250\n", "a 1252\nb 99999999999\n", "a 1252\nb -\n", "a 1252\nb"}) {
        LanguageList cut = readList(bad);
        EXPECT_EQ(cut.count(), 1) << bad;
        EXPECT_FALSE(cut.multipleLanguages) << bad;
    }
    EXPECT_EQ(readList("a -5\n").codePages[0], -5);
}

TEST_F(SettingsFileTest, AtMost255LanguagesAreRead) {
    std::string content;
    for (int i = 0; i < 300; ++i) {
        content += "lang" + std::to_string(i) + " " + std::to_string(1000 + i) + "\n";
    }
    LanguageList list = readList(content);
    EXPECT_EQ(list.count(), 255);
    EXPECT_STREQ(list.name(254), "lang254");
    EXPECT_EQ(list.codePages[254], 1254);
    EXPECT_EQ(list.name(255), nullptr) << "the table always ends with an empty slot";
}

TEST_F(SettingsFileTest, StoredLanguageSelectsItsSlotAndTheListsCodePage) {
    LanguageList languages = readList("english 1252\npolski 1250\npolski 1257\n");
    // Two identical names: the later one wins. The stored code page never takes effect.
    LauncherSettings settings = readStored(settingsBytes(1, 800, 600, 2, 0, "polski", 1252), languages);
    EXPECT_EQ(settings.languageIndex, 2);
    EXPECT_EQ(settings.codePage, 1257);
    EXPECT_EQ(settings.windowMode, 1);
    EXPECT_EQ(settings.screenWidth, 800);
    EXPECT_EQ(settings.screenHeight, 600);
    EXPECT_EQ(settings.quality, 2);
    EXPECT_EQ(settings.audioMode, 0);

    // A name that is not in the list, or differs in case, selects the first language.
    EXPECT_EQ(readStored(settingsBytes(1, 800, 600, 2, 0, "klingon", 1252), languages).languageIndex, 0);
    EXPECT_EQ(readStored(settingsBytes(1, 800, 600, 2, 0, "Polski", 1250), languages).languageIndex, 0);
}

TEST_F(SettingsFileTest, WrongMagicMissingOrShortFilesKeepTheDefaults) {
    LanguageList languages = readList("english 1252\ndeutsch 1251\n");
    const std::string good = settingsBytes(1, 800, 600, 2, 0, "deutsch", 1252);

    std::string wrongMagic = good;
    wrongMagic[0] = '\xBF';
    LauncherSettings settings = readStored(wrongMagic, languages);
    expectDefaults(settings);
    EXPECT_EQ(settings.codePage, 1252) << "the first language's code page";

    expectDefaults(readStored("", languages));
    std::filesystem::remove(settingsPath());
    LauncherSettings none;
    launcher::readSettings(settingsPath(), languages, none);
    expectDefaults(none);

    // Cut inside the height: the window mode and width are taken, a half field is not.
    settings = readStored(good.substr(0, 14), languages);
    EXPECT_EQ(settings.windowMode, 1);
    EXPECT_EQ(settings.screenWidth, 800);
    EXPECT_EQ(settings.screenHeight, 768);
    EXPECT_EQ(settings.quality, 0);
    EXPECT_EQ(settings.languageIndex, 0);

    // Cut after the name: everything but the stored code page is there.
    settings = readStored(good.substr(0, 56), languages);
    EXPECT_EQ(settings.languageIndex, 1);
    EXPECT_EQ(settings.codePage, 1251);
}

TEST_F(SettingsFileTest, WrittenFileIsExactlySixtyBytesAndA32ByteNameHasNoTerminator) {
    const std::string name32(32, 'n');
    LanguageList languages = readList("english 1252\n" + name32 + " 932\n");
    LauncherSettings settings;
    settings.windowMode = 1;
    settings.screenWidth = 5760;
    settings.screenHeight = 1600;
    settings.quality = -1;
    settings.audioMode = 2;
    settings.languageIndex = 1;
    settings.codePage = 932;
    ASSERT_TRUE(launcher::writeSettings("setup.dat", settings, languages));
    std::ifstream in("setup.dat", std::ios::binary);
    const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(written, settingsBytes(1, 5760, 1600, -1, 2, name32, 932));
    EXPECT_EQ(written.size(), 60u);
    EXPECT_EQ(written.substr(0, 4), "\xBE\xBA\xAD\xDE");
    EXPECT_EQ(written.substr(24, 32), name32);

    // Read back, the 32-byte name still matches its language.
    LauncherSettings back;
    launcher::readSettings("setup.dat", languages, back);
    EXPECT_EQ(back.languageIndex, 1);
    EXPECT_EQ(back.codePage, 932);
    EXPECT_EQ(back.quality, -1);
}

TEST_F(SettingsFileTest, AFailedWriteLeavesTheOldFileWhole) {
    LanguageList languages = readList("english 1252\n");
    const std::string old = settingsBytes(1, 800, 600, 2, 0, "english", 1252);
    writeSettingsFile(old);
    const std::string folder = std::filesystem::path(settingsPath()).parent_path();

    // A disk that is full after 30 bytes: the write fails, the old settings stay, nothing is left over.
    struct sigaction ignore = {}, previous = {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, &previous);
    rlimit limit = {}, saved = {};
    getrlimit(RLIMIT_FSIZE, &saved);
    limit.rlim_cur = 30;
    limit.rlim_max = saved.rlim_max;
    setrlimit(RLIMIT_FSIZE, &limit);
    const bool written = launcher::writeSettings(settingsPath(), LauncherSettings(), languages);
    setrlimit(RLIMIT_FSIZE, &saved);
    sigaction(SIGXFSZ, &previous, nullptr);
    EXPECT_FALSE(written);
    EXPECT_EQ(readSettingsFile(), old);
    EXPECT_EQ(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 1);

    // A folder in the way of the file, and a folder that does not exist.
    std::filesystem::create_directories(root + "/blocked/setup.dat");
    EXPECT_FALSE(launcher::writeSettings(root + "/blocked/setup.dat", LauncherSettings(), languages));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(root + "/blocked"),
                            std::filesystem::directory_iterator()),
              1);
    EXPECT_FALSE(launcher::writeSettings(root + "/missing/setup.dat", LauncherSettings(), languages));
}

TEST_F(SettingsFileTest, UserFolderIsMadeUnderTheDataHome) {
    const std::string folder = launcher::buildUserDataFolder();
    EXPECT_EQ(folder, dataHome + "/Quillfen/Valtor/1.0/");
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(launcher::buildUserDataFolder(), folder) << "existing folders are no error";
    EXPECT_EQ(launcher::settingsFilePath(folder), settingsPath());
    EXPECT_EQ(launcher::settingsFilePath(""), "setup.dat");
}
