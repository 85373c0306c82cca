#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "DialogFixture.h"
#include "platform/ComboBox.h"
#include "platform/SyntheticInput.h"

using platform::ComboBox;
using platform::MessageType;

namespace {

using Commands = std::vector<std::pair<int, int>>;

class ComboBoxTest : public DialogFixture {
  protected:
    void SetUp() override {
        DialogFixture::SetUp();
        dialog_ = makeLauncherDialog();
        ASSERT_NE(dialog_, nullptr);
        dialog_->show();
        pump(dialog_);
        received_.clear();
    }

    ComboBox& list(int id) { return *dialog_->comboBox(id); }

    void fill(int id, int entries) {
        for (int i = 0; i < entries; ++i) {
            list(id).insertString(-1, ("entry " + std::to_string(i)).c_str());
        }
    }

    // Client position of the middle of entry `index` in an open list.
    std::pair<int, int> entryPoint(ComboBox& combo, int index) {
        platform::Rect area = combo.listRect();
        int row = index - combo.topIndex();
        return {area.x + 10, area.y + 1 + row * combo.itemHeight() + combo.itemHeight() / 2};
    }

    void clickField(ComboBox& combo) {
        platform::Rect field = combo.fieldRect();
        platform::postClick(*dialog_, field.x + 5, field.y + field.height / 2);
        pump(dialog_);
    }

    int mouseMessagesSeen() const {
        return count(MessageType::LeftButtonDown) + count(MessageType::LeftButtonUp) +
               count(MessageType::MouseMove) + count(MessageType::MouseWheel);
    }

    platform::Dialog* dialog_ = nullptr;
};

}  // namespace

TEST_F(ComboBoxTest, InsertByIndexKeepsTheSelectedEntry) {
    ComboBox& combo = list(1004);
    EXPECT_EQ(combo.insertString(-1, "a"), 0);
    EXPECT_EQ(combo.insertString(-1, u"c"), 1);
    EXPECT_EQ(combo.insertString(1, "b"), 1);
    EXPECT_EQ(combo.insertString(4, "beyond"), ComboBox::kError);
    EXPECT_EQ(combo.insertString(-5, "negative"), ComboBox::kError);
    ASSERT_EQ(combo.getCount(), 3);
    EXPECT_EQ(combo.getText(0), "a");
    EXPECT_EQ(combo.getText(1), "b");
    EXPECT_EQ(combo.getText(2), "c");
    EXPECT_EQ(combo.getText(3), "");
    EXPECT_EQ(combo.getCurSel(), -1);

    EXPECT_EQ(combo.setCurSel(2), 2);
    EXPECT_EQ(combo.insertString(0, u"Größe"), 0);  // before the selection: it moves along
    EXPECT_EQ(combo.getCurSel(), 3);
    EXPECT_EQ(combo.getText(3), "c");
    EXPECT_EQ(combo.getTextUtf16(0), u"Größe");
    combo.insertString(-1, "after");  // after it: no change
    EXPECT_EQ(combo.getCurSel(), 3);

    EXPECT_EQ(combo.setCurSel(9), ComboBox::kError);  // names no entry: no selection
    EXPECT_EQ(combo.getCurSel(), -1);
    combo.setCurSel(1);
    EXPECT_EQ(combo.setCurSel(-1), ComboBox::kError);
    EXPECT_EQ(combo.getCurSel(), -1);
    combo.setCurSel(1);
    combo.resetContent();
    EXPECT_EQ(combo.getCount(), 0);
    EXPECT_EQ(combo.getCurSel(), -1);
    pump(dialog_);
    EXPECT_TRUE(commands().empty());  // the program's own changes notify nobody
}

