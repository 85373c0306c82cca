// The launcher run whole: exit codes, what is written, what is started, which messages are shown.
#include "LauncherFixture.h"
#include "mt/core/ServiceRegistry.h"
#include "mt/file/File.h"
#include "mt/file/FileManager.h"

using launcher::g_launcher;

namespace {

bool opens(const char* path) {
    auto* files = static_cast<mt::file::FileManager*>(mt::findService(mt::SERVICE_FILE_MANAGER));
    std::unique_ptr<mt::file::File> file(files->openFile(path, 1, 0));
    return file != nullptr;
}

}  // namespace

TEST_F(LauncherTest, StartAreaWritesTheSettingsThenStartsTheGame) {
    duringStartUp = [] { platform::postClick(*g_launcher.dialog, 265, 335); };
    EXPECT_EQ(launcher::launcherMain(), 0);
    const std::string expected = settingsBytes(0, 1024, 768, 0, 1, "english", 1252);
    EXPECT_EQ(readSettingsFile(), expected);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].file, "valtor.exe");
    EXPECT_EQ(starts[0].settingsAtStart, expected) << "written before the start";
    EXPECT_TRUE(starts[0].dialogGone) << "destroyed before the start";
    EXPECT_TRUE(boxes.empty());
    // Nothing half-written is left beside the settings.
    auto folder = std::filesystem::directory_iterator(std::filesystem::path(settingsPath()).parent_path());
    EXPECT_EQ(std::distance(folder, std::filesystem::directory_iterator()), 1);
}

TEST_F(LauncherTest, QuitAreaAndCloseRequestWriteTheSettingsAndStartNothing) {
    writeSettingsFile(settingsBytes(1, 1280, 1024, 2, 2, "polski", 1252));
    duringStartUp = [] { platform::postClick(*g_launcher.dialog, 286, 387); };
    EXPECT_EQ(launcher::launcherMain(), 0);
    // The stored choices come back, with the code page of languages.txt instead of the stored one.
    EXPECT_EQ(readSettingsFile(), settingsBytes(1, 1280, 1024, 2, 2, "polski", 1250));

    launcher::resetLauncherState();
    std::filesystem::remove(settingsPath());
    duringStartUp = [] { platform::postCloseRequest(*g_launcher.dialog); };
    EXPECT_EQ(launcher::launcherMain(), 0);
    EXPECT_EQ(readSettingsFile(), settingsBytes(0, 1024, 768, 0, 1, "english", 1252));
    EXPECT_TRUE(starts.empty());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LauncherTest, WithoutAnAdapterOrWithAWeakOneTheLauncherEndsWithMinusOneAndWritesNothing) {
    adapterPresent = false;
    EXPECT_EQ(launcher::launcherMain(), -1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].first, "DirectX 9 is needed to run this program.");
    EXPECT_EQ(boxes[0].second, "Error");
    EXPECT_FALSE(std::filesystem::exists(settingsPath()));

    // No two-sided stencil: the error in the stored language, with its line break.
    launcher::resetLauncherState();
    const std::string stored = settingsBytes(0, 1024, 768, 0, 1, "deutsch", 1252);
    writeSettingsFile(stored);
    adapterPresent = true;
    capabilities.twoSidedStencil = false;
    EXPECT_EQ(launcher::launcherMain(), -1);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].second, "Valtor");
    EXPECT_EQ(boxes[1].first.rfind("Ihre Grafikkarte kann Valtor nicht ausführen", 0), 0u) << boxes[1].first;
    EXPECT_NE(boxes[1].first.find(".\nBitte"), std::string::npos);
    EXPECT_EQ(readSettingsFile(), stored);

    // Pixel shaders below 2.0.
    launcher::resetLauncherState();
    capabilities = {8, true, true, 0xFFFF0104};
    EXPECT_EQ(launcher::launcherMain(), -1);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2].second, "Valtor");
    EXPECT_TRUE(starts.empty());
}

