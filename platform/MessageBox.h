#pragma once
#include <functional>
#include <string>

// Modal message boxes without an owner window: a text, a caption and an OK button.
//
// The box is shown by a replaceable handler, so that tests (and programs without a display) see every
// message without a window. The default handler uses the host's simple message box; when that cannot be
// shown (no display, or the dummy video driver) the message is written to standard error instead and the
// call returns at once. While a box is up on the thread that runs the dialogs, that thread keeps them
// painted as a native modal loop does (the box, or the replacement handler, then runs on a thread of its
// own), and the box stays above the last shown dialog. After the box has been dismissed, keyboard and
// mouse input that was queued for the dialogs meanwhile is discarded, as a modal box would have swallowed
// it.
namespace platform {

// Result of a dismissed box: the OK button.
constexpr int kMessageBoxOk = 1;

// 8-bit text in the host's 8-bit code page (UTF-8 here; invalid bytes are shown as U+FFFD).
// Returns kMessageBoxOk once the box is dismissed, or 0 when no box could be shown.
int messageBox(const char* text, const char* caption);
// UTF-16 text.
int messageBox(const char16_t* text, const char16_t* caption);

// Receives every box as UTF-8 text and caption and returns what messageBox returns.
using MessageBoxHandler = std::function<int(const std::string& text, const std::string& caption)>;

// Replaces the handler; an empty handler restores the host's. Returns the handler that was installed
// (empty for the host's), so a test can put it back.
MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler);

// The host's own handler, for a replacement that wants to show the box as well.
int showHostMessageBox(const std::string& text, const std::string& caption);

}  // namespace platform
