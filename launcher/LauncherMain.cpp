#include "launcher/LauncherMain.h"

#include <new>

#include "launcher/DisplayModes.h"
#include "launcher/LauncherState.h"
#include "launcher/PictureToBitmap.h"
#include "launcher/SettingsDialog.h"
#include "launcher/SettingsFile.h"
#include "mt/core/ServiceRegistry.h"
#include "mt/file/FileManager.h"
#include "mt/file/FileManagerImpl.h"
#include "mt/localization/Localizator.h"
#include "platform/Dialog.h"
#include "platform/GraphicsAdapter.h"
#include "platform/MessageBox.h"
#include "platform/MessageLoop.h"

namespace launcher {
namespace {

mt::file::FileManager* fileManager() {
    return static_cast<mt::file::FileManager*>(mt::findService(mt::SERVICE_FILE_MANAGER));
}

void mountArchive(const char* archive, const char* mountName) {
    if (mt::file::FileManager* files = fileManager()) {
        files->mountArchive(archive, mountName);  // a missing archive is not reported
    }
}

}  // namespace

bool launcherStartUp(int& exitCode) {
    LauncherState& state = g_launcher;
    exitCode = kExitNormal;
    // Asked first and answered on its own thread where the host allows it, because the graphics interface
    // takes longer to start than everything the dialog needs before its lists.
    platform::GraphicsAdapterQuery adapterQuery;

    // The framework's services: the registry and the file manager with the three archives.
    state.registry = new (std::nothrow) mt::ServiceRegistry();
    mt::g_serviceRegistry = state.registry;
    if (state.registry != nullptr) {
        state.registry->registerService(mt::file::createFileManager(), mt::SERVICE_FILE_MANAGER);
    }
    mountArchive("data.pak", "data:");
    mountArchive("data2.pak", "data2:");
    mountArchive("site.pak", "site:");
    if (mt::file::FileManager* files = fileManager()) {
        files->setSearchMode(1);  // plain paths are looked up in every archive, newest mount first
    }

    // The player's folder, the languages and the stored choices.
    state.userDataFolder = buildUserDataFolder();
    readLanguageList("languages.txt", state.languages);
    if (state.languages.count() == 0) {
        // Without a language there are no texts, no picture and nothing to store: say so and end.
        platform::messageBox(
            u"The list of languages (languages.txt) is missing or empty, so the launcher cannot show its "
            u"settings.\nPlease reinstall the game.",
            u"Error");
        exitCode = kExitFailure;
        return false;
    }
    readSettings(settingsFilePath(state.userDataFolder), state.languages, state.settings);
    const char* language = state.languages.name(state.settings.languageIndex);
    state.localizator = mt::localization::createLocalizator(languageFilePath(language));

    // The dialog, hidden until its lists are filled, and its picture.
    state.dialog = createSettingsDialog();
    if (state.dialog == nullptr) {
        platform::messageBox(u"Unable to create the settings window.", u"Error");
        exitCode = kExitFailure;
        return false;
    }
    state.backgroundBitmap = pictureToBitmap(state.dialog, backgroundPicturePath(language));

    // What the graphics adapter allows, and the lists.
    if (!checkGraphicsAdapter(state, adapterQuery.take())) {
        exitCode = kExitFailure;
        return false;
    }
    adjustQuality(state);
    fillLanguageList();
    platform::ComboBox* resolutions = state.dialog->comboBox(kResolutionList);
    fillResolutionList(*resolutions, state.displayModes, state.settings);
    placeList(*state.dialog, kResolutionList);
    fillOptionLists(true);
    if (!state.languages.multipleLanguages) {
        state.dialog->comboBox(kLanguageList)->show(false);
    }

    state.dialog->show();
    state.dialog->update();
    state.dialog->bringToFront();
    return true;
}

void runMessageLoop() {
    LauncherState& state = g_launcher;
    state.running = true;
    state.inMessageLoop = true;
    while (state.running) {
        platform::Message message;
        while (platform::peekMessage(message)) {
            if (!platform::isDialogMessage(state.dialog, message)) {
                platform::translateMessage(message);
                platform::dispatchMessage(message);
            }
        }
        platform::sleepMilliseconds(platform::kLoopSleepMilliseconds);
    }
    state.inMessageLoop = false;
}

int launcherShutDown() {
    LauncherState& state = g_launcher;
    collectSettingsFromLists();
    writeSettings(settingsFilePath(state.userDataFolder), state.settings, state.languages);
    platform::destroyDialog(state.dialog);  // deletes the picture and posts a quit message nobody reads
    state.dialog = nullptr;
    if (state.startRequested > 0) {
        startGame(state.settings.quality);
    }
    return kExitNormal;
}

int launcherMain() {
    int exitCode = kExitNormal;
    if (!launcherStartUp(exitCode)) {
        return exitCode;
    }
    runMessageLoop();
    return launcherShutDown();
}

}  // namespace launcher