TEST_F(LauncherTest, WithoutLanguagesTheLauncherSaysSoAndEnds) {
    for (const char* content : {"", "  \n\n", "1252 english\n", static_cast<const char*>(nullptr)}) {
        if (content != nullptr) {
            writeGameFile("languages.txt", content);
        } else {
            std::filesystem::remove(game + "/languages.txt");
        }
        boxes.clear();
        EXPECT_EQ(launcher::launcherMain(), -1);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].first.find("languages.txt"), std::string::npos);
        EXPECT_EQ(boxes[0].second, "Error");
        EXPECT_EQ(g_launcher.dialog, nullptr);
        launcher::resetLauncherState();
    }
    EXPECT_FALSE(std::filesystem::exists(settingsPath()));
}

TEST_F(LauncherTest, WithOneLanguageTheListIsHiddenButTheLanguageIsStored) {
    writeGameFile("languages.txt", "polski 1250\n");
    startUp();
    EXPECT_FALSE(list(launcher::kLanguageList).isVisible());
    EXPECT_TRUE(list(launcher::kAudioList).isVisible());
    EXPECT_EQ(entries(launcher::kAudioList)[0], "Bez dźwięku");
    EXPECT_EQ(leaveWithClick(300, 400), 0);
    EXPECT_EQ(readSettingsFile(), settingsBytes(0, 1024, 768, 0, 1, "polski", 1250));
}

TEST_F(LauncherTest, EveryArchiveIsMountedEvenWhenAnEarlierOneIsMissing) {
    std::filesystem::remove(game + "/data2.pak");
    startUp();
    EXPECT_TRUE(opens("url.xml")) << "site.pak is mounted after the missing data2.pak";
    EXPECT_FALSE(opens("selling_bg.png"));
    EXPECT_NE(g_launcher.backgroundBitmap, nullptr);
}

TEST_F(LauncherTest, ChoosingALanguageSwitchesTextsAndPictureAndIsStored) {
    writeSettingsFile(settingsBytes(1, 1920, 1080, 1, 2, "english", 1252));
    startUp();
    const std::vector<uint32_t> english(g_launcher.backgroundBitmap->pixels(),
                                        g_launcher.backgroundBitmap->pixels() + 438 * 429);
    const std::vector<uint32_t> before = dialog().capture();

    platform::postWheel(dialog(), 80, 410, -2);  // two notches down the language list: polski
    pump();
    EXPECT_EQ(g_launcher.settings.languageIndex, 2);
    EXPECT_EQ(g_launcher.settings.codePage, 1250);
    EXPECT_EQ(entries(launcher::kAudioList),
              (std::vector<std::string>{"Bez dźwięku", "Sprzętowy", "Programowy"}));
    EXPECT_EQ(entries(launcher::kQualityList)[2], "Bardzo niska");
    EXPECT_EQ(list(launcher::kAudioList).getCurSel(), 2) << "selections are kept";
    EXPECT_EQ(list(launcher::kQualityList).getCurSel(), 1);
    EXPECT_EQ(list(launcher::kWindowModeList).getCurSel(), 1);
    ASSERT_NE(g_launcher.backgroundBitmap, nullptr);
    EXPECT_NE(std::vector<uint32_t>(g_launcher.backgroundBitmap->pixels(),
                                    g_launcher.backgroundBitmap->pixels() + 438 * 429),
              english);
    // The window shows the new picture: the label above the resolution list changed.
    const std::vector<uint32_t> after = dialog().capture();
    int changed = 0;
    for (int y = 155; y < 177; ++y) {
        for (int x = 64; x < 240; ++x) {
            changed += before[y * 438 + x] != after[y * 438 + x] ? 1 : 0;
        }
    }
    EXPECT_GT(changed, 100);
    EXPECT_EQ(after[5 * 438 + 200], g_launcher.backgroundBitmap->pictureRow(5)[200] & 0xFFFFFF);

    EXPECT_EQ(leaveWithClick(380, 370), 0);
    EXPECT_EQ(readSettingsFile(), settingsBytes(1, 1920, 1080, 1, 2, "polski", 1250));
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].file, "valtor_low.exe");
}

