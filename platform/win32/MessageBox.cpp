#include "platform/MessageBox.h"

#include <windows.h>

#include <cstdio>

#include "platform/CodePage.h"
#include "platform/MessageBoxSeam.h"
#include "platform/MessageLoop.h"
#include "platform/win32/WideText.h"

namespace platform {
namespace {

// The dummy video driver stands for "no display" on every host: tests and headless runs set it, and a real
// box would block them.
bool headless() {
    wchar_t driver[16];
    const DWORD length = GetEnvironmentVariableW(L"SDL_VIDEODRIVER", driver, 16);
    return length > 0 && length < 16 && lstrcmpiW(driver, L"dummy") == 0;
}

int printed(const std::string& text, const std::string& caption) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    return 0;
}

// Keyboard and mouse input that reached this thread's windows while the box was up would have gone to the
// modal box; it is dropped rather than delivered late.
int dismissed(int result) {
    discardPendingInput();
    return result == IDOK ? kMessageBoxOk : 0;
}

int handled(const MessageBoxHandler& handler, const std::string& text, const std::string& caption) {
    const int result = handler(text, caption);
    discardPendingInput();
    return result;
}

}  // namespace

int showHostMessageBox(const std::string& text, const std::string& caption) {
    if (headless())
        return printed(text, caption);
    const int result = MessageBoxW(nullptr, win32::widen(text).c_str(), win32::widen(caption).c_str(), MB_OK);
    return result == 0 ? printed(text, caption) : dismissed(result);
}

int messageBox(const char* text, const char* caption) {
    text = text ? text : "";
    caption = caption ? caption : "";
    MessageBoxHandler handler = installedMessageBoxHandler();
    // The 8-bit texts go to the system unchanged, in its own 8-bit code page.
    const int result = handler || headless() ? 0 : MessageBoxA(nullptr, text, caption, MB_OK);
    if (result != 0)
        return dismissed(result);
    std::string utf8Text;
    std::string utf8Caption;
    multiByteToUtf8(kCodePageAnsi, text, utf8Text);
    multiByteToUtf8(kCodePageAnsi, caption, utf8Caption);
    return handler ? handled(handler, utf8Text, utf8Caption) : printed(utf8Text, utf8Caption);
}

int messageBox(const char16_t* text, const char16_t* caption) {
    text = text ? text : u"";
    caption = caption ? caption : u"";
    MessageBoxHandler handler = installedMessageBoxHandler();
    const int result = handler || headless() ? 0
                                             : MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text),
                                                           reinterpret_cast<const wchar_t*>(caption), MB_OK);
    if (result != 0)
        return dismissed(result);
    std::string utf8Text = utf16ToUtf8(std::u16string_view(text, utf16Length(text)));
    std::string utf8Caption = utf16ToUtf8(std::u16string_view(caption, utf16Length(caption)));
    return handler ? handled(handler, utf8Text, utf8Caption) : printed(utf8Text, utf8Caption);
}

}  // namespace platform
