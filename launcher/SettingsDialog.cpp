#include "launcher/SettingsDialog.h"

#include <algorithm>
#include <string>
#include <string_view>

#include "launcher/DisplayModes.h"
#include "launcher/LauncherState.h"
#include "launcher/PictureToBitmap.h"
#include "mt/localization/Localizator.h"
#include "platform/CodePage.h"
#include "platform/MessageLoop.h"

namespace launcher {
namespace {

constexpr uint32_t kDialogStyle = 0x80880848;  // popup, border, window menu, centred, dialog font
constexpr uint32_t kListStyle = 0x50210143;    // child, visible, scroll bar, tab stop, drop-down list
constexpr int kListPixelHeight = 96;

struct ListLayout {
    int id;
    int templateX, templateY, templateWidth, templateHeight;  // dialog units
    int x, y, width;                                          // client pixels
};

constexpr ListLayout kLists[] = {
    {kResolutionList, 32, 20, 96, 37, 65, 178, 88},   {kAudioList, 32, 33, 113, 37, 65, 348, 130},
    {kLanguageList, 32, 46, 96, 37, 65, 401, 110},    {kQualityList, 32, 59, 113, 37, 65, 235, 110},
    {kWindowModeList, 32, 72, 113, 37, 65, 292, 110},
};

platform::ComboBox* list(int id) {
    return g_launcher.dialog != nullptr ? g_launcher.dialog->comboBox(id) : nullptr;
}

// The index a value selects when the list starts at `offset`; -1 (no entry) when it does not fit.
int indexFor(int32_t value, int32_t offset) {
    int64_t index = static_cast<int64_t>(value) - offset;
    return index < 0 || index > INT32_MAX ? -1 : static_cast<int>(index);
}

void fillList(platform::ComboBox& target, std::initializer_list<const char*> keys, int selected, bool place) {
    target.resetContent();
    int position = 0;
    for (const char* key : keys) {
        target.insertString(position++, localizedText(key));
    }
    target.setCurSel(selected);
    if (place && g_launcher.dialog != nullptr) {
        placeList(*g_launcher.dialog, target.id());
    }
}

// The player chose another language: its texts, the lists in it, and its picture.
void switchLanguage(platform::Dialog& dialog, int index) {
    LauncherState& state = g_launcher;
    const char* name = state.languages.name(index);
    // Updated first, so that messages arriving while the switch runs see no difference.
    state.settings.languageIndex = index;
    state.settings.codePage = state.languages.codePages[index];
    if (state.localizator != nullptr) {
        state.localizator->reload(languageFilePath(name));
    }
    fillOptionLists(false);
    state.backgroundBitmap.reset();
    state.backgroundBitmap = pictureToBitmap(&dialog, backgroundPicturePath(name));
    // Erased first: without a new picture (or with a smaller one) nothing of the old one may stay.
    dialog.invalidate(true);
}

void checkLanguageChoice(platform::Dialog& dialog) {
    platform::ComboBox* languages = dialog.comboBox(kLanguageList);
    if (languages == nullptr) {
        return;
    }
    const int chosen = languages->getCurSel();
    if (chosen != g_launcher.settings.languageIndex && g_launcher.languages.name(chosen) != nullptr) {
        switchLanguage(dialog, chosen);
    }
}

void paintBackground(platform::Dialog& dialog) {
    dialog.beginPaint();
    if (g_launcher.backgroundBitmap) {
        dialog.blit(*g_launcher.backgroundBitmap, 0, 0);
    }
    dialog.endPaint();
}

}  // namespace

platform::DialogTemplate settingsDialogTemplate() {
    platform::DialogTemplate dialogTemplate;
    dialogTemplate.resourceId = kSettingsDialogId;
    dialogTemplate.style = kDialogStyle;
    dialogTemplate.x = 0;
    dialogTemplate.y = 0;
    dialogTemplate.width = 292;
    dialogTemplate.height = 264;
    dialogTemplate.caption = "";
    dialogTemplate.fontName = "MS Shell Dlg";
    dialogTemplate.fontPoints = 8;
    for (const ListLayout& layout : kLists) {
        dialogTemplate.controls.push_back({platform::ControlKind::ComboBox, layout.id, kListStyle,
                                           layout.templateX, layout.templateY, layout.templateWidth,
                                           layout.templateHeight});
    }
    return dialogTemplate;
}

platform::Rect listPlace(int listId) {
    for (const ListLayout& layout : kLists) {
        if (layout.id == listId) {
            return {layout.x, layout.y, layout.width, kListPixelHeight};
        }
    }
    return {};
}

void placeList(platform::Dialog& dialog, int listId) {
    if (platform::ComboBox* target = dialog.comboBox(listId)) {
        platform::Rect place = listPlace(listId);
        target->move(place.x, place.y, place.width, place.height, true);
    }
}

mt::String languageFilePath(const char* languageName) {
    return mt::String("lang\\") + languageName + ".lng";
}

mt::String backgroundPicturePath(const char* languageName) {
    return mt::String("launcher/launcher_bg_") + languageName + ".png";
}

const char16_t* localizedText(const mt::String& key) {
    LauncherState& state = g_launcher;
    // The conversion stops at the first NUL, as a conversion of a terminated string does.
    std::string_view text = "UNKNOWN_STRING";
    if (state.localizator != nullptr) {
        text = state.localizator->getText(key).cstr();
    }
    std::u16string wide;
    if (!platform::multiByteToUtf16(static_cast<uint32_t>(state.settings.codePage), text, wide)) {
        // A code page this host does not know: the western one still shows every byte as something.
        platform::multiByteToUtf16(platform::kCodePageWestern, text, wide);
    }
    size_t length = std::min(wide.size(), static_cast<size_t>(kTextBufferLength - 1));
    if (length < wide.size() && length > 0 && wide[length - 1] >= 0xD800 && wide[length - 1] <= 0xDBFF) {
        --length;  // never cut a character in half
    }
    std::copy(wide.begin(), wide.begin() + static_cast<std::ptrdiff_t>(length), state.textBuffer);
    state.textBuffer[length] = u'\0';
    return state.textBuffer;
}

void fillLanguageList() {
    platform::ComboBox* languages = list(kLanguageList);
    if (languages == nullptr) {
        return;
    }
    for (int slot = 0; slot < kLanguageSlots && g_launcher.languages.name(slot) != nullptr; ++slot) {
        languages->insertString(slot, g_launcher.languages.name(slot));
    }
    languages->setCurSel(g_launcher.settings.languageIndex);
    placeList(*g_launcher.dialog, kLanguageList);
}

void fillOptionLists(bool firstTime) {
    LauncherState& state = g_launcher;
    platform::ComboBox* audio = list(kAudioList);
    platform::ComboBox* quality = list(kQualityList);
    platform::ComboBox* windowMode = list(kWindowModeList);
    if (audio == nullptr || quality == nullptr || windowMode == nullptr) {
        return;
    }
    if (!firstTime) {
        state.settings.audioMode = audio->getCurSel();
        state.settings.quality = quality->getCurSel() + state.qualityOffset;
        state.settings.windowMode = windowMode->getCurSel();
    }
    fillList(*audio, {"LAUNCHER_NO_AUDIO", "LAUNCHER_HW_AUDIO", "LAUNCHER_SW_AUDIO"},
             indexFor(state.settings.audioMode, 0), firstTime);
    if (state.graphicsLevel >= 2) {
        fillList(*quality, {"LAUNCHER_QUALITY_NORMAL", "LAUNCHER_QUALITY_LOW", "LAUNCHER_QUALITY_VERY_LOW"},
                 indexFor(state.settings.quality, state.qualityOffset), firstTime);
    } else {
        fillList(*quality, {"LAUNCHER_QUALITY_LOW", "LAUNCHER_QUALITY_VERY_LOW"},
                 indexFor(state.settings.quality, state.qualityOffset), firstTime);
    }
    fillList(*windowMode, {"LAUNCHER_FULLSCREEN", "LAUNCHER_WINDOW"}, indexFor(state.settings.windowMode, 0),
             firstTime);
}

void collectSettingsFromLists() {
    LauncherState& state = g_launcher;
    if (state.dialog != nullptr) {
        const int language = list(kLanguageList)->getCurSel();
        if (state.languages.name(language) != nullptr) {
            state.settings.languageIndex = language;
            state.settings.codePage = state.languages.codePages[language];
        }
        state.settings.audioMode = list(kAudioList)->getCurSel();
        state.settings.quality = list(kQualityList)->getCurSel() + state.qualityOffset;
        state.settings.windowMode = list(kWindowModeList)->getCurSel();
        applyFinalResolution(*list(kResolutionList), state.displayModes, state.settings);
    }
    state.displayModes.free();
}

bool settingsDialogProc(platform::Dialog& dialog, const platform::Message& message) {
    LauncherState& state = g_launcher;
    if (state.inMessageLoop) {
        checkLanguageChoice(dialog);
    }
    switch (message.type) {
        case platform::MessageType::InitDialog:
            return true;
        case platform::MessageType::LeftButtonDown: {
            const uint32_t x = platform::pointX(message.lParam);
            const uint32_t y = platform::pointY(message.lParam);
            if (inStartArea(x, y)) {
                state.running = false;
                state.startRequested = 1;
            }
            if (inQuitArea(x, y)) {
                state.running = false;
                state.startRequested = 0;
            }
            return true;
        }
        case platform::MessageType::Close:
            state.running = false;
            return true;
        case platform::MessageType::Destroy:
            state.backgroundBitmap.reset();
            platform::postQuitMessage(0);
            return true;
        case platform::MessageType::Paint:
            paintBackground(dialog);
            return true;
        default:
            return false;  // commands too: Enter and Escape do nothing
    }
}

std::vector<platform::FocusArea> clickAreas() {
    // The areas' inner pixels: start 265..395 x 335..374, quit 286..374 x 387..422.
    return {{{265, 335, 131, 40}, platform::AreaRole::Primary},
            {{286, 387, 89, 36}, platform::AreaRole::Cancel}};
}

platform::Dialog* createSettingsDialog() {
    platform::Dialog* dialog = platform::createDialog(settingsDialogTemplate(), settingsDialogProc, 0);
    if (dialog != nullptr) {
        dialog->setFocusAreas(clickAreas());  // reached by Tab and controllers after the lists
    }
    return dialog;
}

}  // namespace launcher
