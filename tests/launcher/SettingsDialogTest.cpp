// The settings dialog after start-up: window and list places, click areas, keys, the language check and
// the texts of the lists.
#include "LauncherFixture.h"
#include "mt/localization/Localizator.h"

using launcher::g_launcher;

TEST_F(LauncherTest, DialogIsTemplate101WithTheListsAtTheirPlaces) {
    startUp();
    EXPECT_EQ(dialog().clientWidth(), 438);
    EXPECT_EQ(dialog().clientHeight(), 429);
    EXPECT_EQ(dialog().style(), 0x80880848u);
    EXPECT_TRUE(dialog().isVisible());
    // From the top: resolution, quality, window mode, audio, language.
    const int places[][3] = {{launcher::kResolutionList, 178, 88},
                             {launcher::kQualityList, 235, 110},
                             {launcher::kWindowModeList, 292, 110},
                             {launcher::kAudioList, 348, 130},
                             {launcher::kLanguageList, 401, 110}};
    for (const auto& place : places) {
        platform::Rect rect = list(place[0]).rect();
        EXPECT_EQ(std::vector<int>({rect.x, rect.y, rect.width, rect.height}),
                  std::vector<int>({65, place[1], place[2], 96}))
            << place[0];
    }
    EXPECT_EQ(entries(launcher::kLanguageList),
              (std::vector<std::string>{"english", "deutsch", "polski", "russkij"}));
    EXPECT_EQ(entries(launcher::kWindowModeList), (std::vector<std::string>{"Full screen", "Window"}));
}

TEST_F(LauncherTest, ClickAreasEndTheLoopOnlyInsideTheirBounds) {
    startUp();
    auto click = [this](int x, int y) {
        g_launcher.running = true;
        g_launcher.startRequested = -7;
        platform::postClick(dialog(), x, y);
        pump();
        return std::pair<bool, int>(g_launcher.running, g_launcher.startRequested);
    };
    for (auto [x, y] :
         {std::pair{264, 350}, {396, 350}, {330, 334}, {330, 375}, {285, 400}, {375, 400}, {330, 423}}) {
        EXPECT_EQ(click(x, y), std::pair(true, -7)) << x << "," << y;
    }
    EXPECT_EQ(click(265, 335), std::pair(false, 1));
    EXPECT_EQ(click(395, 374), std::pair(false, 1));
    EXPECT_EQ(click(286, 387), std::pair(false, 0));
    EXPECT_EQ(click(374, 422), std::pair(false, 0));
    // A click on a list goes to the list.
    EXPECT_EQ(click(70, 350), std::pair(true, -7));
    EXPECT_TRUE(list(launcher::kAudioList).isDroppedDown());
}

TEST_F(LauncherTest, EnterAndEscapeDoNothingAndACloseRequestKeepsStartRequested) {
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
    EXPECT_EQ(g_launcher.startRequested, 1);
}

TEST_F(LauncherTest, LanguageChoiceTakesEffectOnlyInTheMessageLoop) {
    startUp();
    list(launcher::kLanguageList).setCurSel(3);
    platform::postMouseMove(dialog(), 300, 100);
    platform::processPendingMessages(&dialog());  // not yet in the loop
    EXPECT_EQ(g_launcher.settings.languageIndex, 0);
    EXPECT_EQ(entries(launcher::kAudioList)[0], "No audio");

    // In the loop the next message, whatever it is, switches: russkij in code page 1251.
    platform::postMouseMove(dialog(), 300, 110);
    pump();
    EXPECT_EQ(g_launcher.settings.codePage, 1251);
    EXPECT_EQ(entries(launcher::kAudioList),
              (std::vector<std::string>{"Без звука", "Аппаратный", "Программный"}));
    EXPECT_EQ(g_launcher.localizator->getFileName(), "lang\\russkij.lng");
}

TEST_F(LauncherTest, LanguageWithoutAPictureShowsTheDialogColourNotTheOldPicture) {
    writeGameFile("languages.txt", "english 1252\nklingon 1252\n");
    startUp();
    auto pixel = [this](int x, int y) { return dialog().capture()[static_cast<size_t>(y) * 438 + x]; };
    const uint32_t kDialogColour = 0xF0F0F0;
    ASSERT_NE(pixel(300, 100), kDialogColour);  // the english picture
    list(launcher::kLanguageList).setCurSel(1);
    platform::postMouseMove(dialog(), 300, 100);
    pump();
    ASSERT_EQ(g_launcher.settings.languageIndex, 1);
    EXPECT_FALSE(g_launcher.backgroundBitmap);
    EXPECT_EQ(pixel(300, 100), kDialogColour);
    EXPECT_EQ(pixel(10, 10), kDialogColour);
}

TEST_F(LauncherTest, LocalizedTextsAreConvertedWithTheLanguagesCodePageAndCut) {
    startUp();
    auto& state = g_launcher;
    state.localizator->reload("lang\\russkij.lng");
    state.settings.codePage = 1251;
    EXPECT_EQ(std::u16string(launcher::localizedText("LAUNCHER_WINDOW")), u"В окне");
    EXPECT_EQ(std::u16string(launcher::localizedText("NO_SUCH_KEY")), u"UNKNOWN_STRING");
    state.settings.codePage = 4242;  // unknown here: the bytes are still shown
    EXPECT_EQ(std::u16string(launcher::localizedText("NO_SUCH_KEY")), u"UNKNOWN_STRING");

    // Longer than the buffer: cut to 1023 characters, never inside a surrogate pair.
    writeGameFile("long.lng", "LONG " + std::string(1500, 'a') + "\nPAIR " + std::string(1022, 'b') +
                                  "\xF0\x9F\x99\x82\n");
    state.localizator->reload("long.lng");
    state.settings.codePage = 1252;
    EXPECT_EQ(std::u16string(launcher::localizedText("LONG")), std::u16string(1023, u'a'));
    state.settings.codePage = 65001;
    EXPECT_EQ(std::u16string(launcher::localizedText("PAIR")), std::u16string(1022, u'b'));
}
