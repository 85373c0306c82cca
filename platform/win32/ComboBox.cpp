#include "platform/ComboBox.h"

#include <windows.h>

#include <string>

#include "platform/CodePage.h"
#include "platform/Dialog.h"

// On Windows a list is the system's combo box, made by the dialog from its template; every call here is
// the combo box message that does it, so the list behaves (and answers) as the system's own.
namespace platform {
namespace {

HWND handleOf(void* control) {
    return static_cast<HWND>(control);
}

int answer(LRESULT result) {
    if (result == CB_ERRSPACE)
        return ComboBox::kErrorSpace;
    return result < 0 ? ComboBox::kError : static_cast<int>(result);
}

}  // namespace

ComboBox::ComboBox(Dialog& dialog, int id, uint32_t style, const Rect& rect)
    : dialog_(dialog), id_(id), style_(style), rect_(rect), visible_((style & kStyleVisible) != 0) {
    hostControl_ = GetDlgItem(static_cast<HWND>(dialog.hostWindow()), id);
}

int ComboBox::insertString(int index, const char16_t* text) {
    return insertString(index, std::u16string_view(text == nullptr ? u"" : text));
}

// 8-bit text goes through the system's own conversion, in the code page of the program (the ANSI one).
int ComboBox::insertString(int index, const char* text) {
    if (getCount() >= kMaxEntries)
        return kErrorSpace;
    return answer(SendMessageA(handleOf(hostControl_), CB_INSERTSTRING, static_cast<WPARAM>(index),
                               reinterpret_cast<LPARAM>(text == nullptr ? "" : text)));
}

int ComboBox::insertString(int index, std::u16string_view text) {
    if (getCount() >= kMaxEntries)
        return kErrorSpace;
    std::wstring terminated(text.begin(), text.end());
    return answer(SendMessageW(handleOf(hostControl_), CB_INSERTSTRING, static_cast<WPARAM>(index),
                               reinterpret_cast<LPARAM>(terminated.c_str())));
}

int ComboBox::insertUtf8(int index, std::string_view text) {
    return insertString(index, utf8ToUtf16(text));
}

void ComboBox::resetContent() {
    SendMessageW(handleOf(hostControl_), CB_RESETCONTENT, 0, 0);
}

// An index that names no entry clears the selection: asked for explicitly, since not every version of the
// system clears it for an index past the end.
int ComboBox::setCurSel(int index) {
    if (index < 0 || index >= getCount()) {
        SendMessageW(handleOf(hostControl_), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
        return kError;
    }
    return answer(SendMessageW(handleOf(hostControl_), CB_SETCURSEL, static_cast<WPARAM>(index), 0));
}

int ComboBox::getCurSel() const {
    return answer(SendMessageW(handleOf(hostControl_), CB_GETCURSEL, 0, 0));
}

int ComboBox::getCount() const {
    const int count = answer(SendMessageW(handleOf(hostControl_), CB_GETCOUNT, 0, 0));
    return count < 0 ? 0 : count;
}

std::u16string ComboBox::getTextUtf16(int index) const {
    HWND control = handleOf(hostControl_);
    const LRESULT length = SendMessageW(control, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length <= 0)
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied =
        SendMessageW(control, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
    if (copied <= 0)
        return {};
    text.resize(static_cast<size_t>(copied));
    return std::u16string(text.begin(), text.end());
}

std::string ComboBox::getText(int index) const {
    return utf16ToUtf8(getTextUtf16(index));
}

void ComboBox::move(int x, int y, int width, int height, bool repaint) {
    MoveWindow(handleOf(hostControl_), x, y, width, height, repaint ? TRUE : FALSE);
    rect_ = {x, y, width, height};
}

void ComboBox::show(bool visible) {
    ShowWindow(handleOf(hostControl_), visible ? SW_SHOW : SW_HIDE);
    visible_ = visible;
}

bool ComboBox::isTabStop() const {
    return (static_cast<uint32_t>(GetWindowLongW(handleOf(hostControl_), GWL_STYLE)) & kStyleTabStop) != 0;
}

void ComboBox::showDropDown(bool open) {
    SendMessageW(handleOf(hostControl_), CB_SHOWDROPDOWN, open ? TRUE : FALSE, 0);
}

bool ComboBox::isDroppedDown() const {
    return SendMessageW(handleOf(hostControl_), CB_GETDROPPEDSTATE, 0, 0) != 0;
}

// The closed box, in the dialog's client pixels.
Rect ComboBox::fieldRect() const {
    RECT box{};
    GetWindowRect(handleOf(hostControl_), &box);
    MapWindowPoints(HWND_DESKTOP, static_cast<HWND>(dialog_.hostWindow()), reinterpret_cast<POINT*>(&box), 2);
    return {box.left, box.top, box.right - box.left, box.bottom - box.top};
}

Rect ComboBox::listRect() const {
    if (!isDroppedDown())
        return {};
    RECT box{};
    SendMessageW(handleOf(hostControl_), CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&box));
    MapWindowPoints(HWND_DESKTOP, static_cast<HWND>(dialog_.hostWindow()), reinterpret_cast<POINT*>(&box), 2);
    return {box.left, box.top, box.right - box.left, box.bottom - box.top};
}

int ComboBox::itemHeight() const {
    return static_cast<int>(SendMessageW(handleOf(hostControl_), CB_GETITEMHEIGHT, 0, 0));
}

bool ComboBox::opensUpward() const {
    return isDroppedDown() && listRect().y < fieldRect().y;
}

int ComboBox::topIndex() const {
    return answer(SendMessageW(handleOf(hostControl_), CB_GETTOPINDEX, 0, 0));
}

// The entry under the pointer or the keyboard in the open list: the list's own selection.
int ComboBox::hotIndex() const {
    if (!isDroppedDown())
        return kError;
    COMBOBOXINFO info{};
    info.cbSize = sizeof(info);
    if (!GetComboBoxInfo(handleOf(hostControl_), &info) || info.hwndList == nullptr)
        return kError;
    return answer(SendMessageW(info.hwndList, LB_GETCURSEL, 0, 0));
}

int ComboBox::displayedIndex() const {
    return getCurSel();
}

}  // namespace platform