TEST_F(ComboBoxTest, ClickOpensBelowAndAClickOnAnEntrySelectsIt) {
    ComboBox& combo = list(1004);
    fill(1004, 8);
    combo.setCurSel(1);
    clickField(combo);
    ASSERT_TRUE(combo.isDroppedDown());
    EXPECT_FALSE(combo.opensUpward());
    platform::Rect field = combo.fieldRect();
    platform::Rect area = combo.listRect();
    EXPECT_EQ(area.y, field.y + field.height);
    EXPECT_EQ(area.x, 65);
    EXPECT_EQ(area.width, 88);
    EXPECT_EQ(combo.hotIndex(), 1);  // the selection is highlighted when the list opens
    EXPECT_EQ(commands(), (Commands{{1004, platform::kNotifyDropDown}}));

    auto [x, y] = entryPoint(combo, 3);
    platform::postMouseMove(*dialog_, x, y);
    pump(dialog_);
    EXPECT_EQ(combo.hotIndex(), 3);
    platform::postClick(*dialog_, x, y);
    pump(dialog_);
    EXPECT_FALSE(combo.isDroppedDown());
    EXPECT_EQ(combo.getCurSel(), 3);
    EXPECT_EQ(commands(), (Commands{{1004, platform::kNotifyDropDown},
                                    {1004, platform::kNotifyCloseUp},
                                    {1004, platform::kNotifySelectionChange}}));
    EXPECT_EQ(mouseMessagesSeen(), 0);  // the list's clicks never reach the procedure
    EXPECT_EQ(dialog_->focusedControl(), 1004);

    // Choosing the entry that is already selected closes without a change notification.
    clickField(combo);
    std::tie(x, y) = entryPoint(combo, 3);
    platform::postClick(*dialog_, x, y);
    pump(dialog_);
    EXPECT_EQ(commands().back(), (std::pair<int, int>{1004, platform::kNotifyCloseUp}));
}

TEST_F(ComboBoxTest, PressOnTheBoxAndReleaseOnAnEntrySelectsIt) {
    ComboBox& combo = list(1008);
    fill(1008, 2);
    platform::Rect field = combo.fieldRect();
    platform::postMouseButton(*dialog_, field.x + 5, field.y + 5, true);
    pump(dialog_);
    ASSERT_TRUE(combo.isDroppedDown());
    auto [x, y] = entryPoint(combo, 1);
    platform::postMouseMove(*dialog_, x, y);
    platform::postMouseButton(*dialog_, x, y, false);
    pump(dialog_);
    EXPECT_FALSE(combo.isDroppedDown());
    EXPECT_EQ(combo.getCurSel(), 1);

    // Released on the box itself, the list stays open for a second click.
    platform::postClick(*dialog_, field.x + 5, field.y + 5);
    pump(dialog_);
    EXPECT_TRUE(combo.isDroppedDown());
}

TEST_F(ComboBoxTest, AClickElsewhereOnlyClosesTheOpenList) {
    ComboBox& combo = list(1005);
    fill(1005, 3);
    combo.setCurSel(0);
    clickField(combo);
    ASSERT_TRUE(combo.isDroppedDown());
    platform::postClick(*dialog_, 300, 350);  // the start area of the picture
    pump(dialog_);
    EXPECT_FALSE(combo.isDroppedDown());
    EXPECT_EQ(combo.getCurSel(), 0);
    EXPECT_EQ(mouseMessagesSeen(), 0);
    // The next click is the dialog's again, with its client position.
    platform::postClick(*dialog_, 300, 350);
    pump(dialog_);
    ASSERT_EQ(count(MessageType::LeftButtonDown), 1);
    EXPECT_EQ(received_[received_.size() - 2].lParam, platform::packPoint(300, 350));
    // A click on the box of an open list closes it too.
    clickField(combo);
    clickField(combo);
    EXPECT_FALSE(combo.isDroppedDown());
}

