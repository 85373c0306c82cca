// The launcher run whole, from the entry function to its exit code: what is written, what is started,
// which messages are shown.
#include <filesystem>

#include "LauncherFixture.h"
#include "mt/core/ServiceRegistry.h"
#include "mt/file/File.h"
#include "mt/file/FileManager.h"
#include "platform/SyntheticInput.h"

using launcher::g_launcher;

namespace {

// Queues a click for the launcher's dialog (which exists once the adapter is asked for).
std::function<void()> clickAt(int x, int y) {
    return [x, y] { platform::postClick(*g_launcher.dialog, x, y); };
}

bool opens(const char* path) {
    auto* files = static_cast<mt::file::FileManager*>(mt::findService(mt::SERVICE_FILE_MANAGER));
    mt::file::File* file = files != nullptr ? files->openFile(path, 1, 0) : nullptr;
    delete file;
    return file != nullptr;
}

}  // namespace

TEST_F(LauncherTest, StartAreaWritesTheSettingsThenStartsTheGameAndWaits) {
    duringStartUp = clickAt(265, 335);
    EXPECT_EQ(launcher::launcherMain(), 0);

    const std::string expected = settingsBytes(0, 1024, 768, 0, 1, "english", 1252);
    EXPECT_EQ(readSettingsFile(), expected);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].file, "valtor.exe");
    EXPECT_EQ(starts[0].settingsAtStart, expected) << "the game starts with the settings just written";
    EXPECT_TRUE(starts[0].dialogGone) << "the dialog is destroyed before the game starts";
    EXPECT_TRUE(boxes.empty());
    // No half-written file is left beside the settings.
    EXPECT_EQ(std::distance(
                  std::filesystem::directory_iterator(std::filesystem::path(settingsPath()).parent_path()),
                  std::filesystem::directory_iterator()),
              1);
}

TEST_F(LauncherTest, QuitAreaAndCloseRequestWriteTheSettingsAndStartNothing) {
    writeSettingsFile(settingsBytes(1, 1280, 1024, 2, 2, "polski", 1252));
    duringStartUp = clickAt(286, 387);
    EXPECT_EQ(launcher::launcherMain(), 0);
    // The stored choices come back, with the code page of languages.txt instead of the stored one.
    EXPECT_EQ(readSettingsFile(), settingsBytes(1, 1280, 1024, 2, 2, "polski", 1250));
    EXPECT_TRUE(starts.empty());

    launcher::resetLauncherState();
    std::filesystem::remove(settingsPath());
    duringStartUp = [] { platform::postCloseRequest(*g_launcher.dialog); };
    EXPECT_EQ(launcher::launcherMain(), 0);
    EXPECT_EQ(readSettingsFile(), settingsBytes(0, 1024, 768, 0, 1, "english", 1252));
    EXPECT_TRUE(starts.empty());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LauncherTest, WithoutAGraphicsAdapterNothingIsWrittenAndTheExitCodeIsMinusOne) {
    adapterPresent = false;
    EXPECT_EQ(launcher::launcherMain(), -1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "DirectX 9 is needed to run this program.");
    EXPECT_EQ(boxes[0].caption, "Error");
    EXPECT_FALSE(std::filesystem::exists(settingsPath()));
    EXPECT_TRUE(starts.empty());
}

