// Dialogs, lists, painting and the message loop of the Win32 backend, on real windows (under Wine and a
// virtual display, or on Windows). The test program carries the launcher's dialog resource.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "launcher/SettingsDialog.h"
#include "platform/Bitmap.h"
#include "platform/Dialog.h"
#include "platform/MessageLoop.h"
#include "platform/win32/DialogResource.h"

namespace {

using platform::ComboBox;
using platform::Dialog;
using platform::Message;
using platform::MessageType;

constexpr int kFirstList = 11;
constexpr int kSecondList = 12;

// A hidden pop-up of 100 x 60 dialog units with two drop-down lists, made from the description.
platform::DialogTemplate twoListTemplate() {
    platform::DialogTemplate description;
    description.style = platform::kStylePopup | platform::kStyleSetFont | platform::kStyleBorder;
    description.width = 100;
    description.height = 60;
    for (int id : {kFirstList, kSecondList}) {
        platform::ControlTemplate list;
        list.id = id;
        list.style |= platform::kComboSort;
        list.x = 4;
        list.y = id == kFirstList ? 4 : 24;
        list.width = 80;
        list.height = 50;
        description.controls.push_back(list);
    }
    return description;
}

// What the procedure was sent, and a picture it paints when it has one.
struct Recorder {
    std::vector<Message> messages;
    const platform::Bitmap* picture = nullptr;
    int pictureX = 0;
    int pictureY = 0;

    platform::DialogProc procedure() {
        return [this](Dialog& dialog, const Message& message) {
            messages.push_back(message);
            if (message.type == MessageType::Paint && picture != nullptr) {
                dialog.beginPaint();
                dialog.blit(*picture, pictureX, pictureY);
                dialog.endPaint();
                return true;
            }
            return message.type == MessageType::InitDialog;
        };
    }
    int count(MessageType type) const {
        int found = 0;
        for (const Message& message : messages)
            found += message.type == type ? 1 : 0;
        return found;
    }
    const Message* lastCommand() const {
        for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
            if (it->type == MessageType::Command)
                return &*it;
        }
        return nullptr;
    }
};

void pump(Dialog* dialog) {
    for (int round = 0; round < 20; ++round) {
        platform::processPendingMessages(dialog);
        Sleep(10);
    }
}

HWND windowOf(const Dialog* dialog) {
    return static_cast<HWND>(dialog->hostWindow());
}

std::unique_ptr<platform::Bitmap> patternBitmap(int width, int height, bool bottomUp) {
    platform::BitmapInfoHeader header;
    header.width = width;
    header.height = bottomUp ? height : -height;
    void* bits = nullptr;
    auto bitmap = platform::Bitmap::create(header, &bits);
    if (!bitmap)
        return bitmap;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Picture row y (from the top) lies at memory row height-1-y in a bottom-up bitmap.
            const int memoryRow = bottomUp ? height - 1 - y : y;
            bitmap->pixels()[memoryRow * width + x] = static_cast<uint32_t>(((x * 40) << 16) | ((y * 40) << 8) | 0x80);
        }
    }
    return bitmap;
}

TEST(Win32Dialog, MadeFromTheDescriptionWithItsListsHiddenAndInitialised) {
    Recorder recorder;
    Dialog* dialog = platform::createDialog(twoListTemplate(), recorder.procedure(), 1234);
    ASSERT_NE(dialog, nullptr);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(IsWindowVisible(windowOf(dialog)));
    ASSERT_EQ(recorder.count(MessageType::InitDialog), 1);
    for (const Message& message : recorder.messages) {
        if (message.type == MessageType::InitDialog) {
            EXPECT_EQ(message.lParam, 1234);
        }
    }
    RECT units{0, 0, 100, 60};
    MapDialogRect(windowOf(dialog), &units);
    EXPECT_EQ(dialog->clientWidth(), units.right);
    EXPECT_EQ(dialog->clientHeight(), units.bottom);
    ASSERT_NE(dialog->comboBox(kFirstList), nullptr);
    ASSERT_NE(dialog->comboBox(kSecondList), nullptr);
    EXPECT_EQ(dialog->comboBox(99), nullptr);
    HWND list = GetDlgItem(windowOf(dialog), kFirstList);
    wchar_t className[32] = {};
    GetClassNameW(list, className, 32);
    EXPECT_EQ(lstrcmpiW(className, L"ComboBox"), 0);
    EXPECT_EQ(GetWindowLongW(list, GWL_STYLE) & 3, CBS_DROPDOWNLIST);
    platform::destroyDialog(dialog);
    EXPECT_EQ(recorder.count(MessageType::Destroy), 1);
    EXPECT_FALSE(IsWindow(list));
}

