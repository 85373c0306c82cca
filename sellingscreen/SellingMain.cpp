#include "sellingscreen/SellingMain.h"

#include <cstdio>
#include <new>

#include "launcher/PictureToBitmap.h"
#include "mt/core/ServiceRegistry.h"
#include "mt/core/String.h"
#include "mt/file/FileManager.h"
#include "mt/file/FileManagerImpl.h"
#include "platform/Dialog.h"
#include "platform/MessageLoop.h"
#include "sellingscreen/SellingScreen.h"
#include "sellingscreen/ShopPage.h"

namespace selling {
namespace {

// The registry and the file manager of this process. They live until the process ends; only another run
// in the same process (tests) replaces them.
mt::ServiceRegistry* registry = nullptr;
mt::file::FileManager* fileManager = nullptr;

void startServices() {
    if (mt::g_serviceRegistry == registry)
        mt::g_serviceRegistry = nullptr;
    delete fileManager;
    delete registry;
    fileManager = nullptr;

    registry = new (std::nothrow) mt::ServiceRegistry();
    mt::g_serviceRegistry = registry;
    if (registry == nullptr)
        return;
    fileManager = mt::file::createFileManager();
    if (fileManager != nullptr)
        registry->registerService(fileManager, mt::SERVICE_FILE_MANAGER);

    // A missing archive is no reason to stop: the pictures or the address are then simply not found.
    auto* files = static_cast<mt::file::FileManager*>(mt::findService(mt::SERVICE_FILE_MANAGER));
    if (files == nullptr)
        return;
    files->mountArchive("data.pak", "data:");
    files->mountArchive("data2.pak", "data2:");
    files->mountArchive("site.pak", "site:");
    files->setSearchMode(mt::file::SEARCH_ALL_MOUNTS);
}

}  // namespace

int runSellingScreen(const LoopObserver& observer) {
    resetSellingState();
    startServices();

    platform::Dialog* dialog = platform::createDialog(sellingDialogTemplate(), sellingDialogProc, 0);
    if (dialog == nullptr) {
        // Without a window nothing could ever end the screen.
        std::fprintf(stderr, "selling: the window cannot be shown\n");
        return 1;
    }
    dialog->setFocusAreas(buttonAreas());
    backgroundBitmap = pictureToBitmap(dialog, kBackgroundPicture);
    buyButtonBitmap = pictureToBitmap(dialog, kBuyPicture);
    closeButtonBitmap = pictureToBitmap(dialog, kClosePicture);

    dialog->show();
    dialog->update();
    dialog->bringToFront();

    screenRunning = true;
    int pass = 0;
    while (screenRunning) {
        platform::Message message;
        while (platform::peekMessage(message)) {
            if (!platform::isDialogMessage(dialog, message)) {
                platform::translateMessage(message);
                platform::dispatchMessage(message);
            }
        }
        if (observer)
            observer(*dialog, pass++);
        platform::sleepMilliseconds(platform::kLoopSleepMilliseconds);
    }

    platform::destroyDialog(dialog);
    if (sellingChoice <= 0)
        return 0;
    openShopPage();
    return 0;
}

int sellingMain() {
    return runSellingScreen({});
}

}  // namespace selling
