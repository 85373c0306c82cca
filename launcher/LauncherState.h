#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "launcher/DisplayModes.h"
#include "launcher/SettingsFile.h"
#include "platform/Bitmap.h"

namespace mt {
class ServiceRegistry;
namespace localization {
class Localizator;
}
}  // namespace mt
namespace platform {
class Dialog;
}

// What the launcher keeps for the whole run: one record for the process, created before the entry function
// runs. The registry, the file manager, the localizator and the language names live until the process ends.
namespace launcher {

constexpr int kTextBufferLength = 1024;  // UTF-16 characters, terminator included

struct LauncherState {
    mt::ServiceRegistry* registry = nullptr;
    mt::localization::Localizator* localizator = nullptr;
    LauncherSettings settings;
    LanguageList languages;
    // The per-user folder, ending with a separator; empty when there is none. Not limited to 260 bytes:
    // a longer folder is used as it is, so the settings land where the game looks for them.
    std::string userDataFolder;
    // Scratch buffer of localizedText: a text is valid until the next call.
    char16_t textBuffer[kTextBufferLength] = {};
    int32_t graphicsLevel = 2;
    int32_t qualityOffset = 0;
    DisplayModeList displayModes;
    platform::Dialog* dialog = nullptr;
    std::unique_ptr<platform::Bitmap> backgroundBitmap;
    bool running = true;
    bool inMessageLoop = false;  // the dialog reacts to a language choice only while this is set
    int32_t startRequested = 0;  // 1 after a click on the start area, 0 after the quit area
};

extern LauncherState g_launcher;

// Frees what the state holds (dialog, localizator, file manager, registry, language names) and puts back
// the initial values. The program never calls it; tests do, to run the launcher again in one process.
void resetLauncherState();

}  // namespace launcher