TEST_F(ComboBoxTest, OpensUpwardWhereItDoesNotFitBelow) {
    ComboBox& language = list(1006);  // its box ends 7 pixels above the dialog's bottom
    language.insertString(-1, "english");
    language.insertString(-1, "deutsch");
    language.insertString(-1, "polski");
    language.setCurSel(0);
    clickField(language);
    ASSERT_TRUE(language.isDroppedDown());
    EXPECT_TRUE(language.opensUpward());
    platform::Rect area = language.listRect();
    EXPECT_EQ(area.y + area.height, language.fieldRect().y);
    EXPECT_EQ(area.height, 3 * language.itemHeight() + 2);
    auto [x, y] = entryPoint(language, 2);
    platform::postClick(*dialog_, x, y);
    pump(dialog_);
    EXPECT_EQ(language.getCurSel(), 2);
    EXPECT_EQ(commands().back(), (std::pair<int, int>{1006, platform::kNotifySelectionChange}));

    // Room on neither side: the roomier side, with as many entries as fit.
    language.resetContent();
    fill(1006, 40);
    language.move(65, 150, 110, 1000);
    clickField(language);
    area = language.listRect();
    EXPECT_FALSE(language.opensUpward());
    EXPECT_LE(area.y + area.height, dialog_->clientHeight());
    EXPECT_GT(area.height, dialog_->clientHeight() / 2);
}

TEST_F(ComboBoxTest, KeyboardStepsThroughEntriesAndTabMovesTheFocus) {
    ComboBox& resolution = list(1004);
    fill(1004, 4);
    resolution.setCurSel(0);
    EXPECT_EQ(dialog_->focusedControl(), 1004);  // the first list has the focus from the start
    auto press = [&](uint32_t key, intptr_t modifiers = 0) {
        platform::postKeyPress(*dialog_, key, modifiers);
        pump(dialog_);
    };
    press(platform::Key::Down);
    EXPECT_EQ(resolution.getCurSel(), 1);
    press(platform::Key::Up);
    press(platform::Key::Up);  // already at the top: nothing changes, nothing is sent
    EXPECT_EQ(resolution.getCurSel(), 0);
    press(platform::Key::End);
    EXPECT_EQ(resolution.getCurSel(), 3);
    EXPECT_EQ(commands(), (Commands{{1004, 1}, {1004, 1}, {1004, 1}}));

    // Open with F4, move the highlight, Escape: no change. Open again, Enter: chosen.
    press(platform::Key::F4);
    ASSERT_TRUE(resolution.isDroppedDown());
    press(platform::Key::Home);
    EXPECT_EQ(resolution.hotIndex(), 0);
    EXPECT_EQ(resolution.getCurSel(), 3);
    press(platform::Key::Escape);
    EXPECT_FALSE(resolution.isDroppedDown());
    EXPECT_EQ(resolution.getCurSel(), 3);
    press(platform::Key::Down, platform::kModifierAlt);
    press(platform::Key::Up);
    press(platform::Key::Return);
    EXPECT_FALSE(resolution.isDroppedDown());
    EXPECT_EQ(resolution.getCurSel(), 2);
    EXPECT_EQ(count(MessageType::KeyDown), 0);              // every key was the list's
    EXPECT_EQ(count(MessageType::Command), 3 + 2 + 2 + 1);  // no OK or Cancel among them

    // Tab follows the template order (1004, 1005, 1006, 1007, 1008) and wraps; Shift+Tab goes back.
    press(platform::Key::Tab);
    EXPECT_EQ(dialog_->focusedControl(), 1005);
    press(platform::Key::Tab, platform::kModifierShift);
    press(platform::Key::Tab, platform::kModifierShift);
    EXPECT_EQ(dialog_->focusedControl(), 1008);
    press(platform::Key::Tab);
    EXPECT_EQ(dialog_->focusedControl(), 1004);
}

