#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "DialogFixture.h"
#include "platform/MessageBox.h"
#include "platform/MessageLoop.h"
#include "platform/SyntheticInput.h"

namespace {

struct Shown {
    std::string text;
    std::string caption;
};

class MessageBoxTest : public DialogFixture {
  protected:
    void SetUp() override {
        DialogFixture::SetUp();
        previous_ =
            platform::setMessageBoxHandler([this](const std::string& text, const std::string& caption) {
                shown_.push_back({text, caption});
                return platform::kMessageBoxOk;
            });
    }
    void TearDown() override {
        platform::setMessageBoxHandler(previous_);
        DialogFixture::TearDown();
    }

    std::vector<Shown> shown_;
    platform::MessageBoxHandler previous_;
};

}  // namespace

TEST_F(MessageBoxTest, HandlerSeesBothTextFormsAsUtf8) {
    EXPECT_EQ(platform::messageBox("Unable to create bitmap", "Error"), platform::kMessageBoxOk);
    EXPECT_EQ(platform::messageBox(u"DirectX 9 is needed to run this program.", u"Error"),
              platform::kMessageBoxOk);
    EXPECT_EQ(platform::messageBox(u"Grafikkarte zu schwach: Größe", u"Valtor"), platform::kMessageBoxOk);
    EXPECT_EQ(platform::messageBox(nullptr, static_cast<const char*>(nullptr)), platform::kMessageBoxOk);
    ASSERT_EQ(shown_.size(), 4u);
    EXPECT_EQ(shown_[0].text, "Unable to create bitmap");
    EXPECT_EQ(shown_[0].caption, "Error");
    EXPECT_EQ(shown_[1].text, "DirectX 9 is needed to run this program.");
    EXPECT_EQ(shown_[2].text, "Grafikkarte zu schwach: Größe");
    EXPECT_EQ(shown_[2].caption, "Valtor");
    EXPECT_EQ(shown_[3].text, "");
    // Invalid 8-bit text reaches the box as valid UTF-8.
    platform::messageBox("bad \xFF byte", "x");
    EXPECT_EQ(shown_.back().text, "bad \xEF\xBF\xBD byte");
}

TEST_F(MessageBoxTest, InputQueuedWhileTheBoxIsUpIsDiscarded) {
    platform::Dialog* dialog = makeLauncherDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->show();
    pump(dialog);
    received_.clear();
    ASSERT_TRUE(platform::postClick(*dialog, 300, 350));
    ASSERT_TRUE(platform::postKeyPress(*dialog, platform::Key::Return));
    ASSERT_TRUE(platform::postCloseRequest(*dialog));
    platform::messageBox("Modal", "Box");
    pump(dialog);
    // Clicks and keys are gone; the close request (a window event, not input) still arrives.
    EXPECT_EQ(count(platform::MessageType::LeftButtonDown), 0);
    EXPECT_EQ(count(platform::MessageType::Command), 0);
    EXPECT_EQ(count(platform::MessageType::Close), 1);
}

TEST_F(MessageBoxTest, HostBoxWithoutDisplayReturnsAtOnce) {
    platform::setMessageBoxHandler(nullptr);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(platform::messageBox("no display here", "Test"), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(shown_.empty());
}

TEST_F(MessageBoxTest, ABoxFromAnotherThreadLeavesTheDialogsQueueAlone) {
    platform::Dialog* dialog = makeLauncherDialog();
    ASSERT_NE(dialog, nullptr);
    pump(dialog);
    received_.clear();
    platform::postMessage(dialog, platform::MessageType::LeftButtonDown, 0, platform::packPoint(300, 10));
    std::thread([] { platform::messageBox("from a worker", "Duplicate translation!!"); }).join();
    pump(dialog);
    EXPECT_EQ(count(platform::MessageType::LeftButtonDown), 1);
    ASSERT_EQ(shown_.size(), 1u);
    EXPECT_EQ(shown_[0].caption, "Duplicate translation!!");

    platform::postMessage(dialog, platform::MessageType::LeftButtonDown, 0, platform::packPoint(300, 10));
    platform::messageBox("from the dialogs' thread", "x");
    pump(dialog);
    EXPECT_EQ(count(platform::MessageType::LeftButtonDown), 1);
}

TEST_F(MessageBoxTest, DialogsArePaintedWhileTheBoxIsUp) {
    platform::Dialog* dialog = makeLauncherDialog();
    ASSERT_NE(dialog, nullptr);
    dialog->show();
    pump(dialog);
    std::atomic<int> paints{0};
    onMessage = [&](platform::Dialog& target, const platform::Message& message) {
        if (message.type == platform::MessageType::Paint) {
            target.beginPaint();
            target.endPaint();
            ++paints;
        }
        return message.type != platform::MessageType::Command;
    };
    dialog->invalidate();
    // The box waits until the dialog behind it has been painted (or gives up after two seconds).
    bool paintedMeanwhile = false;
    platform::setMessageBoxHandler([&](const std::string&, const std::string&) {
        for (int i = 0; i < 200 && paints == 0; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        paintedMeanwhile = paints > 0;
        return platform::kMessageBoxOk;
    });
    EXPECT_EQ(platform::messageBox("Modal", "Box"), platform::kMessageBoxOk);
    EXPECT_TRUE(paintedMeanwhile);
    EXPECT_FALSE(dialog->isInvalid());
}
