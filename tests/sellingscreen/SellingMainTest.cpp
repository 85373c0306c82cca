// The whole program without a display: SDL's dummy video driver, input pushed while its loop runs, the
// shell replaced so that the browser start is recorded, and the current directory set to a copy of the
// sample game folder (or a folder made by the test).
#include "sellingscreen/SellingMain.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "file/TempDir.h"
#include "mt/core/ServiceRegistry.h"
#include "mt/file/FileManager.h"
#include "platform/Dialog.h"
#include "platform/MessageBox.h"
#include "platform/MessageLoop.h"
#include "platform/SyntheticInput.h"
#include "sellingscreen/RecordingShell.h"
#include "sellingscreen/SellingScreen.h"

namespace {

const std::string kGame = MT_BINARY_DIR "/game";
using Step = std::function<void(platform::Dialog&)>;

class SellingMainTest : public testing::Test {
  protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 0);
        setenv("SDL_RENDER_DRIVER", "software", 0);
        char cwd[4096];
        ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
        previousDirectory = cwd;
        ASSERT_EQ(chdir(folder.path().c_str()), 0);
        previousBoxes = platform::setMessageBoxHandler([this](const std::string& text, const std::string&) {
            boxes.push_back(text);
            return platform::kMessageBoxOk;
        });
    }
    void TearDown() override {
        EXPECT_EQ(chdir(previousDirectory.c_str()), 0);
        platform::setMessageBoxHandler(previousBoxes);
    }

    void copyGameArchives() {
        for (const char* archive : {"data.pak", "data2.pak", "site.pak"}) {
            std::filesystem::copy_file(kGame + "/" + archive, folder.path(archive));
        }
    }

    // Runs the program; steps[n] runs after pass n of its loop. Pass 0 also starts recording the files
    // that are opened from then on. A run that the steps do not end is ended after 500 passes.
    int run(std::map<int, Step> steps) {
        quits = 0;
        int result = selling::runSellingScreen([&](platform::Dialog& dialog, int pass) {
            if (pass == 0) {
                auto* files = static_cast<mt::file::FileManager*>(mt::findService(mt::SERVICE_FILE_MANAGER));
                ASSERT_NE(files, nullptr);
                files->setRecordOpenedFiles(true);
            }
            auto step = steps.find(pass);
            if (step != steps.end())
                step->second(dialog);
            if (pass > 500) {
                ADD_FAILURE() << "the screen did not end";
                selling::screenRunning = false;
            }
        });
        // What the program leaves queued: the quit message of the dialog's destruction, nobody reads it.
        platform::Message message;
        while (platform::peekMessage(message)) {
            if (message.type == platform::MessageType::Quit && message.wParam == 0)
                ++quits;
        }
        return result;
    }

    // Files opened after the dialog was shown.
    std::vector<std::string> openedFiles() {
        std::vector<std::string> names;
        auto* files = static_cast<mt::file::FileManager*>(mt::findService(mt::SERVICE_FILE_MANAGER));
        if (files != nullptr) {
            for (const mt::String& name : files->getOpenedFiles())
                names.emplace_back(name.cstr());
        }
        return names;
    }

    static uint32_t pixel(platform::Dialog& dialog, int x, int y) {
        return dialog.capture().at(static_cast<size_t>(y) * dialog.clientWidth() + x) & 0xFFFFFF;
    }

    TempDir folder;
    std::string previousDirectory;
    platform::MessageBoxHandler previousBoxes;
    std::vector<std::string> boxes;
    RecordingShell shell{"browser"};
    int quits = 0;
};

}  // namespace

