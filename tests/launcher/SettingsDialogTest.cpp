// The settings dialog after start-up: its window and lists, the click areas, keys, the language check and
// the texts of the lists.
#include <cstring>

#include "LauncherFixture.h"
#include "mt/localization/Localizator.h"
#include "platform/CodePage.h"
#include "platform/SyntheticInput.h"

using launcher::g_launcher;

TEST_F(LauncherTest, DialogIsTemplate101WithTheListsAtTheirPlaces) {
    startUp();
    EXPECT_EQ(dialog().clientWidth(), 438);
    EXPECT_EQ(dialog().clientHeight(), 429);
    EXPECT_EQ(dialog().style(), 0x80880848u);
    EXPECT_TRUE(dialog().isVisible());
    const struct {
        int id, y, width;
    } places[] = {{launcher::kResolutionList, 178, 88},
                  {launcher::kQualityList, 235, 110},
                  {launcher::kWindowModeList, 292, 110},
                  {launcher::kAudioList, 348, 130},
                  {launcher::kLanguageList, 401, 110}};
    for (const auto& place : places) {
        platform::Rect rect = list(place.id).rect();
        EXPECT_EQ(rect.x, 65) << place.id;
        EXPECT_EQ(rect.y, place.y) << place.id;
        EXPECT_EQ(rect.width, place.width) << place.id;
        EXPECT_EQ(rect.height, 96) << place.id;
        EXPECT_TRUE(list(place.id).isVisible()) << place.id;
    }
    EXPECT_EQ(entries(launcher::kLanguageList),
              (std::vector<std::string>{"english", "deutsch", "polski", "russkij"}));
    EXPECT_EQ(entries(launcher::kQualityList), (std::vector<std::string>{"Normal", "Low", "Very low"}));
    EXPECT_EQ(entries(launcher::kWindowModeList), (std::vector<std::string>{"Full screen", "Window"}));
    EXPECT_EQ(list(launcher::kAudioList).getCurSel(), 1);
    // The picture covers the client area, top row at the top.
    std::vector<uint32_t> shown = dialog().capture();
    ASSERT_NE(g_launcher.backgroundBitmap, nullptr);
    EXPECT_EQ(shown[3 * 438 + 30], g_launcher.backgroundBitmap->pictureRow(3)[30] & 0xFFFFFF);
    EXPECT_EQ(shown[420 * 438 + 200], g_launcher.backgroundBitmap->pictureRow(420)[200] & 0xFFFFFF);
}

TEST_F(LauncherTest, ClickAreasEndTheLoopOnlyInsideTheirBounds) {
    startUp();
    auto click = [this](int x, int y) {
        g_launcher.running = true;
        g_launcher.startRequested = -7;
        platform::postClick(dialog(), x, y);
        pump();
    };
    for (auto [x, y] : {std::pair{264, 350},
                        {396, 350},
                        {330, 334},
                        {330, 375},
                        {285, 400},
                        {375, 400},
                        {330, 423},
                        {10, 10}}) {
        click(x, y);
        EXPECT_TRUE(g_launcher.running) << x << "," << y;
        EXPECT_EQ(g_launcher.startRequested, -7) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{265, 335}, {395, 374}}) {
        click(x, y);
        EXPECT_FALSE(g_launcher.running) << x << "," << y;
        EXPECT_EQ(g_launcher.startRequested, 1) << x << "," << y;
    }
    for (auto [x, y] : {std::pair{286, 387}, {374, 422}}) {
        click(x, y);
        EXPECT_FALSE(g_launcher.running) << x << "," << y;
        EXPECT_EQ(g_launcher.startRequested, 0) << x << "," << y;
    }
    // A click on a list goes to the list, even over the start area's rows.
    click(70, 350);
    EXPECT_TRUE(g_launcher.running);
    EXPECT_TRUE(list(launcher::kAudioList).isDroppedDown());
}

TEST_F(LauncherTest, EnterEscapeAndCommandsDoNothingButCloseEndsTheLoop) {
    startUp();
    g_launcher.startRequested = 1;
    platform::postKeyPress(dialog(), platform::Key::Return);
    platform::postKeyPress(dialog(), platform::Key::Escape);
    pump();
    EXPECT_TRUE(g_launcher.running);
    EXPECT_TRUE(dialog().isVisible());

    platform::postCloseRequest(dialog());
    pump();
    EXPECT_FALSE(g_launcher.running);
    EXPECT_EQ(g_launcher.startRequested, 1) << "a close request leaves startRequested alone";
}

