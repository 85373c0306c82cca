#pragma once
#include <cstdint>
#include <vector>

#include "mt/core/String.h"
#include "platform/Dialog.h"
#include "platform/DialogTemplate.h"

// The settings dialog: a borderless window covered by the background picture of the player's language,
// five drop-down lists on it, and two click areas of the picture, one to start the game and one to leave.
namespace launcher {

// The dialog resource and its lists.
constexpr int kSettingsDialogId = 101;
constexpr int kResolutionList = 1004;
constexpr int kAudioList = 1005;
constexpr int kLanguageList = 1006;
constexpr int kQualityList = 1007;
constexpr int kWindowModeList = 1008;

// Template 101: popup with a thin border and the window menu, centred, 292 x 264 dialog units, no
// caption, the 8-point dialog font, and the five lists at their template rectangles.
platform::DialogTemplate settingsDialogTemplate();

// Where a list goes when it is filled for the first time (client pixels; the height includes the opened
// list): from the top resolution, quality, window mode, audio and language, all at x = 65.
platform::Rect listPlace(int listId);
// Moves the list to its place.
void placeList(platform::Dialog& dialog, int listId);

// The click areas of the picture, in client pixels: start 265..395 x 335..374, quit 286..374 x 387..422.
constexpr bool inStartArea(uint32_t x, uint32_t y) {
    return x > 264 && x < 396 && y > 334 && y < 375;
}
constexpr bool inQuitArea(uint32_t x, uint32_t y) {
    return x > 285 && x < 375 && y > 386 && y < 423;
}

// The two click areas as the dialog's focus areas (start, then quit), so that the keyboard and game
// controllers reach them after the lists; acting on one is a click at its centre.
std::vector<platform::FocusArea> clickAreas();

// The paths of a language's texts and of its background picture.
mt::String languageFilePath(const char* languageName);
mt::String backgroundPicturePath(const char* languageName);

// The text for the key in the selected language, as UTF-16 converted with the language's code page, in
// the launcher's shared text buffer (valid until the next call). A text longer than the buffer is cut.
const char16_t* localizedText(const mt::String& key);

// Fills the language list with the names of languages.txt in file order and selects the current language.
void fillLanguageList();

// Fills the audio, quality and window-mode lists with the current language's texts and selects the
// current values. After the first time the lists' selections are taken over first, so a refill keeps them;
// the first time also moves the lists to their places.
void fillOptionLists(bool firstTime);

// Takes the final choices from the lists into the settings (language, audio, quality, window mode and
// resolution) and frees the mode list.
void collectSettingsFromLists();

// The dialog procedure. Before it looks at a message it checks the language list (only while the message
// loop runs) and switches the language when the player chose another one.
bool settingsDialogProc(platform::Dialog& dialog, const platform::Message& message);

// Creates the dialog from template 101, hidden, with settingsDialogProc; null when it cannot be made.
platform::Dialog* createSettingsDialog();

}  // namespace launcher
