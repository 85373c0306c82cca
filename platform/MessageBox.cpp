#include "platform/MessageBox.h"

#include <SDL.h>

#include <cstdio>
#include <mutex>

#include "platform/CodePage.h"
#include "platform/MessageLoop.h"

namespace platform {
namespace {

std::mutex& handlerMutex() {
    static std::mutex mutex;
    return mutex;
}

MessageBoxHandler& installedHandler() {
    static MessageBoxHandler handler;
    return handler;
}

int show(const std::string& text, const std::string& caption) {
    MessageBoxHandler handler;
    {
        std::lock_guard<std::mutex> lock(handlerMutex());
        handler = installedHandler();
    }
    int result = handler ? handler(text, caption) : showHostMessageBox(text, caption);
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

}  // namespace

int showHostMessageBox(const std::string& text, const std::string& caption) {
    if (!dummyVideo() &&
        SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, caption.c_str(), text.c_str(), nullptr) == 0) {
        return kMessageBoxOk;
    }
    // No way to show it (no display, or the dummy video driver): keep the message where it can be read.
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return 0;
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

MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler) {
    std::lock_guard<std::mutex> lock(handlerMutex());
    MessageBoxHandler previous = std::move(installedHandler());
    installedHandler() = std::move(handler);
    return previous;
}

}  // namespace platform