TEST_F(LauncherTest, WithGraphicsLevelOneOnlyTheLowerQualitiesAreOffered) {
    // Fewer than four render targets and a stored normal quality: low is selected and stored.
    capabilities.simultaneousRenderTargets = 3;
    startUp();
    EXPECT_EQ(g_launcher.graphicsLevel, 1);
    EXPECT_EQ(entries(launcher::kQualityList), (std::vector<std::string>{"Low", "Very low"}));
    EXPECT_EQ(list(launcher::kQualityList).getCurSel(), 0);
    leaveWithClick(300, 400);
    EXPECT_EQ(readSettingsFile().substr(16, 4), std::string("\x01\0\0\0", 4));

    // No float render targets, stored very low: the second entry, and valtor_low2.exe starts.
    launcher::resetLauncherState();
    capabilities = {8, false, true, platform::kPixelShader2};
    writeSettingsFile(settingsBytes(0, 1024, 768, 2, 1, "english", 1252));
    startUp();
    EXPECT_EQ(list(launcher::kQualityList).getCurSel(), 1);
    leaveWithClick(300, 350);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].file, "valtor_low2.exe");

    // With all qualities, a stored quality 0 starts valtor.exe; a stray one selects nothing.
    launcher::resetLauncherState();
    capabilities = {4, true, true, platform::kPixelShader2};
    writeSettingsFile(settingsBytes(7, 1024, 768, 9, -2, "english", 1252));
    startUp();
    EXPECT_EQ(list(launcher::kQualityList).getCount(), 3);
    EXPECT_EQ(list(launcher::kQualityList).getCurSel(), -1);
    EXPECT_EQ(list(launcher::kWindowModeList).getCurSel(), -1);
    EXPECT_EQ(list(launcher::kAudioList).getCurSel(), -1);
}

TEST_F(LauncherTest, TheStoredResolutionIsSelectedOnlyWhenOffered) {
    writeSettingsFile(settingsBytes(0, 1280, 1024, 0, 1, "english", 1252));
    startUp();
    EXPECT_EQ(entries(launcher::kResolutionList),
              (std::vector<std::string>{"800x600", "1024x768", "1280x1024", "1920x1080"}));
    EXPECT_EQ(list(launcher::kResolutionList).getCurSel(), 2);
    launcher::resetLauncherState();

    // Not offered: the second entry is selected, and stored when the player leaves it.
    writeSettingsFile(settingsBytes(0, 1111, 999, 0, 1, "english", 1252));
    startUp();
    EXPECT_EQ(list(launcher::kResolutionList).getCurSel(), 1);
    leaveWithClick(300, 400);
    EXPECT_EQ(readSettingsFile().substr(8, 8), std::string("\0\4\0\0\0\3\0\0", 8));
    launcher::resetLauncherState();

    // One mode and no match: nothing is selected, and the one size offered is stored, never the stored size
    // the adapter no longer has.
    modes = {mode(1600, 900)};
    writeSettingsFile(settingsBytes(0, 1111, 999, 0, 1, "english", 1252));
    startUp();
    EXPECT_EQ(list(launcher::kResolutionList).getCurSel(), -1);
    leaveWithClick(300, 400);
    EXPECT_EQ(readSettingsFile().substr(8, 8), std::string("\x40\6\0\0\x84\3\0\0", 8));
    launcher::resetLauncherState();

    // No mode at all: there is nothing to take a size from, and the stored one stays.
    modes = {};
    writeSettingsFile(settingsBytes(0, 1111, 999, 0, 1, "english", 1252));
    startUp();
    EXPECT_EQ(entries(launcher::kResolutionList), std::vector<std::string>{});
    leaveWithClick(300, 400);
    EXPECT_EQ(readSettingsFile().substr(8, 8), std::string("\x57\4\0\0\xE7\3\0\0", 8));
}