// The resource and the launcher's own description of dialog 101 make the same dialog.
TEST(Win32Dialog, TheLaunchersResourceMatchesItsDescription) {
    ASSERT_TRUE(platform::hasDialogResource(launcher::kSettingsDialogId));
    EXPECT_FALSE(platform::hasDialogResource(4321));
    platform::DialogTemplate fromCode = launcher::settingsDialogTemplate();
    Recorder first;
    Recorder second;
    Dialog* fromResource = platform::createDialog(fromCode, first.procedure());
    fromCode.resourceId = 0;
    Dialog* fromDescription = platform::createDialog(fromCode, second.procedure());
    ASSERT_NE(fromResource, nullptr);
    ASSERT_NE(fromDescription, nullptr);
    EXPECT_EQ(fromResource->clientWidth(), fromDescription->clientWidth());
    EXPECT_EQ(fromResource->clientHeight(), fromDescription->clientHeight());
    EXPECT_EQ(GetWindowLongW(windowOf(fromResource), GWL_STYLE) & ~WS_VISIBLE,
              GetWindowLongW(windowOf(fromDescription), GWL_STYLE) & ~WS_VISIBLE);
    for (int id : {launcher::kResolutionList, launcher::kAudioList, launcher::kLanguageList,
                   launcher::kQualityList, launcher::kWindowModeList}) {
        ComboBox* a = fromResource->comboBox(id);
        ComboBox* b = fromDescription->comboBox(id);
        ASSERT_NE(a, nullptr) << id;
        ASSERT_NE(b, nullptr) << id;
        const LONG style = GetWindowLongW(GetDlgItem(windowOf(fromResource), id), GWL_STYLE);
        EXPECT_EQ(style, GetWindowLongW(GetDlgItem(windowOf(fromDescription), id), GWL_STYLE)) << id;
        EXPECT_EQ(style & 0x50010143, 0x50010143) << id;  // child, visible, tab stop, sorted drop-down list
        EXPECT_EQ(a->fieldRect().x, b->fieldRect().x) << id;
        EXPECT_EQ(a->fieldRect().y, b->fieldRect().y) << id;
        EXPECT_EQ(a->fieldRect().width, b->fieldRect().width) << id;
    }
    platform::destroyDialog(fromResource);
    platform::destroyDialog(fromDescription);
}

TEST(Win32Dialog, TemplateValuesThatDoNotFitAreRefused) {
    platform::DialogTemplate description = twoListTemplate();
    EXPECT_FALSE(platform::buildDialogTemplate(description).empty());
    description.width = 40000;
    EXPECT_TRUE(platform::buildDialogTemplate(description).empty());
    Recorder recorder;
    EXPECT_EQ(platform::createDialog(description, recorder.procedure()), nullptr);
    description = twoListTemplate();
    description.controls[1].y = -40000;
    EXPECT_TRUE(platform::buildDialogTemplate(description).empty());
}