TEST_F(ComboBoxTest, WheelOverAListChangesItsSelection) {
    ComboBox& quality = list(1007);
    fill(1007, 3);
    quality.setCurSel(1);
    platform::Rect field = quality.fieldRect();
    platform::postWheel(*dialog_, field.x + 5, field.y + 5, -1);  // towards the user: next entry
    pump(dialog_);
    EXPECT_EQ(quality.getCurSel(), 2);
    platform::postWheel(*dialog_, field.x + 5, field.y + 5, 2);
    pump(dialog_);
    EXPECT_EQ(quality.getCurSel(), 0);
    EXPECT_EQ(commands(), (Commands{{1007, 1}, {1007, 1}}));
    EXPECT_EQ(mouseMessagesSeen(), 0);
    platform::postWheel(*dialog_, 300, 20, -1);  // not over a list: the dialog's
    pump(dialog_);
    EXPECT_EQ(quality.getCurSel(), 0);
    EXPECT_EQ(count(MessageType::MouseWheel), 1);
}

TEST_F(ComboBoxTest, AltF4ClosesTheWindowAlsoFromAFocusedOrOpenList) {
    ComboBox& resolution = list(1004);
    fill(1004, 3);
    ASSERT_EQ(dialog_->focusedControl(), 1004);
    onMessage = [](platform::Dialog&, const platform::Message& message) {  // keys get the default handling
        return message.type != MessageType::KeyDown && message.type != MessageType::Command;
    };
    platform::postKeyPress(*dialog_, platform::Key::F4, platform::kModifierAlt);
    pump(dialog_);
    EXPECT_FALSE(resolution.isDroppedDown());
    EXPECT_EQ(count(MessageType::Close), 1);

    platform::postKeyPress(*dialog_, platform::Key::F4);  // F4 alone is the list's
    pump(dialog_);
    ASSERT_TRUE(resolution.isDroppedDown());
    platform::postKeyPress(*dialog_, platform::Key::F4, platform::kModifierAlt);
    pump(dialog_);
    EXPECT_EQ(count(MessageType::Close), 2);
}

TEST_F(ComboBoxTest, OpenListShowsTheEntryTheKeysMovedToInItsBox) {
    ComboBox& resolution = list(1004);
    fill(1004, 4);
    platform::Rect field = resolution.fieldRect();
    auto fieldPixels = [&] {
        std::vector<uint32_t> all = dialog_->capture();
        std::vector<uint32_t> part;
        for (int y = field.y; y < field.y + field.height; ++y) {
            for (int x = field.x; x < field.x + field.width; ++x) {
                part.push_back(all[static_cast<size_t>(y) * dialog_->clientWidth() + x]);
            }
        }
        return part;
    };
    // The box of the open list with entry 2 selected ...
    resolution.setCurSel(2);
    resolution.showDropDown(true);
    std::vector<uint32_t> showingTwo = fieldPixels();
    resolution.showDropDown(false);
    // ... is what the box shows after the keys moved from entry 0 to entry 2; the selection only
    // changes with Enter.
    resolution.setCurSel(0);
    resolution.showDropDown(true);
    std::vector<uint32_t> showingZero = fieldPixels();
    ASSERT_NE(showingZero, showingTwo);
    platform::postKeyPress(*dialog_, platform::Key::Down);
    platform::postKeyPress(*dialog_, platform::Key::Down);
    pump(dialog_);
    EXPECT_EQ(fieldPixels(), showingTwo);
    EXPECT_EQ(resolution.getCurSel(), 0);
    // Escape: the box shows the selection again.
    platform::postKeyPress(*dialog_, platform::Key::Escape);
    pump(dialog_);
    resolution.showDropDown(true);
    EXPECT_EQ(fieldPixels(), showingZero);
}

TEST_F(ComboBoxTest, HugeWheelCountsMoveToTheEndsOfTheList) {
    ComboBox& quality = list(1007);
    fill(1007, 3);
    platform::Rect field = quality.fieldRect();
    quality.setCurSel(2);
    platform::postWheel(*dialog_, field.x + 5, field.y + 5, INT32_MAX);  // away from the user: up
    pump(dialog_);
    EXPECT_EQ(quality.getCurSel(), 0);
    platform::postWheel(*dialog_, field.x + 5, field.y + 5, INT32_MIN);
    pump(dialog_);
    EXPECT_EQ(quality.getCurSel(), 2);
}

