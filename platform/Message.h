#pragma once
#include <cstdint>

// The messages that a dialog procedure receives, and their parameters.
//
// The numbers are those of the Windows messages they stand for, so that code written against the message
// names reads the same on every backend. Parameters are packed the Windows way where the programs read
// them: mouse positions as client x in the low and y in the high 16 bits of lParam (both unsigned), a
// command as the control id in the low and the notification code in the high 16 bits of wParam.
namespace platform {

class Dialog;

enum class MessageType : uint32_t {
    None = 0x0000,
    Destroy = 0x0002,     // the dialog is being destroyed (its controls still exist)
    Paint = 0x000F,       // the dialog is invalid: paint it between beginPaint and endPaint
    Close = 0x0010,       // close request: close box, Alt+F4, the window manager, or a termination signal
    Quit = 0x0012,        // from postQuitMessage: wParam = exit code; no window
    KeyDown = 0x0100,     // wParam = key code (Key), lParam = modifier bits (kModifier...)
    KeyUp = 0x0101,       // as KeyDown
    Char = 0x0102,        // from translateMessage: wParam = the character's code point
    InitDialog = 0x0110,  // once, after the dialog and its controls exist: lParam = the creation parameter
    Command = 0x0111,     // wParam = id | code << 16, lParam = the control (ComboBox*) or 0 for keys
    MouseMove = 0x0200,   // lParam = x | y << 16 in client pixels
    LeftButtonDown = 0x0201,   // as MouseMove
    LeftButtonUp = 0x0202,     // as MouseMove
    RightButtonDown = 0x0204,  // as MouseMove
    RightButtonUp = 0x0205,    // as MouseMove
    MouseWheel = 0x020A,       // wParam: signed delta in the high 16 bits (120 per notch, positive = away
                               // from the user); lParam = pointer position in client pixels
};

// One message: what it is, where it goes, and its two parameters.
struct Message {
    MessageType type = MessageType::None;
    Dialog* dialog = nullptr;  // the dialog it is for; null for Quit
    int control = 0;           // the id of the control it is for (mouse and key input); 0 for the dialog
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
    uint32_t time = 0;      // milliseconds, from the host's event
    char32_t text[8] = {};  // characters that the key produced; turned into Char messages by translation
    void* hostWindow = nullptr;  // the host's window the message was queued for, on hosts with native ones
};

// Notification codes of a list's Command message (high 16 bits of wParam).
constexpr uint16_t kNotifySelectionChange = 1;  // the user chose another entry
constexpr uint16_t kNotifyDropDown = 7;         // the list opened
constexpr uint16_t kNotifyCloseUp = 8;          // the list closed

// Command ids sent by the dialog's keyboard handling: Enter and Escape.
constexpr uint16_t kCommandOk = 1;
constexpr uint16_t kCommandCancel = 2;

// Key codes of KeyDown and KeyUp (the Windows virtual-key codes). Letters and digits are their upper-case
// ASCII codes.
namespace Key {
constexpr uint32_t Backspace = 0x08;
constexpr uint32_t Tab = 0x09;
constexpr uint32_t Return = 0x0D;
constexpr uint32_t Shift = 0x10;
constexpr uint32_t Control = 0x11;
constexpr uint32_t Alt = 0x12;
constexpr uint32_t Escape = 0x1B;
constexpr uint32_t Space = 0x20;
constexpr uint32_t PageUp = 0x21;
constexpr uint32_t PageDown = 0x22;
constexpr uint32_t End = 0x23;
constexpr uint32_t Home = 0x24;
constexpr uint32_t Left = 0x25;
constexpr uint32_t Up = 0x26;
constexpr uint32_t Right = 0x27;
constexpr uint32_t Down = 0x28;
constexpr uint32_t Delete = 0x2E;
constexpr uint32_t F1 = 0x70;  // F1 ... F12 are consecutive
constexpr uint32_t F4 = 0x73;
// Game controller buttons, as the host's key codes for them. The dialog's keyboard handling takes them:
// the pad moves the focus (or, in an open list, the highlight), A acts like a click on what has the focus,
// B closes an open list, Start (Menu) acts on the area of role Primary and Back (View) on the area of role
// Cancel. The left stick sends the pad's codes.
constexpr uint32_t GamepadA = 0xC3;
constexpr uint32_t GamepadB = 0xC4;
constexpr uint32_t GamepadDPadUp = 0xCB;
constexpr uint32_t GamepadDPadDown = 0xCC;
constexpr uint32_t GamepadDPadLeft = 0xCD;
constexpr uint32_t GamepadDPadRight = 0xCE;
constexpr uint32_t GamepadMenu = 0xCF;
constexpr uint32_t GamepadView = 0xD0;
}  // namespace Key

// Modifier bits in lParam of KeyDown and KeyUp.
constexpr intptr_t kModifierShift = 1;
constexpr intptr_t kModifierControl = 2;
constexpr intptr_t kModifierAlt = 4;

// Packs client coordinates the way mouse messages carry them.
constexpr intptr_t packPoint(int x, int y) {
    return static_cast<intptr_t>((static_cast<uint32_t>(x) & 0xFFFFu) |
                                 ((static_cast<uint32_t>(y) & 0xFFFFu) << 16));
}
// x and y of a mouse message, read as unsigned 16-bit values.
constexpr uint32_t pointX(intptr_t lParam) {
    return static_cast<uint32_t>(lParam) & 0xFFFFu;
}
constexpr uint32_t pointY(intptr_t lParam) {
    return (static_cast<uint32_t>(lParam) >> 16) & 0xFFFFu;
}
// The signed wheel delta of a MouseWheel message.
constexpr int wheelDelta(uintptr_t wParam) {
    return static_cast<int16_t>((wParam >> 16) & 0xFFFFu);
}
// Id and notification code of a Command message.
constexpr uint16_t commandId(uintptr_t wParam) {
    return static_cast<uint16_t>(wParam & 0xFFFFu);
}
constexpr uint16_t commandCode(uintptr_t wParam) {
    return static_cast<uint16_t>((wParam >> 16) & 0xFFFFu);
}
constexpr uintptr_t makeCommand(uint16_t id, uint16_t code) {
    return id | (static_cast<uintptr_t>(code) << 16);
}

}  // namespace platform
