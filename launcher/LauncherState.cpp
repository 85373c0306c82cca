#include "launcher/LauncherState.h"

#include <algorithm>
#include <iterator>

#include "mt/core/ServiceRegistry.h"
#include "mt/file/FileManager.h"
#include "mt/localization/Localizator.h"
#include "platform/Dialog.h"

namespace launcher {

LauncherState g_launcher;

void resetLauncherState() {
    LauncherState& state = g_launcher;
    if (state.dialog != nullptr) {
        state.inMessageLoop = false;
        platform::destroyDialog(state.dialog);
    }
    delete state.localizator;
    if (state.registry != nullptr) {
        delete static_cast<mt::file::FileManager*>(state.registry->getService(mt::SERVICE_FILE_MANAGER));
        state.registry->unregisterService(mt::SERVICE_FILE_MANAGER);
        if (mt::g_serviceRegistry == state.registry) {
            mt::g_serviceRegistry = nullptr;
        }
        delete state.registry;
    }
    state.registry = nullptr;
    state.localizator = nullptr;
    state.settings = LauncherSettings();
    state.languages.clear();
    state.userDataFolder.clear();
    std::fill(std::begin(state.textBuffer), std::end(state.textBuffer), u'\0');
    state.graphicsLevel = 2;
    state.qualityOffset = 0;
    state.displayModes.free();
    state.dialog = nullptr;
    state.backgroundBitmap.reset();
    state.running = true;
    state.inMessageLoop = false;
    state.startRequested = 0;
}

}  // namespace launcher
