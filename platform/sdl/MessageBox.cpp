#include "platform/MessageBox.h"

#include <SDL.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "platform/CodePage.h"
#include "platform/Dialog.h"
#include "platform/MessageBoxSeam.h"
#include "platform/MessageLoop.h"
#include "platform/sdl/VideoSystem.h"

namespace platform {
namespace {

int showHostBox(const std::string& text, const std::string& caption, uint32_t ownerWindow);

// The dialog the box belongs above: the last visible one of this thread, or null.
Dialog* topDialog() {
    if (!isDialogThread()) {
        return nullptr;
    }
    Dialog* top = nullptr;
    for (Dialog* dialog : Dialog::all()) {
        if (dialog->isVisible()) {
            top = dialog;
        }
    }
    return top;
}

// What the calling thread does while a box is up, as a native modal loop does: the dialogs keep being
// painted (an exposed or invalid window is shown again), input meant for them is dropped, and everything
// else (close requests among it) waits in the queue for the program's own loop.
void keepDialogsPainted() {
    if (video::running()) {
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_KEYDOWN, SDL_MULTIGESTURE);
        SDL_Event events[16];
        int kept = 0;
        SDL_Event keep[16];
        int count = SDL_PeepEvents(events, 16, SDL_GETEVENT, SDL_WINDOWEVENT, SDL_WINDOWEVENT);
        for (int i = 0; i < count; ++i) {
            Dialog* dialog = Dialog::fromWindowId(events[i].window.windowID);
            switch (events[i].window.event) {
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_SHOWN:
                case SDL_WINDOWEVENT_RESTORED:
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                    if (dialog != nullptr) {
                        dialog->onExposed();
                    }
                    break;
                default:
                    keep[kept++] = events[i];
                    break;
            }
        }
        for (int i = 0; i < kept; ++i) {
            SDL_PushEvent(&keep[i]);
        }
    }
    for (Dialog* dialog : std::vector<Dialog*>(Dialog::all())) {
        if (Dialog::isLive(dialog) && dialog->isVisible()) {
            dialog->update();  // Paint when invalid, else only what changed
        }
    }
}

// Runs the box on a thread of its own while this thread keeps the dialogs painted; at once (on this
// thread) when no dialog is shown, or when no thread can be had.
int runModal(const std::function<int()>& box) {
    if (topDialog() == nullptr) {
        return box();
    }
    std::atomic<bool> done{false};
    int result = 0;
    std::thread worker;
    try {
        worker = std::thread([&] {
            result = box();
            // SDL frees the thread-local state (its error text) of threads it did not create only when told.
            SDL_TLSCleanup();
            done = true;
        });
    } catch (...) {
        return box();
    }
    while (!done) {
        keepDialogsPainted();
        SDL_Delay(kLoopSleepMilliseconds);
    }
    worker.join();
    return result;
}

int show(const std::string& text, const std::string& caption) {
    MessageBoxHandler handler = installedMessageBoxHandler();
    // Above the program's window (its owner for stacking only), so a click on the window cannot bury it.
    Dialog* owner = topDialog();
    uint32_t ownerWindow = owner != nullptr ? owner->windowId() : 0;
    int result = runModal(
        [&]() { return handler ? handler(text, caption) : showHostBox(text, caption, ownerWindow); });
    // Whatever the user typed or clicked at the dialogs while the box was up would have gone to the box.
    discardPendingInput();
    return result;
}

// The dummy video driver stands for "no display": the host box would otherwise still open on an X server
// named by DISPLAY and block a test that means to run headless.
bool dummyVideo() {
    const char* driver =
        SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : SDL_getenv("SDL_VIDEODRIVER");
    return driver != nullptr && SDL_strcasecmp(driver, "dummy") == 0;
}

int showHostBox(const std::string& text, const std::string& caption, uint32_t ownerWindow) {
    SDL_Window* owner = ownerWindow != 0 && video::running() ? SDL_GetWindowFromID(ownerWindow) : nullptr;
    if (!dummyVideo() &&
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption.c_str(), text.c_str(), owner) == 0) {
        return kMessageBoxOk;
    }
    // No way to show it (no display, or the dummy video driver): keep the message where it can be read.
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return 0;
}

}  // namespace

int showHostMessageBox(const std::string& text, const std::string& caption) {
    return showHostBox(text, caption, 0);
}

int messageBox(const char* text, const char* caption) {
    std::string utf8Text;
    std::string utf8Caption;
    multiByteToUtf8(kCodePageAnsi, text ? text : "", utf8Text);
    multiByteToUtf8(kCodePageAnsi, caption ? caption : "", utf8Caption);
    return show(utf8Text, utf8Caption);
}

int messageBox(const char16_t* text, const char16_t* caption) {
    return show(utf16ToUtf8(std::u16string_view(text ? text : u"", utf16Length(text))),
                utf16ToUtf8(std::u16string_view(caption ? caption : u"", utf16Length(caption))));
}

}  // namespace platform
