#include "platform/Dialog.h"

#include <windows.h>

#include <algorithm>
#include <new>

#include "platform/DialogRegistry.h"
#include "platform/MessageLoop.h"
#include "platform/win32/DialogKeys.h"
#include "platform/win32/DialogResource.h"

// Dialogs on Windows are real modeless dialogs: made from the program's dialog resource when it has the
// template (CreateDialogParamW), else from the description in memory (CreateDialogIndirectParamW); their
// lists are the system's combo boxes; painting is BeginPaint, BitBlt from a memory device context and
// EndPaint. The dialog procedure receives every message the system sends the dialog, with the numbers
// the system gives them.
namespace platform {

struct DialogHost {
    HWND window = nullptr;
    PAINTSTRUCT paint{};
    HDC paintContext = nullptr;
    intptr_t initParam = 0;

    static INT_PTR CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static Dialog* owner(HWND window);
    static void attach(Dialog& dialog, HWND window);
    static Message translate(Dialog& dialog, HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // The picture's areas: the ring over the focused one, and leaving them for a list.
    static void drawFocusRing(Dialog& dialog);
    static void invalidateFocusRing(Dialog& dialog);
    static void leaveArea(Dialog& dialog);
};

namespace {

uint32_t nextWindowId() {
    static uint32_t last = 0;
    return ++last;
}

// The combo boxes among the dialog's children, in the order the template lists them.
BOOL CALLBACK collectComboBox(HWND child, LPARAM lParam) {
    wchar_t className[16];
    if (GetClassNameW(child, className, 16) > 0 && lstrcmpiW(className, L"ComboBox") == 0)
        reinterpret_cast<std::vector<HWND>*>(lParam)->push_back(child);
    return TRUE;
}

Rect clientRectOf(HWND control, HWND dialog) {
    RECT box{};
    GetWindowRect(control, &box);
    MapWindowPoints(HWND_DESKTOP, dialog, reinterpret_cast<POINT*>(&box), 2);
    return {box.left, box.top, box.right - box.left, box.bottom - box.top};
}

}  // namespace

// ---------------------------------------------------------------- the dialog procedure

Dialog* DialogHost::owner(HWND window) {
    auto* dialog = reinterpret_cast<Dialog*>(GetWindowLongPtrW(window, DWLP_USER));
    return Dialog::isLive(dialog) ? dialog : nullptr;
}

// Ties the new window to its Dialog and wraps the combo boxes that the template made.
void DialogHost::attach(Dialog& dialog, HWND window) {
    dialog.host_->window = window;
    SetWindowLongPtrW(window, DWLP_USER, reinterpret_cast<LONG_PTR>(&dialog));
    RECT client{};
    GetClientRect(window, &client);
    dialog.width_ = client.right - client.left;
    dialog.height_ = client.bottom - client.top;
    dialog.style_ = static_cast<uint32_t>(GetWindowLongW(window, GWL_STYLE));
    std::vector<HWND> lists;
    EnumChildWindows(window, collectComboBox, reinterpret_cast<LPARAM>(&lists));
    for (HWND list : lists) {
        if (GetParent(list) != window)
            continue;
        const int id = GetDlgCtrlID(list);
        const auto style = static_cast<uint32_t>(GetWindowLongW(list, GWL_STYLE));
        dialog.controls_.push_back(std::make_unique<ComboBox>(dialog, id, style, clientRectOf(list, window)));
    }
}

// The system's message as the procedure sees it: a list's command carries the list, not its window.
Message DialogHost::translate(Dialog& dialog, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Message translated;
    translated.type = static_cast<MessageType>(message);
    translated.dialog = &dialog;
    translated.wParam = wParam;
    translated.lParam = lParam;
    translated.time = static_cast<uint32_t>(GetMessageTime());
    translated.hostWindow = window;
    if (message == WM_INITDIALOG)
        translated.lParam = dialog.host_->initParam;
    if (message == WM_COMMAND && lParam != 0)
        translated.lParam = reinterpret_cast<intptr_t>(dialog.comboBox(LOWORD(wParam)));
    return translated;
}

INT_PTR CALLBACK DialogHost::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* dialog = nullptr;
    if (message == WM_INITDIALOG) {
        dialog = reinterpret_cast<Dialog*>(lParam);
        attach(*dialog, window);
    } else {
        dialog = owner(window);
    }
    if (dialog == nullptr)
        return FALSE;
    switch (message) {
        case WM_ACTIVATE:
            dialog->active_ = LOWORD(wParam) != WA_INACTIVE;
            break;
        case WM_SHOWWINDOW:
            dialog->visible_ = wParam != 0;
            break;
        case WM_PAINT:
            dialog->invalid_ = true;
            break;
        default:
            break;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == CBN_SETFOCUS)
        leaveArea(*dialog);  // a list took the focus (a click on it, or the system's own keys)
    const bool areaFocused = dialog->focusArea_ >= 0;
    const bool handled = dialog->callProcedure(translate(*dialog, window, message, wParam, lParam));
    if (message == WM_DESTROY)
        SetWindowLongPtrW(window, DWLP_USER, 0);  // nothing reaches the procedure after Destroy
    if (message == WM_SETFOCUS && areaFocused)
        return TRUE;  // the focus stays with the area: the system would hand it back to the last list
    if (message == WM_PAINT && !handled)
        return FALSE;  // the system validates and paints the dialog colour
    if (message == WM_PAINT && dialog->invalid_ && Dialog::isLive(dialog)) {
        // Handled without beginPaint: validated all the same, or the system would ask again at once.
        ValidateRect(window, nullptr);
        dialog->invalid_ = false;
    }
    if (message == WM_PAINT && Dialog::isLive(dialog))
        drawFocusRing(*dialog);
    return handled ? TRUE : FALSE;
}

// Drawn over what the procedure painted, through the window's device context.
void DialogHost::drawFocusRing(Dialog& dialog) {
    const Rect ring = dialog.focusRingRect();
    if (ring.width <= 0 || ring.height <= 0)
        return;
    HDC context = GetDC(dialog.host_->window);
    if (context == nullptr)
        return;
    HBRUSH brush = CreateSolidBrush(RGB((kFocusRingColour >> 16) & 0xFF, (kFocusRingColour >> 8) & 0xFF,
                                        kFocusRingColour & 0xFF));
    const int w = kFocusRingWidth;
    const RECT sides[] = {{ring.x, ring.y, ring.x + ring.width, ring.y + w},
                          {ring.x, ring.y + ring.height - w, ring.x + ring.width, ring.y + ring.height},
                          {ring.x, ring.y, ring.x + w, ring.y + ring.height},
                          {ring.x + ring.width - w, ring.y, ring.x + ring.width, ring.y + ring.height}};
    if (brush != nullptr) {
        for (const RECT& side : sides)
            FillRect(context, &side, brush);
        DeleteObject(brush);
    }
    ReleaseDC(dialog.host_->window, context);
}

// The ring's place is painted again: by the procedure, and then with the ring when an area has the focus.
void DialogHost::invalidateFocusRing(Dialog& dialog) {
    const Rect ring = dialog.focusRingRect();
    if (ring.width <= 0 || ring.height <= 0)
        return;
    const RECT place{ring.x, ring.y, ring.x + ring.width, ring.y + ring.height};
    InvalidateRect(dialog.host_->window, &place, FALSE);
    dialog.invalid_ = true;
}

void DialogHost::leaveArea(Dialog& dialog) {
    if (dialog.focusArea_ < 0)
        return;
    invalidateFocusRing(dialog);
    dialog.focusArea_ = -1;
}

// ---------------------------------------------------------------- creation and destruction

Dialog* createDialog(const DialogTemplate& dialogTemplate, DialogProc procedure, intptr_t initParam) {
    noteDialogThread();
    std::unique_ptr<Dialog> dialog(new (std::nothrow) Dialog());
    if (!dialog)
        return nullptr;
    dialog->host_.reset(new (std::nothrow) DialogHost());
    if (!dialog->host_)
        return nullptr;
    dialog->procedure_ = std::move(procedure);
    dialog->host_->initParam = initParam;
    dialog->windowId_ = nextWindowId();
    Dialog* created = dialog.release();
    liveDialogs().push_back(created);

    // The creation parameter of the system's call is the Dialog itself; the procedure gets initParam.
    const auto self = reinterpret_cast<LPARAM>(created);
    HWND window = nullptr;
    if (hasDialogResource(dialogTemplate.resourceId)) {
        window = CreateDialogParamW(nullptr, MAKEINTRESOURCEW(dialogTemplate.resourceId), nullptr,
                                    DialogHost::procedure, self);
    } else {
        std::vector<uint8_t> memory = buildDialogTemplate(dialogTemplate);
        if (!memory.empty())
            window = CreateDialogIndirectParamW(nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(memory.data()),
                                                nullptr, DialogHost::procedure, self);
    }
    if (window == nullptr || created->destroyed_) {
        if (!created->destroyed_) {
            auto& live = liveDialogs();
            live.erase(std::remove(live.begin(), live.end(), created), live.end());
            delete created;
        }
        return nullptr;
    }
    created->visible_ = IsWindowVisible(window) != FALSE;
    return created;
}

void destroyDialog(Dialog* dialog) {
    if (!Dialog::isLive(dialog) || dialog->destroyed_)
        return;
    ++dialog->callDepth_;  // the Dialog outlives DestroyWindow's messages
    DestroyWindow(dialog->host_->window);  // sends Destroy to the procedure while the lists still exist
    --dialog->callDepth_;
    dialog->destroyed_ = true;
    dialog->visible_ = false;
    auto& live = liveDialogs();
    live.erase(std::remove(live.begin(), live.end(), dialog), live.end());
    if (dialog->callDepth_ == 0)
        delete dialog;
    else
        destroyedDialogs().push_back(dialog);
}

Dialog::~Dialog() {
    controls_.clear();
    if (host_ && host_->window != nullptr && IsWindow(host_->window) && !destroyed_)
        DestroyWindow(host_->window);
}

bool Dialog::callProcedure(const Message& message) {
    if (destroyed_ || !procedure_)
        return false;
    ++callDepth_;
    const bool handled = procedure_(*this, message);
    --callDepth_;
    return handled && !destroyed_;
}

void* Dialog::hostWindow() const {
    return host_ ? host_->window : nullptr;
}

// ---------------------------------------------------------------- showing and painting

void Dialog::show() {
    ShowWindow(host_->window, SW_SHOWDEFAULT);
    visible_ = true;
}

void Dialog::hide() {
    ShowWindow(host_->window, SW_HIDE);
    visible_ = false;
}

void Dialog::update() {
    UpdateWindow(host_->window);
}

void Dialog::bringToFront() {
    SetForegroundWindow(host_->window);
    BringWindowToTop(host_->window);
}

void Dialog::invalidate(bool erase) {
    RedrawWindow(host_->window, nullptr, nullptr, RDW_INVALIDATE | (erase ? RDW_ERASE : 0));
    invalid_ = true;
}

void Dialog::redraw() {
    invalidate(false);
    update();
}

bool Dialog::beginPaint() {
    if (painting_)
        return true;
    host_->paintContext = BeginPaint(host_->window, &host_->paint);
    if (host_->paintContext == nullptr)
        return false;
    painting_ = true;
    invalid_ = false;
    return true;
}

bool Dialog::blit(const Bitmap& bitmap, int x, int y) {
    return blit(x, y, bitmap.width(), bitmap.height(), bitmap, 0, 0);
}

bool Dialog::blit(int x, int y, int width, int height, const Bitmap& bitmap, int sourceX, int sourceY) {
    if (!painting_ || bitmap.hostHandle() == nullptr)
        return false;
    auto handle = static_cast<HBITMAP>(bitmap.hostHandle());
    BITMAP description{};
    if (GetObjectW(handle, sizeof(description), &description) == 0)
        return false;
    // Only the part of the source that exists is copied.
    if (sourceX < 0 || sourceY < 0 || sourceX >= description.bmWidth || sourceY >= description.bmHeight)
        return true;
    width = std::min(width, static_cast<int>(description.bmWidth) - sourceX);
    height = std::min(height, static_cast<int>(description.bmHeight) - sourceY);
    if (width <= 0 || height <= 0)
        return true;
    HDC memory = CreateCompatibleDC(host_->paintContext);
    if (memory == nullptr)
        return false;
    HGDIOBJ previous = SelectObject(memory, handle);
    const BOOL copied = BitBlt(host_->paintContext, x, y, width, height, memory, sourceX, sourceY, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    return copied != FALSE;
}

void Dialog::endPaint() {
    if (!painting_)
        return;
    EndPaint(host_->window, &host_->paint);
    host_->paintContext = nullptr;
    painting_ = false;
}

// The client area as the screen shows it, read back through the window's device context.
std::vector<uint32_t> Dialog::capture() {
    std::vector<uint32_t> pixels;
    if (width_ <= 0 || height_ <= 0)
        return pixels;
    HDC window = GetDC(host_->window);
    HDC memory = CreateCompatibleDC(window);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width_;
    info.bmiHeader.biHeight = -height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP target = CreateDIBSection(window, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (memory != nullptr && target != nullptr && bits != nullptr) {
        HGDIOBJ previous = SelectObject(memory, target);
        BitBlt(memory, 0, 0, width_, height_, window, 0, 0, SRCCOPY);
        GdiFlush();
        const auto* words = static_cast<const uint32_t*>(bits);
        pixels.assign(words, words + static_cast<size_t>(width_) * static_cast<size_t>(height_));
        for (uint32_t& pixel : pixels)
            pixel &= 0x00FFFFFFu;
        SelectObject(memory, previous);
    }
    if (target != nullptr)
        DeleteObject(target);
    if (memory != nullptr)
        DeleteDC(memory);
    ReleaseDC(host_->window, window);
    return pixels;
}

// ---------------------------------------------------------------- controls and focus

ComboBox* Dialog::comboBox(int id) {
    for (auto& control : controls_) {
        if (control->id() == id)
            return control.get();
    }
    return nullptr;
}

int Dialog::focusedControl() const {
    HWND focused = GetFocus();
    if (focused == nullptr || GetParent(focused) != host_->window)
        return 0;
    return GetDlgCtrlID(focused);
}

bool Dialog::setFocus(int id) {
    ComboBox* list = comboBox(id);
    if (list == nullptr || !list->isVisible())
        return false;
    DialogHost::leaveArea(*this);
    SendMessageW(host_->window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(host_->window, id)), TRUE);
    return true;
}

void Dialog::setFocusAreas(std::vector<FocusArea> areas) {
    DialogHost::leaveArea(*this);
    areas_ = std::move(areas);
}

// The dialog window itself takes the keyboard focus from the lists (its procedure keeps it there while an
// area is focused), and the ring is drawn at the next paint.
bool Dialog::setFocusArea(int index) {
    if (index < 0 || index >= static_cast<int>(areas_.size()))
        return false;
    if (index == focusArea_)
        return true;
    DialogHost::leaveArea(*this);
    focusArea_ = index;
    if (GetFocus() != host_->window)
        SetFocus(host_->window);
    DialogHost::invalidateFocusRing(*this);
    const Rect& rect = areas_[static_cast<size_t>(index)].rect;
    Message move;
    move.type = MessageType::MouseMove;
    move.dialog = this;
    move.lParam = packPoint(rect.x + rect.width / 2, rect.y + rect.height / 2);
    move.hostWindow = host_->window;
    callProcedure(move);
    return true;
}

void Dialog::activateArea(int index) {
    if (index < 0 || index >= static_cast<int>(areas_.size()))
        return;
    const Rect& rect = areas_[static_cast<size_t>(index)].rect;
    const LPARAM point = packPoint(rect.x + rect.width / 2, rect.y + rect.height / 2);
    PostMessageW(host_->window, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(host_->window, WM_LBUTTONUP, 0, point);
}

std::vector<int> Dialog::focusStops() const {
    std::vector<int> stops;
    for (const auto& control : controls_) {
        HWND list = GetDlgItem(host_->window, control->id());
        if (list != nullptr && IsWindowVisible(list) && (GetWindowLongW(list, GWL_STYLE) & WS_TABSTOP) != 0)
            stops.push_back(control->id());
    }
    for (size_t i = 0; i < areas_.size(); ++i)
        stops.push_back(-1 - static_cast<int>(i));
    return stops;
}

void Dialog::cycleFocus(bool backwards) {
    const std::vector<int> stops = focusStops();
    if (stops.empty())
        return;
    const int current = focusArea_ >= 0 ? -1 - focusArea_ : focusedControl();
    const auto here = std::find(stops.begin(), stops.end(), current);
    const int count = static_cast<int>(stops.size());
    int index = backwards ? count - 1 : 0;
    if (here != stops.end())
        index = (static_cast<int>(here - stops.begin()) + (backwards ? count - 1 : 1)) % count;
    const int next = stops[static_cast<size_t>(index)];
    if (next < 0)
        setFocusArea(-1 - next);
    else
        setFocus(next);
}

namespace win32 {

// Keys for the picture's areas, before the system's dialog handling: Tab and Shift+Tab go through the lists
// and then the areas (the system's Tab knows only the lists); Enter or Space on a focused area acts on it,
// and no other key reaches the lists while an area has the focus. An open list keeps its keys.
bool takeAreaKey(Dialog& dialog, const MSG& message) {
    if (dialog.focusAreas().empty() || (message.message != WM_KEYDOWN && message.message != WM_CHAR &&
                                        message.message != WM_KEYUP))
        return false;
    HWND window = static_cast<HWND>(dialog.hostWindow());
    if (message.hwnd != window && GetParent(message.hwnd) != window)
        return false;
    if (message.hwnd != window && SendMessageW(message.hwnd, CB_GETDROPPEDSTATE, 0, 0) != 0)
        return false;
    if (GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0)
        return false;
    const bool onArea = dialog.focusedArea() >= 0;
    if (message.message == WM_KEYDOWN && message.wParam == VK_TAB) {
        dialog.cycleFocus(GetKeyState(VK_SHIFT) < 0);
        return true;
    }
    if (!onArea)
        return message.message == WM_CHAR && message.wParam == L'\t';  // the Tab handled above
    if (message.message == WM_KEYDOWN && (message.wParam == VK_RETURN || message.wParam == VK_SPACE))
        dialog.activateArea(dialog.focusedArea());
    return true;
}

}  // namespace win32

}  // namespace platform