TEST_F(ComboBoxTest, LongListsScroll) {
    ComboBox& resolution = list(1004);
    fill(1004, 30);
    resolution.setCurSel(0);
    clickField(resolution);
    ASSERT_TRUE(resolution.isDroppedDown());
    EXPECT_EQ(resolution.listRect().height, 5 * resolution.itemHeight() + 2);  // 96 - 21 pixels of list
    platform::postKeyPress(*dialog_, platform::Key::End);
    pump(dialog_);
    EXPECT_EQ(resolution.hotIndex(), 29);
    EXPECT_EQ(resolution.topIndex(), 25);
    platform::Rect area = resolution.listRect();
    platform::postWheel(*dialog_, area.x + 5, area.y + 5, 2);
    pump(dialog_);
    EXPECT_EQ(resolution.topIndex(), 19);
    // The scroll bar's top arrow, then the track below the thumb.
    int barX = area.x + area.width - 8;
    platform::postClick(*dialog_, barX, area.y + 4);
    pump(dialog_);
    EXPECT_EQ(resolution.topIndex(), 18);
    platform::postClick(*dialog_, barX, area.y + area.height - 20);
    pump(dialog_);
    EXPECT_EQ(resolution.topIndex(), 22);
    EXPECT_TRUE(resolution.isDroppedDown());
    auto [x, y] = entryPoint(resolution, 24);
    platform::postClick(*dialog_, x, y);
    pump(dialog_);
    EXPECT_EQ(resolution.getCurSel(), 24);
}

TEST_F(ComboBoxTest, TypedLettersPickEntriesByTheirFirstLetter) {
    ComboBox& language = list(1006);
    for (const char* name : {"english", "Deutsch", "polski", "dansk"}) {
        language.insertString(-1, name);
    }
    language.setCurSel(0);
    ASSERT_TRUE(dialog_->setFocus(1006));
    platform::postKeyPress(*dialog_, 'D', 0, "d");
    pump(dialog_);
    EXPECT_EQ(language.getCurSel(), 1);
    platform::postKeyPress(*dialog_, 'D', platform::kModifierShift, "D");
    pump(dialog_);
    EXPECT_EQ(language.getCurSel(), 3);
    platform::postKeyPress(*dialog_, 'Q', 0, "q");
    pump(dialog_);
    EXPECT_EQ(language.getCurSel(), 3);
    EXPECT_EQ(count(MessageType::Char), 0);
}

TEST_F(ComboBoxTest, HiddenListsTakeNoInputAndNoFocus) {
    ComboBox& language = list(1006);
    language.insertString(-1, "english");
    ASSERT_TRUE(dialog_->setFocus(1006));
    language.show(false);
    EXPECT_NE(dialog_->focusedControl(), 1006);
    EXPECT_FALSE(dialog_->setFocus(1006));
    platform::Rect field = language.fieldRect();
    platform::postClick(*dialog_, field.x + 5, field.y + 5);
    pump(dialog_);
    EXPECT_FALSE(language.isDroppedDown());
    EXPECT_EQ(count(MessageType::LeftButtonDown), 1);  // the dialog's now
    for (int i = 0; i < 5; ++i) {
        platform::postKeyPress(*dialog_, platform::Key::Tab);
        pump(dialog_);
        EXPECT_NE(dialog_->focusedControl(), 1006);
    }
}