TEST(Win32ComboBox, InsertsAtTheGivenPlaceUnsortedAndAnswersLikeTheSystem) {
    Recorder recorder;
    Dialog* dialog = platform::createDialog(twoListTemplate(), recorder.procedure());
    ASSERT_NE(dialog, nullptr);
    ComboBox& list = *dialog->comboBox(kFirstList);
    EXPECT_EQ(list.getCount(), 0);
    EXPECT_EQ(list.getCurSel(), ComboBox::kError);
    EXPECT_EQ(list.insertString(0, u"zebra"), 0);
    EXPECT_EQ(list.insertString(1, "apple"), 1);  // 8-bit text, no sorting despite the style
    EXPECT_EQ(list.insertUtf8(-1, "\xC3\xA9t\xC3\xA9"), 2);  // appended, UTF-8
    EXPECT_EQ(list.insertString(9, u"beyond"), ComboBox::kError);
    EXPECT_EQ(list.getCount(), 3);
    EXPECT_EQ(list.getText(0), "zebra");
    EXPECT_EQ(list.getText(1), "apple");
    EXPECT_EQ(list.getTextUtf16(2), u"\u00E9t\u00E9");
    EXPECT_EQ(list.getText(7), "");

    EXPECT_EQ(list.setCurSel(1), 1);
    EXPECT_EQ(list.getCurSel(), 1);
    EXPECT_EQ(list.insertString(0, u"first"), 0);
    EXPECT_EQ(list.getCurSel(), 2);  // the selected entry moved with its index
    EXPECT_EQ(list.setCurSel(5), ComboBox::kError);
    EXPECT_EQ(list.getCurSel(), ComboBox::kError);
    EXPECT_EQ(list.setCurSel(0), 0);
    EXPECT_EQ(list.setCurSel(-1), ComboBox::kError);
    EXPECT_EQ(list.getCurSel(), ComboBox::kError);
    list.resetContent();
    EXPECT_EQ(list.getCount(), 0);
    // Changes made by the program notify nobody.
    for (const Message& message : recorder.messages) {
        if (message.type == MessageType::Command &&
            platform::commandCode(message.wParam) == platform::kNotifySelectionChange)
            ADD_FAILURE() << "command " << platform::commandId(message.wParam) << " code "
                          << platform::commandCode(message.wParam);
    }
    platform::destroyDialog(dialog);
}

TEST(Win32ComboBox, MovesShowsAndHides) {
    Recorder recorder;
    Dialog* dialog = platform::createDialog(twoListTemplate(), recorder.procedure());
    ASSERT_NE(dialog, nullptr);
    ComboBox& list = *dialog->comboBox(kSecondList);
    list.move(10, 20, 90, 96, true);
    EXPECT_EQ(list.fieldRect().x, 10);
    EXPECT_EQ(list.fieldRect().y, 20);
    EXPECT_EQ(list.fieldRect().width, 90);
    EXPECT_GT(list.itemHeight(), 0);
    EXPECT_TRUE(list.isVisible());
    list.show(false);
    EXPECT_FALSE(list.isVisible());
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(windowOf(dialog), kSecondList)));
    platform::destroyDialog(dialog);
}