TEST_F(LauncherTest, LanguageChoiceTakesEffectOnlyInTheMessageLoop) {
    startUp();
    list(launcher::kLanguageList).setCurSel(3);
    g_launcher.inMessageLoop = false;
    platform::postMouseMove(dialog(), 300, 100);
    platform::processPendingMessages(&dialog());
    EXPECT_EQ(g_launcher.settings.languageIndex, 0);
    EXPECT_EQ(entries(launcher::kAudioList)[0], "No audio");

    // The next message in the loop, whatever it is, switches: russkij in code page 1251.
    platform::postMouseMove(dialog(), 300, 110);
    pump();
    EXPECT_EQ(g_launcher.settings.languageIndex, 3);
    EXPECT_EQ(g_launcher.settings.codePage, 1251);
    EXPECT_EQ(entries(launcher::kAudioList),
              (std::vector<std::string>{"Без звука", "Аппаратный", "Программный"}));
    EXPECT_EQ(g_launcher.localizator->getFileName(), "lang\\russkij.lng");

    // A language whose picture is missing: the list texts change, the old picture is dropped.
    g_launcher.languages.names[4].reset(new char[33]());
    std::strcpy(g_launcher.languages.names[4].get(), "klingon");
    g_launcher.languages.codePages[4] = 1252;
    list(launcher::kLanguageList).insertString(4, "klingon");
    list(launcher::kLanguageList).setCurSel(4);
    platform::postMouseMove(dialog(), 300, 120);
    pump();
    EXPECT_EQ(g_launcher.settings.languageIndex, 4);
    EXPECT_EQ(g_launcher.backgroundBitmap, nullptr);
    EXPECT_EQ(entries(launcher::kAudioList)[0], "UNKNOWN_STRING");
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LauncherTest, QualityListFollowsTheGraphicsLevel) {
    startUp();
    auto& state = g_launcher;
    state.settings.quality = 2;
    state.graphicsLevel = 2;
    state.qualityOffset = 0;
    launcher::fillOptionLists(true);
    EXPECT_EQ(list(launcher::kQualityList).getCount(), 3);
    EXPECT_EQ(list(launcher::kQualityList).getCurSel(), 2);

    state.graphicsLevel = 1;
    state.qualityOffset = 1;
    launcher::fillOptionLists(true);
    EXPECT_EQ(entries(launcher::kQualityList), (std::vector<std::string>{"Low", "Very low"}));
    EXPECT_EQ(list(launcher::kQualityList).getCurSel(), 1);
    // Choosing the first entry means quality 1; a refill keeps it.
    list(launcher::kQualityList).setCurSel(0);
    launcher::fillOptionLists(false);
    EXPECT_EQ(state.settings.quality, 1);
    EXPECT_EQ(list(launcher::kQualityList).getCurSel(), 0);

    // Stored values that name no entry leave the lists without a selection.
    state.settings.audioMode = 7;
    state.settings.windowMode = -3;
    state.settings.quality = INT32_MIN;
    launcher::fillOptionLists(true);
    EXPECT_EQ(list(launcher::kAudioList).getCurSel(), -1);
    EXPECT_EQ(list(launcher::kWindowModeList).getCurSel(), -1);
    EXPECT_EQ(list(launcher::kQualityList).getCurSel(), -1);
}

TEST_F(LauncherTest, LocalizedTextsAreConvertedWithTheLanguagesCodePageAndCut) {
    startUp();
    auto& state = g_launcher;
    state.localizator->reload("lang\\russkij.lng");
    state.settings.codePage = 1251;
    EXPECT_EQ(std::u16string(launcher::localizedText("LAUNCHER_WINDOW")), u"В окне");
    EXPECT_EQ(std::u16string(launcher::localizedText("NO_SUCH_KEY")), u"UNKNOWN_STRING");

    // A code page this host does not know still shows the text.
    state.localizator->reload("lang\\english.lng");
    state.settings.codePage = 4242;
    EXPECT_EQ(std::u16string(launcher::localizedText("LAUNCHER_WINDOW")), u"Window");

    // Texts longer than the buffer are cut to 1023 characters, never in the middle of a character.
    std::string longText(1500, 'a');
    writeGameFile("long.lng",
                  "LONG " + longText + "\nPAIR " + std::string(1022, 'b') + "\xF0\x9F\x99\x82" + "\n");
    state.localizator->reload("long.lng");
    state.settings.codePage = 1252;
    const char16_t* text = launcher::localizedText("LONG");
    EXPECT_EQ(std::u16string(text), std::u16string(1023, u'a'));
    state.settings.codePage = 65001;
    EXPECT_EQ(std::u16string(launcher::localizedText("PAIR")), std::u16string(1022, u'b'));
}