TEST_F(LauncherTest, AnAdapterTooWeakShowsTheLocalizedErrorAndWritesNothing) {
    // Without two-sided stencil, in the stored language.
    const std::string stored = settingsBytes(0, 1024, 768, 0, 1, "deutsch", 1252);
    writeSettingsFile(stored);
    capabilities.twoSidedStencil = false;
    EXPECT_EQ(launcher::launcherMain(), -1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Valtor");
    EXPECT_NE(boxes[0].text.find("Ihre Grafikkarte kann Valtor nicht ausführen"), std::string::npos)
        << boxes[0].text;
    EXPECT_NE(boxes[0].text.find('\n'), std::string::npos) << "the \\n of the language file is a line break";
    EXPECT_EQ(readSettingsFile(), stored);

    // Pixel shaders below 2.0, in English.
    launcher::resetLauncherState();
    std::filesystem::remove(settingsPath());
    boxes.clear();
    capabilities = {8, true, true, 0xFFFF0104};
    EXPECT_EQ(launcher::launcherMain(), -1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.rfind("Your graphics card cannot run Valtor", 0), 0u) << boxes[0].text;
    EXPECT_FALSE(std::filesystem::exists(settingsPath()));
    EXPECT_TRUE(starts.empty());
}

TEST_F(LauncherTest, WithoutLanguagesTheLauncherSaysSoAndEnds) {
    for (const char* content : {"", "  \n\n", "1252 english\n"}) {
        writeGameFile("languages.txt", content);
        EXPECT_EQ(launcher::launcherMain(), -1) << '"' << content << '"';
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].text.find("languages.txt"), std::string::npos);
        EXPECT_EQ(boxes[0].caption, "Error");
        EXPECT_EQ(g_launcher.dialog, nullptr);
        launcher::resetLauncherState();
        boxes.clear();
    }
    std::filesystem::remove(game + "/languages.txt");
    EXPECT_EQ(launcher::launcherMain(), -1);
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(settingsPath()));
    EXPECT_TRUE(starts.empty());
}

TEST_F(LauncherTest, WithOneLanguageTheListIsHiddenButTheLanguageIsStored) {
    writeGameFile("languages.txt", "polski 1250\n");
    startUp();
    EXPECT_FALSE(list(launcher::kLanguageList).isVisible());
    EXPECT_TRUE(list(launcher::kAudioList).isVisible());
    EXPECT_EQ(entries(launcher::kAudioList)[0], "Bez dźwięku");
    platform::postClick(dialog(), 300, 400);
    launcher::runMessageLoop();
    EXPECT_EQ(launcher::launcherShutDown(), 0);
    EXPECT_EQ(readSettingsFile(), settingsBytes(0, 1024, 768, 0, 1, "polski", 1250));
}

TEST_F(LauncherTest, EveryArchiveIsMountedEvenWhenAnEarlierOneIsMissing) {
    std::filesystem::remove(game + "/data2.pak");
    startUp();
    EXPECT_TRUE(opens("url.xml")) << "site.pak is mounted after the missing data2.pak";
    EXPECT_FALSE(opens("selling_bg.png"));
    EXPECT_TRUE(opens("data:/launcher/launcher_bg_english.png"));
    EXPECT_NE(g_launcher.backgroundBitmap, nullptr);
    EXPECT_EQ(entries(launcher::kAudioList)[1], "Hardware audio");
}

TEST_F(LauncherTest, ChoosingALanguageSwitchesTextsAndPictureAndIsStored) {
    writeSettingsFile(settingsBytes(1, 1920, 1080, 1, 2, "english", 1252));
    startUp();
    ASSERT_NE(g_launcher.backgroundBitmap, nullptr);
    const std::vector<uint32_t> english(g_launcher.backgroundBitmap->pixels(),
                                        g_launcher.backgroundBitmap->pixels() + 438 * 429);
    std::vector<uint32_t> before = dialog().capture();
    EXPECT_EQ(entries(launcher::kAudioList),
              (std::vector<std::string>{"No audio", "Hardware audio", "Software audio"}));

    // Two wheel notches towards the player over the language list: english -> deutsch -> polski.
    platform::postWheel(dialog(), 80, 410, -2);
    pump();
    EXPECT_EQ(list(launcher::kLanguageList).getCurSel(), 2);
    EXPECT_EQ(g_launcher.settings.languageIndex, 2);
    EXPECT_EQ(g_launcher.settings.codePage, 1250);
    EXPECT_EQ(entries(launcher::kAudioList),
              (std::vector<std::string>{"Bez dźwięku", "Sprzętowy", "Programowy"}));
    EXPECT_EQ(entries(launcher::kWindowModeList).size(), 2u);
    EXPECT_EQ(list(launcher::kAudioList).getCurSel(), 2) << "selections are kept";
    EXPECT_EQ(list(launcher::kQualityList).getCurSel(), 1);
    EXPECT_EQ(list(launcher::kWindowModeList).getCurSel(), 1);
    ASSERT_NE(g_launcher.backgroundBitmap, nullptr);
    EXPECT_NE(std::vector<uint32_t>(g_launcher.backgroundBitmap->pixels(),
                                    g_launcher.backgroundBitmap->pixels() + 438 * 429),
              english);
    // The dialog shows the new picture: the label above the resolution list changed.
    std::vector<uint32_t> after = dialog().capture();
    int changed = 0;
    for (int y = 155; y < 177; ++y) {
        for (int x = 64; x < 240; ++x) {
            changed += before[y * 438 + x] != after[y * 438 + x] ? 1 : 0;
        }
    }
    EXPECT_GT(changed, 100);
    EXPECT_EQ(after[5 * 438 + 200], g_launcher.backgroundBitmap->pictureRow(5)[200] & 0xFFFFFF);

    platform::postClick(dialog(), 380, 370);
    launcher::runMessageLoop();
    EXPECT_EQ(launcher::launcherShutDown(), 0);
    EXPECT_EQ(readSettingsFile(), settingsBytes(1, 1920, 1080, 1, 2, "polski", 1250));
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].file, "valtor_low.exe");
}