// A choice made with the keyboard reaches the procedure as a command that names the list.
TEST(Win32ComboBox, AChoiceOfTheUserNotifiesTheProcedureWithTheList) {
    Recorder recorder;
    Dialog* dialog = platform::createDialog(twoListTemplate(), recorder.procedure());
    ASSERT_NE(dialog, nullptr);
    ComboBox& list = *dialog->comboBox(kFirstList);
    list.insertString(0, u"one");
    list.insertString(1, u"two");
    list.setCurSel(0);
    SendMessageW(GetDlgItem(windowOf(dialog), kFirstList), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(list.getCurSel(), 1);
    const Message* command = recorder.lastCommand();
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(platform::commandId(command->wParam), kFirstList);
    EXPECT_EQ(platform::commandCode(command->wParam), platform::kNotifySelectionChange);
    EXPECT_EQ(command->lParam, reinterpret_cast<intptr_t>(&list));
    platform::destroyDialog(dialog);
}

TEST(Win32Bitmap, IsAZeroFilledDibSectionOfTheHeadersSize) {
    platform::BitmapInfoHeader header;
    header.width = 7;
    header.height = -5;
    void* bits = nullptr;
    auto bitmap = platform::Bitmap::create(header, &bits);
    ASSERT_TRUE(bitmap);
    ASSERT_NE(bitmap->hostHandle(), nullptr);
    EXPECT_EQ(bits, bitmap->pixels());
    BITMAP description{};
    ASSERT_NE(GetObjectW(static_cast<HBITMAP>(bitmap->hostHandle()), sizeof(description), &description), 0);
    EXPECT_EQ(description.bmWidth, 7);
    EXPECT_EQ(description.bmHeight, 5);
    EXPECT_EQ(description.bmBitsPixel, 32);
    for (int i = 0; i < 35; ++i)
        EXPECT_EQ(bitmap->pixels()[i], 0u);
    header.bitCount = 24;
    EXPECT_FALSE(platform::Bitmap::create(header, &bits));
    EXPECT_EQ(bits, nullptr);
}

// What the procedure paints with blit is what the window shows, the picture's top row at the top for
// bitmaps of both row orders.
TEST(Win32Painting, BlitPutsThePictureOnTheWindow) {
    for (bool bottomUp : {false, true}) {
        Recorder recorder;
        auto picture = patternBitmap(6, 5, bottomUp);
        ASSERT_TRUE(picture);
        recorder.picture = picture.get();
        recorder.pictureX = 3;
        recorder.pictureY = 2;
        Dialog* dialog = platform::createDialog(twoListTemplate(), recorder.procedure());
        ASSERT_NE(dialog, nullptr);
        dialog->comboBox(kFirstList)->move(60, 40, 50, 60, true);  // away from the picture
        dialog->show();
        dialog->invalidate(true);
        dialog->update();
        pump(dialog);
        EXPECT_GE(recorder.count(MessageType::Paint), 1);
        std::vector<uint32_t> shown = dialog->capture();
        ASSERT_EQ(shown.size(), static_cast<size_t>(dialog->clientWidth() * dialog->clientHeight()));
        for (int y = 0; y < 5; ++y) {
            for (int x = 0; x < 6; ++x) {
                const uint32_t expected = static_cast<uint32_t>(((x * 40) << 16) | ((y * 40) << 8) | 0x80);
                EXPECT_EQ(shown[static_cast<size_t>((y + 2) * dialog->clientWidth() + x + 3)], expected)
                    << "bottomUp " << bottomUp << " at " << x << "," << y;
            }
        }
        EXPECT_FALSE(dialog->blit(*picture, 0, 0));  // only between beginPaint and endPaint
        platform::destroyDialog(dialog);
    }
}

TEST(Win32MessageLoop, PostedMessagesAndTheQuitMessageComeBackWithTheirDialog) {
    Recorder recorder;
    Dialog* dialog = platform::createDialog(twoListTemplate(), recorder.procedure());
    ASSERT_NE(dialog, nullptr);
    platform::Message message;
    while (platform::peekMessage(message)) {
    }
    ASSERT_TRUE(platform::postMessage(dialog, MessageType::Close, 0, 0));
    platform::postQuitMessage(7);
    bool sawClose = false;
    bool sawQuit = false;
    for (int round = 0; round < 50 && !(sawClose && sawQuit); ++round) {
        while (platform::peekMessage(message)) {
            if (message.type == MessageType::Close) {
                sawClose = true;
                EXPECT_EQ(message.dialog, dialog);
                if (!platform::isDialogMessage(dialog, message))
                    platform::dispatchMessage(message);
            }
            if (message.type == MessageType::Quit) {
                sawQuit = true;
                EXPECT_EQ(message.wParam, 7u);
                EXPECT_EQ(message.dialog, nullptr);
            }
        }
        Sleep(5);
    }
    EXPECT_TRUE(sawClose);
    EXPECT_TRUE(sawQuit);
    EXPECT_EQ(recorder.count(MessageType::Close), 1);
    platform::destroyDialog(dialog);
    EXPECT_FALSE(platform::postMessage(dialog, MessageType::Close, 0, 0));
}

// Tab moves between the lists and Enter becomes the OK command, through the system's dialog handling.
TEST(Win32MessageLoop, TheDialogsKeyboardHandlingIsTheSystems) {
    Recorder recorder;
    Dialog* dialog = platform::createDialog(twoListTemplate(), recorder.procedure());
    ASSERT_NE(dialog, nullptr);
    dialog->show();
    pump(dialog);
    ASSERT_TRUE(dialog->setFocus(kFirstList));
    EXPECT_EQ(dialog->focusedControl(), kFirstList);
    HWND focused = GetFocus();
    Message tab;
    tab.type = MessageType::KeyDown;
    tab.hostWindow = focused;
    tab.wParam = VK_TAB;
    EXPECT_TRUE(platform::isDialogMessage(dialog, tab));
    EXPECT_EQ(dialog->focusedControl(), kSecondList);
    Message enter = tab;
    enter.hostWindow = GetFocus();
    enter.wParam = VK_RETURN;
    EXPECT_TRUE(platform::isDialogMessage(dialog, enter));
    const Message* command = recorder.lastCommand();
    ASSERT_NE(command, nullptr);
    EXPECT_EQ(platform::commandId(command->wParam), platform::kCommandOk);
    EXPECT_EQ(command->lParam, 0);
    platform::destroyDialog(dialog);
}

// Key presses as the message loop hands them to the dialog's handling; with shift, Shift is held.
bool pressKey(Dialog* dialog, WPARAM key, bool shift = false) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(state);
    Message press;
    press.type = MessageType::KeyDown;
    press.hostWindow = GetFocus();
    press.wParam = key;
    const bool taken = platform::isDialogMessage(dialog, press);
    state[VK_SHIFT] = 0;
    SetKeyboardState(state);
    return taken;
}