TEST_F(ComboBoxTest, TheProcedureMayRefillListsWhileANotificationRuns) {
    // What a language switch does: on the language list's change, refill another list in place.
    fill(1006, 2);
    fill(1005, 3);
    list(1005).setCurSel(2);
    onMessage = [this](platform::Dialog&, const platform::Message& message) {
        if (message.type == MessageType::Command && platform::commandCode(message.wParam) == 1) {
            int kept = list(1005).getCurSel();
            list(1005).resetContent();
            for (int i = 0; i < 3; ++i) {
                list(1005).insertString(i, (u"Eintrag " + std::u16string(1, u'0' + i)).c_str());
            }
            list(1005).setCurSel(kept);
            list(1006).resetContent();  // even the list that is notifying
        }
        return false;
    };
    dialog_->setFocus(1006);
    platform::postKeyPress(*dialog_, platform::Key::Down);
    pump(dialog_);
    EXPECT_EQ(list(1005).getText(2), "Eintrag 2");
    EXPECT_EQ(list(1005).getCurSel(), 2);
    EXPECT_EQ(list(1006).getCount(), 0);
}

TEST_F(ComboBoxTest, DrawsTheBoxTheOpenListAndTheHighlight) {
    ComboBox& combo = list(1004);
    fill(1004, 6);
    combo.setCurSel(2);
    platform::postFocusChange(*dialog_, true);
    pump(dialog_);
    std::vector<uint32_t> closed = dialog_->capture();
    auto at = [&](const std::vector<uint32_t>& pixels, int x, int y) { return pixels[y * 438 + x]; };
    platform::Rect field = combo.fieldRect();
    // A frame around the box, the focused box's text area in the highlight colour, and a drop button
    // that is neither the box's white nor the picture below.
    const uint32_t white = 0xFFFFFF;
    const uint32_t picture = at(closed, field.x - 3, field.y);
    EXPECT_NE(at(closed, field.x, field.y), white);
    EXPECT_NE(at(closed, field.x, field.y), picture);
    EXPECT_EQ(at(closed, field.x + 1, field.y + 1), white);
    EXPECT_EQ(at(closed, field.x + 3, field.y + 3), platform::kHighlightColour);
    const uint32_t button = at(closed, field.x + field.width - 4, field.y + 3);
    EXPECT_NE(button, white);
    EXPECT_NE(button, picture);
    EXPECT_NE(button, platform::kHighlightColour);
    int textPixels = 0;
    for (int x = field.x + 2; x < field.x + 60; ++x) {
        for (int y = field.y + 2; y < field.y + field.height - 2; ++y) {
            uint32_t pixel = at(closed, x, y);  // light text on the blue highlight
            textPixels += (pixel & 0xFF) > 0xE0 && ((pixel >> 16) & 0xFF) > 0xA0 ? 1 : 0;
        }
    }
    EXPECT_GT(textPixels, 10);
    int paints = count(MessageType::Paint);

    clickField(combo);
    std::vector<uint32_t> open = dialog_->capture();
    auto [x, y] = entryPoint(combo, 2);
    EXPECT_EQ(at(open, x - 8, y), platform::kHighlightColour);  // the selected entry in the open list
    auto [x4, y4] = entryPoint(combo, 4);
    EXPECT_EQ(at(open, x4 + 55, y4), 0xFFFFFFu);  // list background right of the text
    EXPECT_NE(at(closed, x4 + 55, y4), 0xFFFFFFu);

    // Closed again, the picture below comes back without the procedure painting.
    platform::postKeyPress(*dialog_, platform::Key::Escape);
    pump(dialog_);
    EXPECT_EQ(dialog_->capture(), closed);
    EXPECT_EQ(count(MessageType::Paint), paints);
}

TEST_F(ComboBoxTest, ALostReleaseDoesNotCaptureTheNextClick) {
    ComboBox& audio = list(1005);
    fill(1005, 3);
    platform::Rect field = audio.fieldRect();
    platform::postMouseButton(*dialog_, field.x + 5, field.y + 5, true);  // its release never comes
    platform::postFocusChange(*dialog_, false);                           // the window loses the focus
    pump(dialog_);
    EXPECT_FALSE(audio.isDroppedDown());
    platform::postClick(*dialog_, 300, 350);
    pump(dialog_);
    EXPECT_EQ(count(MessageType::LeftButtonDown), 1);
}