TEST_F(LauncherTest, LowerQualitiesOnlyWhenTheAdapterLacksRenderTargets) {
    // Fewer than four render targets: normal is not offered, a stored normal quality becomes low.
    capabilities.simultaneousRenderTargets = 2;
    writeSettingsFile(settingsBytes(0, 1024, 768, 0, 1, "english", 1252));
    startUp();
    EXPECT_EQ(g_launcher.graphicsLevel, 1);
    EXPECT_EQ(entries(launcher::kQualityList), (std::vector<std::string>{"Low", "Very low"}));
    EXPECT_EQ(list(launcher::kQualityList).getCurSel(), 0);
    platform::postCloseRequest(dialog());
    launcher::runMessageLoop();
    launcher::launcherShutDown();
    EXPECT_EQ(readSettingsFile().substr(16, 4), std::string("\x01\0\0\0", 4));

    // No float render targets, stored very low: very low is selected and starts valtor_low2.exe.
    launcher::resetLauncherState();
    capabilities = {8, false, true, platform::kPixelShader2};
    writeSettingsFile(settingsBytes(0, 1024, 768, 2, 1, "english", 1252));
    startUp();
    EXPECT_EQ(list(launcher::kQualityList).getCount(), 2);
    EXPECT_EQ(list(launcher::kQualityList).getCurSel(), 1);
    platform::postClick(dialog(), 300, 350);
    launcher::runMessageLoop();
    launcher::launcherShutDown();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].file, "valtor_low2.exe");
    EXPECT_EQ(readSettingsFile().substr(16, 4), std::string("\x02\0\0\0", 4));
}

TEST_F(LauncherTest, TheStoredResolutionIsSelectedOnlyWhenOffered) {
    writeSettingsFile(settingsBytes(0, 1280, 1024, 0, 1, "english", 1252));
    startUp();
    EXPECT_EQ(entries(launcher::kResolutionList),
              (std::vector<std::string>{"800x600", "1024x768", "1280x1024", "1920x1080"}));
    EXPECT_EQ(list(launcher::kResolutionList).getCurSel(), 2);
    EXPECT_EQ(list(launcher::kResolutionList).rect().y, 178);
    launcher::resetLauncherState();

    // Not offered: the second entry is shown, and stored when the player leaves it.
    writeSettingsFile(settingsBytes(0, 1111, 999, 0, 1, "english", 1252));
    startUp();
    EXPECT_EQ(list(launcher::kResolutionList).getCurSel(), 1);
    platform::postClick(dialog(), 300, 400);
    launcher::runMessageLoop();
    launcher::launcherShutDown();
    EXPECT_EQ(readSettingsFile().substr(8, 8), settingsBytes(0, 1024, 768, 0, 1, "", 0).substr(8, 8));
    launcher::resetLauncherState();

    // One mode only and no match: nothing is selected and the previous size is kept.
    modes = {mode(1600, 900)};
    writeSettingsFile(settingsBytes(0, 1111, 999, 0, 1, "english", 1252));
    startUp();
    EXPECT_EQ(list(launcher::kResolutionList).getCurSel(), -1);
    platform::postClick(dialog(), 300, 400);
    launcher::runMessageLoop();
    launcher::launcherShutDown();
    EXPECT_EQ(readSettingsFile().substr(8, 8), settingsBytes(0, 1111, 999, 0, 1, "", 0).substr(8, 8));
}