// The picture's areas follow the lists in the Tab order, with a ring in the highlight colour around the
// focused one; Enter acts on it as a click at its centre.
TEST(Win32Dialog, TabReachesThePicturesAreasAfterTheListsAndEnterActsOnThem) {
    Recorder recorder;
    auto picture = patternBitmap(6, 5, false);
    ASSERT_TRUE(picture);
    recorder.picture = picture.get();
    Dialog* dialog = platform::createDialog(twoListTemplate(), recorder.procedure());
    ASSERT_NE(dialog, nullptr);
    // The lists to the left, the areas right of them.
    dialog->comboBox(kFirstList)->move(0, 0, 40, 60, true);
    dialog->comboBox(kSecondList)->move(0, 24, 40, 60, true);
    dialog->setFocusAreas({{{50, 50, 20, 10}, platform::AreaRole::Primary}, {{80, 50, 20, 10}}});
    dialog->show();
    pump(dialog);
    ASSERT_TRUE(dialog->setFocus(kSecondList));
    const size_t before = recorder.messages.size();
    const uint32_t dialogFace = dialog->capture()[static_cast<size_t>(48 * dialog->clientWidth() + 48)];

    EXPECT_TRUE(pressKey(dialog, VK_TAB));
    EXPECT_EQ(dialog->focusedArea(), 0);
    EXPECT_EQ(dialog->focusedControl(), 0) << "no list keeps the keyboard";
    bool pointerTold = false;
    for (size_t i = before; i < recorder.messages.size(); ++i) {
        const Message& message = recorder.messages[i];
        pointerTold = pointerTold || (message.type == MessageType::MouseMove &&
                                      message.lParam == platform::packPoint(60, 55));
    }
    EXPECT_TRUE(pointerTold) << "the area learns of the focus as of the pointer at its centre";
    pump(dialog);
    std::vector<uint32_t> shown = dialog->capture();
    const int width = dialog->clientWidth();
    EXPECT_EQ(shown[static_cast<size_t>(48 * width + 48)], platform::kFocusRingColour) << "ring's corner";
    EXPECT_EQ(shown[static_cast<size_t>(61 * width + 71)], platform::kFocusRingColour) << "opposite corner";
    EXPECT_NE(shown[static_cast<size_t>(55 * width + 60)], platform::kFocusRingColour) << "inside the area";

    // Other keys stay with the area; Tab goes on to the next area, then round to the first list.
    EXPECT_TRUE(pressKey(dialog, VK_DOWN));
    EXPECT_EQ(dialog->focusedArea(), 0);
    EXPECT_TRUE(pressKey(dialog, VK_TAB));
    EXPECT_EQ(dialog->focusedArea(), 1);
    EXPECT_TRUE(pressKey(dialog, VK_TAB));
    EXPECT_EQ(dialog->focusedArea(), -1);
    EXPECT_EQ(dialog->focusedControl(), kFirstList);
    pump(dialog);
    shown = dialog->capture();
    EXPECT_EQ(shown[static_cast<size_t>(48 * width + 78)], dialogFace) << "the ring went with the focus";

    // Shift+Tab from the first list goes back to the last area; Enter on it is a click at its centre.
    EXPECT_TRUE(pressKey(dialog, VK_TAB, true));
    EXPECT_EQ(dialog->focusedArea(), 1);
    recorder.messages.clear();
    EXPECT_TRUE(pressKey(dialog, VK_RETURN));
    pump(dialog);
    ASSERT_EQ(recorder.count(MessageType::LeftButtonDown), 1);
    for (const Message& message : recorder.messages) {
        if (message.type == MessageType::LeftButtonDown) {
            EXPECT_EQ(message.lParam, platform::packPoint(90, 55));
        }
    }
    EXPECT_EQ(recorder.lastCommand(), nullptr) << "Enter on an area is no OK command";

    // A list that takes the focus (here by the program) ends the area's.
    ASSERT_TRUE(dialog->setFocus(kSecondList));
    EXPECT_EQ(dialog->focusedArea(), -1);
    platform::destroyDialog(dialog);
}