TEST_F(SellingMainTest, HoverLightsTheBuyButtonAndABuyClickOpensTheShopFromTheArchives) {
    copyGameArchives();
    bool sawLit = false;
    bool sawDark = false;
    int result = run({
        {0,
         [&](platform::Dialog& dialog) {
             EXPECT_TRUE(dialog.isVisible());
             EXPECT_EQ(dialog.clientWidth(), 440);
             ASSERT_NE(selling::backgroundBitmap, nullptr);
             ASSERT_NE(selling::buyButtonBitmap, nullptr);
             ASSERT_NE(selling::closeButtonBitmap, nullptr);
             EXPECT_EQ(pixel(dialog, 5, 5), selling::backgroundBitmap->pictureRow(5)[5] & 0xFFFFFF);
             platform::postMouseMove(dialog, 300, 470);
         }},
        {2,
         [&](platform::Dialog& dialog) {
             EXPECT_EQ(selling::hoverButton, selling::kBuyButton);
             // The lit picture is shown at 234,418 and differs from the background there.
             const platform::Bitmap& lit = *selling::buyButtonBitmap;
             int differing = 0;
             for (int y = 0; y < lit.height(); y += 5) {
                 for (int x = 0; x < lit.width(); x += 5) {
                     uint32_t shown = pixel(dialog, 234 + x, 418 + y);
                     EXPECT_EQ(shown, lit.pictureRow(y)[x] & 0xFFFFFF) << x << "," << y;
                     differing +=
                         shown != (selling::backgroundBitmap->pictureRow(418 + y)[234 + x] & 0xFFFFFF);
                 }
             }
             sawLit = differing > 0;
             platform::postMouseMove(dialog, 100, 100);
         }},
        {4,
         [&](platform::Dialog& dialog) {
             EXPECT_EQ(selling::hoverButton, selling::kNoButton);
             sawDark =
                 pixel(dialog, 300, 470) == (selling::backgroundBitmap->pictureRow(470)[300] & 0xFFFFFF);
             platform::postClick(dialog, 360, 493);
         }},
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(sawLit);
    EXPECT_TRUE(sawDark);
    EXPECT_EQ(selling::sellingChoice, 1);
    EXPECT_EQ(shell.started, std::vector<std::string>{"browser https://shop.example.com/valtor"});
    EXPECT_EQ(openedFiles(), std::vector<std::string>{"url.xml"});
    EXPECT_EQ(selling::backgroundBitmap, nullptr);  // deleted with the dialog
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SellingMainTest, CloseButtonAndCloseRequestReadNothingAndStartNothing) {
    copyGameArchives();
    const std::map<std::string, Step> endings = {
        {"close box", [](platform::Dialog& dialog) { platform::postCloseRequest(dialog); }},
        {"Alt+F4",
         [](platform::Dialog& dialog) {
             platform::postKeyPress(dialog, platform::Key::F4, platform::kModifierAlt);
         }},
        {"close button", [](platform::Dialog& dialog) { platform::postClick(dialog, 429, 489); }},
        {"close after hovering the buy button",
         [](platform::Dialog& dialog) {
             platform::postMouseMove(dialog, 300, 470);
             platform::postClick(dialog, 230, 470);  // just beside it: nothing
             platform::postCloseRequest(dialog);
         }},
    };
    for (const auto& [name, ending] : endings) {
        SCOPED_TRACE(name);
        EXPECT_EQ(run({{0, ending}}), 0);
        EXPECT_EQ(selling::sellingChoice, 0);
        EXPECT_TRUE(openedFiles().empty());
        EXPECT_EQ(quits, 1);
    }
    EXPECT_TRUE(shell.started.empty());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SellingMainTest, WithoutArchivesTheScreenStillReactsAndEndsQuietly) {
    // No pictures, no address: a damaged site.pak and nothing else.
    std::FILE* damaged = std::fopen(folder.path("site.pak").c_str(), "wb");
    ASSERT_NE(damaged, nullptr);
    std::fputs("not an archive", damaged);
    std::fclose(damaged);
    int result = run({{0,
                       [](platform::Dialog& dialog) {
                           EXPECT_EQ(selling::backgroundBitmap, nullptr);
                           platform::postMouseMove(dialog, 300, 470);
                       }},
                      {2, [](platform::Dialog& dialog) {
                           EXPECT_EQ(selling::hoverButton, selling::kBuyButton);
                           platform::postClick(dialog, 231, 446);
                       }}});
    EXPECT_EQ(result, 0);
    EXPECT_EQ(selling::sellingChoice, 1);
    EXPECT_EQ(openedFiles(), std::vector<std::string>{"url.xml"});  // looked for, not found
    EXPECT_TRUE(shell.started.empty());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(SellingMainTest, KeyboardReachesTheButtonsWhichLightWithTheFocus) {
    copyGameArchives();
    bool litWithFocus = false;
    int result = run({
        {0, [](platform::Dialog& dialog) { platform::postKeyPress(dialog, platform::Key::Tab); }},
        {2,
         [&](platform::Dialog& dialog) {
             EXPECT_EQ(dialog.focusedArea(), 0);
             EXPECT_EQ(selling::hoverButton, selling::kBuyButton);
             // The lit picture is shown, as under the pointer, with the ring around the button.
             litWithFocus = pixel(dialog, 234 + 20, 418 + 40) ==
                            (selling::buyButtonBitmap->pictureRow(40)[20] & 0xFFFFFF);
             EXPECT_EQ(pixel(dialog, 229, 444), platform::kHighlightColour);
             platform::postKeyPress(dialog, platform::Key::Tab);
         }},
        {4,
         [&](platform::Dialog& dialog) {
             EXPECT_EQ(selling::hoverButton, selling::kCloseButton);
             platform::postKeyPress(dialog, platform::Key::Tab);  // round to the buy button again
             platform::postKeyPress(dialog, platform::Key::Return);
         }},
    });
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(litWithFocus);
    EXPECT_EQ(selling::sellingChoice, 1);
    EXPECT_EQ(shell.started, std::vector<std::string>{"browser https://shop.example.com/valtor"});

    // The close button with Space, and the controller's Back: nothing read, nothing started.
    shell.started.clear();
    EXPECT_EQ(run({{0,
                    [](platform::Dialog& dialog) {
                        platform::postKeyPress(dialog, platform::Key::Tab, platform::kModifierShift);
                        platform::postKeyPress(dialog, platform::Key::Space);
                    }}}),
              0);
    EXPECT_EQ(selling::sellingChoice, 0);
    EXPECT_TRUE(openedFiles().empty());
    int pad = -1;
    EXPECT_EQ(run({{0, [&](platform::Dialog&) { pad = platform::attachVirtualController(); }},
                   {2,
                    [&](platform::Dialog&) {
                        platform::setControllerButton(pad, platform::ControllerButton::Back, true);
                    }}}),
              0);
    platform::detachVirtualController(pad);
    EXPECT_EQ(selling::sellingChoice, 0);
    EXPECT_TRUE(shell.started.empty());
}

TEST_F(SellingMainTest, ControllerStartBuysAndATapOnTheBuyButtonBuys) {
    copyGameArchives();
    int pad = -1;
    EXPECT_EQ(run({{0, [&](platform::Dialog&) { pad = platform::attachVirtualController(); }},
                   {2,
                    [&](platform::Dialog&) {
                        platform::setControllerButton(pad, platform::ControllerButton::Start, true);
                    }}}),
              0);
    platform::detachVirtualController(pad);
    EXPECT_EQ(selling::sellingChoice, 1);
    EXPECT_EQ(run({{0, [](platform::Dialog& dialog) { platform::postTap(dialog, 360, 493); }}}), 0);
    EXPECT_EQ(selling::sellingChoice, 1);
    EXPECT_EQ(shell.started, (std::vector<std::string>{"browser https://shop.example.com/valtor",
                                                       "browser https://shop.example.com/valtor"}));
}