// A procedure that takes Paint without painting still leaves the dialog valid, so the loop is not handed
// Paint after Paint.
TEST(Win32Dialog, APaintHandledWithoutPaintingIsNotAskedForAgain) {
    int paints = 0;
    Dialog* dialog = platform::createDialog(twoListTemplate(), [&](Dialog&, const Message& message) {
        paints += message.type == MessageType::Paint ? 1 : 0;
        return message.type == MessageType::Paint || message.type == MessageType::InitDialog;
    });
    ASSERT_NE(dialog, nullptr);
    dialog->show();
    Message message;
    for (int taken = 0; taken < 200 && platform::peekMessage(message); ++taken) {
        if (!platform::isDialogMessage(dialog, message))
            platform::dispatchMessage(message);
    }
    EXPECT_GE(paints, 1);
    EXPECT_LE(paints, 3);
    EXPECT_FALSE(dialog->isInvalid());
    platform::destroyDialog(dialog);
}

TEST(Win32Dialog, DestroyedFromItsOwnProcedureIsFreedAfterItReturns) {
    Dialog* made = nullptr;
    int destroys = 0;
    made = platform::createDialog(twoListTemplate(), [&](Dialog& dialog, const Message& message) {
        if (message.type == MessageType::Close)
            platform::destroyDialog(&dialog);
        if (message.type == MessageType::Destroy)
            ++destroys;
        return true;
    });
    ASSERT_NE(made, nullptr);
    HWND window = windowOf(made);
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(destroys, 1);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(Dialog::isLive(made));
    Dialog::collectDestroyed();
    platform::destroyDialog(made);  // a destroyed dialog is ignored
    EXPECT_EQ(destroys, 1);
}

}  // namespace
