#include "platform/ComboBox.h"

#include <SDL.h>

#include <algorithm>

#include "platform/CodePage.h"
#include "platform/Dialog.h"
#include "platform/sdl/Canvas.h"
#include "platform/sdl/DialogFont.h"

namespace platform {
namespace {

// Sizes and colours of the drawn controls: a light desktop theme.
constexpr int kButtonWidth = 17;  // drop button
constexpr int kScrollWidth = 17;  // scroll bar of the open list
constexpr int kFieldExtra = 8;    // closed box height = entry height + this
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kText = 0x000000;
constexpr uint32_t kHighlight = kHighlightColour;
constexpr uint32_t kHighlightText = 0xFFFFFF;
constexpr uint32_t kBorder = 0x7A7A7A;
constexpr uint32_t kListBorder = 0x646464;
constexpr uint32_t kButtonFace = 0xE5E5E5;
constexpr uint32_t kButtonFaceOpen = 0xCCE4F7;
constexpr uint32_t kButtonEdge = 0xBCBCBC;
constexpr uint32_t kArrow = 0x404040;
constexpr uint32_t kTrack = 0xF0F0F0;
constexpr uint32_t kThumb = 0xC2C2C2;
constexpr uint32_t kScrollArrow = 0x606060;

// A dialog's composed picture, drawn at the dialog's scale: rectangles are given in client pixels.
struct Painter {
    SDL_Surface* surface;
    int scale;
};

void fill(const Painter& painter, const Rect& rect, uint32_t rgb) {
    if (rect.width <= 0 || rect.height <= 0) {
        return;
    }
    int s = painter.scale;
    SDL_Rect area{rect.x * s, rect.y * s, rect.width * s, rect.height * s};
    SDL_FillRect(painter.surface, &area,
                 SDL_MapRGB(painter.surface->format, (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
}

void frame(const Painter& painter, const Rect& rect, uint32_t rgb) {
    fill(painter, {rect.x, rect.y, rect.width, 1}, rgb);
    fill(painter, {rect.x, rect.y + rect.height - 1, rect.width, 1}, rgb);
    fill(painter, {rect.x, rect.y, 1, rect.height}, rgb);
    fill(painter, {rect.x + rect.width - 1, rect.y, 1, rect.height}, rgb);
}

// A filled triangle pointing down (or up), centred on (cx, cy), `half` pixels from tip to the middle
// of its base row.
void triangle(const Painter& painter, int cx, int cy, int half, bool down, uint32_t rgb) {
    int rows = half + 1;
    int top = cy - rows / 2;
    for (int row = 0; row < rows; ++row) {
        int span = down ? half - row : row;
        fill(painter, {cx - span, top + row, 2 * span + 1, 1}, rgb);
    }
}

// Text at a client position, clipped to a client rectangle, in the font drawn at the painter's scale.
void text(const Painter& painter, DialogFont& font, const std::string& utf8, int x, int y, uint32_t rgb,
          const Rect& clip) {
    int s = painter.scale;
    SDL_Rect scaledClip{clip.x * s, clip.y * s, std::max(0, clip.width) * s, std::max(0, clip.height) * s};
    font.draw(painter.surface, utf8, x * s, y * s, rgb, scaledClip);
}

// The first character of a UTF-8 text, folded to lower case for the common alphabets.
char32_t foldCase(char32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x410 && c <= 0x42F)) {
        return c + 32;
    }
    if (c >= 0x400 && c <= 0x40F) {
        return c + 80;
    }
    if (c >= 0x100 && c <= 0x17F && (c % 2) == 0) {
        return c + 1;  // most of Latin Extended-A pairs upper and lower case this way
    }
    return c;
}

char32_t firstCharacter(const std::string& text) {
    std::u16string wide = utf8ToUtf16(text.substr(0, std::min<size_t>(text.size(), 4)));
    if (wide.empty()) {
        return 0;
    }
    if (wide[0] >= 0xD800 && wide[0] <= 0xDBFF && wide.size() > 1) {
        return 0x10000 + ((static_cast<char32_t>(wide[0]) - 0xD800) << 10) + (wide[1] - 0xDC00);
    }
    return wide[0];
}

int signedX(intptr_t lParam) {
    return static_cast<int16_t>(pointX(lParam));
}
int signedY(intptr_t lParam) {
    return static_cast<int16_t>(pointY(lParam));
}

}  // namespace

ComboBox::ComboBox(Dialog& dialog, int id, uint32_t style, const Rect& rect)
    : dialog_(dialog), id_(id), style_(style), rect_(rect), visible_((style & kStyleVisible) != 0) {}

// ---------------------------------------------------------------- entries and selection

int ComboBox::insertString(int index, const char16_t* text) {
    return insertString(index, std::u16string_view(text ? text : u"", utf16Length(text)));
}

int ComboBox::insertString(int index, const char* text) {
    return insertUtf8(index, text ? text : "");
}

int ComboBox::insertString(int index, std::u16string_view text) {
    return insertEntry(index, utf16ToUtf8(text));
}

int ComboBox::insertUtf8(int index, std::string_view text) {
    std::string clean;
    multiByteToUtf8(kCodePageAnsi, text, clean);  // replaces invalid bytes, so the font gets valid text
    return insertEntry(index, std::move(clean));
}

int ComboBox::insertEntry(int index, std::string text) {
    int count = getCount();
    if (index == -1) {
        index = count;
    }
    if (index < 0 || index > count) {
        return kError;
    }
    if (count >= kMaxEntries) {
        return kErrorSpace;
    }
    entries_.insert(entries_.begin() + index, std::move(text));
    if (selected_ >= index) {
        ++selected_;
    }
    if (open_) {
        if (hot_ >= index) {
            ++hot_;
        }
        if (shown_ >= index) {
            ++shown_;
        }
        layoutList();
    }
    changed();
    return index;
}

void ComboBox::resetContent() {
    closeQuietly();
    entries_.clear();
    selected_ = kError;
    hot_ = kError;
    top_ = 0;
    changed();
}

int ComboBox::setCurSel(int index) {
    if (index < 0 || index >= getCount()) {
        if (selected_ != kError) {
            selected_ = kError;
            changed();
        }
        return kError;
    }
    if (index != selected_) {
        selected_ = index;
        changed();
    }
    if (open_) {
        hot_ = index;
        shown_ = index;
        ensureVisible(index);
    }
    return index;
}

std::string ComboBox::getText(int index) const {
    if (index < 0 || index >= getCount()) {
        return {};
    }
    return entries_[static_cast<size_t>(index)];
}

std::u16string ComboBox::getTextUtf16(int index) const {
    return utf8ToUtf16(getText(index));
}

// ---------------------------------------------------------------- placement

void ComboBox::move(int x, int y, int width, int height, bool repaint) {
    rect_ = {x, y, std::max(0, width), std::max(0, height)};
    if (open_) {
        layoutList();
    }
    (void)repaint;  // the dialog shows every change when its message loop is idle
    changed();
}

void ComboBox::show(bool visible) {
    if (visible == visible_) {
        return;
    }
    visible_ = visible;
    if (!visible) {
        closeQuietly();
        resetInput();
        if (dialog_.focusedControl() == id_) {
            dialog_.cycleFocus(false);
        }
    }
    changed();
}

bool ComboBox::isTabStop() const {
    return (style_ & kStyleTabStop) != 0;
}

int ComboBox::itemHeight() const {
    return dialog_.font().lineHeight();
}

Rect ComboBox::fieldRect() const {
    return {rect_.x, rect_.y, rect_.width, itemHeight() + kFieldExtra};
}

// ---------------------------------------------------------------- the open list

int ComboBox::visibleRows() const {
    // The template height includes the open list: what is left below the box holds this many entries.
    return std::max(1, (rect_.height - fieldRect().height - 2) / itemHeight());
}

int ComboBox::pageStep() const {
    return std::max(1, (open_ ? rows_ : visibleRows()) - 1);
}

void ComboBox::layoutList() {
    Rect field = fieldRect();
    int item = itemHeight();
    rows_ = std::max(1, std::min(getCount(), visibleRows()));
    int height = rows_ * item + 2;
    int below = dialog_.clientHeight() - (field.y + field.height);
    int above = field.y;
    if (height <= below) {
        upward_ = false;
    } else if (height <= above) {
        upward_ = true;
    } else {
        // Fits on neither side: take the roomier one and show fewer entries.
        upward_ = above > below;
        int room = upward_ ? above : below;
        rows_ = std::max(1, (room - 2) / item);
        height = rows_ * item + 2;
    }
    list_ = {field.x, upward_ ? field.y - height : field.y + field.height, field.width, height};
    scrollTo(top_);
}

bool ComboBox::scrollable() const {
    return open_ && getCount() > rows_;
}

Rect ComboBox::itemsArea() const {
    return {list_.x + 1, list_.y + 1, list_.width - 2 - (scrollable() ? kScrollWidth : 0), list_.height - 2};
}

Rect ComboBox::scrollBarArea() const {
    return {list_.x + list_.width - 1 - kScrollWidth, list_.y + 1, kScrollWidth, list_.height - 2};
}

Rect ComboBox::thumbRect() const {
    Rect bar = scrollBarArea();
    int arrow = bar.height >= 3 * kScrollWidth ? kScrollWidth : 0;
    int track = bar.height - 2 * arrow;
    int count = getCount();
    int thumb = std::max(std::min(10, track), track * rows_ / std::max(1, count));
    int range = std::max(1, count - rows_);
    int offset = (track - thumb) * top_ / range;
    return {bar.x, bar.y + arrow + offset, bar.width, thumb};
}

int ComboBox::itemAt(int y) const {
    Rect items = itemsArea();
    if (y < items.y) {
        return kError;
    }
    int row = (y - items.y) / itemHeight();
    int index = top_ + row;
    if (row >= rows_ || index >= getCount()) {
        return kError;
    }
    return index;
}

void ComboBox::scrollTo(int top) {
    top = std::clamp(top, 0, std::max(0, getCount() - rows_));
    if (top != top_) {
        top_ = top;
        changed();
    }
}

void ComboBox::ensureVisible(int index) {
    if (index < 0) {
        return;
    }
    if (index < top_) {
        scrollTo(index);
    } else if (index >= top_ + rows_) {
        scrollTo(index - rows_ + 1);
    }
}

void ComboBox::open() {
    if (open_ || !visible_) {
        return;
    }
    open_ = true;
    hot_ = selected_;
    shown_ = selected_;
    top_ = 0;
    layoutList();
    ensureVisible(hot_);
    changed();
    dialog_.notify(*this, kNotifyDropDown);  // last: the procedure may change this list
}

void ComboBox::close(bool notify) {
    if (!open_) {
        return;
    }
    open_ = false;
    trackingFromField_ = false;
    pressedInList_ = false;
    draggingThumb_ = false;
    hot_ = kError;
    changed();
    if (notify) {
        dialog_.notify(*this, kNotifyCloseUp);
    }
}

void ComboBox::closeQuietly() {
    close(false);
}

void ComboBox::showDropDown(bool openIt) {
    if (openIt) {
        open();
    } else {
        close(true);
    }
}

void ComboBox::choose(int index) {
    bool change = index >= 0 && index < getCount() && index != selected_;
    if (change) {
        selected_ = index;
    }
    close(false);
    // Both notifications go last: the procedure may refill or hide this list while handling them.
    dialog_.notify(*this, kNotifyCloseUp);
    if (change) {
        dialog_.notify(*this, kNotifySelectionChange);
    }
}

void ComboBox::moveSelection(int index) {
    int count = getCount();
    if (count == 0) {
        return;
    }
    index = std::clamp(index, 0, count - 1);
    if (index == selected_) {
        return;
    }
    selected_ = index;
    changed();
    dialog_.notify(*this, kNotifySelectionChange);
}

void ComboBox::moveHot(int index) {
    int count = getCount();
    if (count == 0) {
        return;
    }
    hot_ = std::clamp(index, 0, count - 1);
    shown_ = hot_;  // the keyboard cursor's entry shows in the box, the pointer's does not
    ensureVisible(hot_);
    changed();
}

int ComboBox::displayedIndex() const {
    int index = open_ ? shown_ : selected_;
    return index >= 0 && index < getCount() ? index : kError;
}

void ComboBox::resetInput() {
    trackingFromField_ = false;
    pressedInList_ = false;
    draggingThumb_ = false;
    wheelRemainder_ = 0;
}

void ComboBox::changed() {
    dialog_.controlChanged();
}

// ---------------------------------------------------------------- input

bool ComboBox::handleMouse(const Message& message) {
    if (!visible_) {
        return false;
    }
    int x = signedX(message.lParam);
    int y = signedY(message.lParam);
    switch (message.type) {
        case MessageType::LeftButtonDown: {
            if (!open_) {
                if (!fieldRect().contains(x, y)) {
                    return true;
                }
                dialog_.setFocus(id_);
                trackingFromField_ = true;
                open();
                return true;
            }
            if (list_.contains(x, y)) {
                Rect bar = scrollBarArea();
                if (scrollable() && bar.contains(x, y)) {
                    int arrow = bar.height >= 3 * kScrollWidth ? kScrollWidth : 0;
                    Rect thumb = thumbRect();
                    if (y < bar.y + arrow) {
                        scrollTo(top_ - 1);
                    } else if (y >= bar.y + bar.height - arrow) {
                        scrollTo(top_ + 1);
                    } else if (thumb.contains(x, y)) {
                        draggingThumb_ = true;
                        dragOffset_ = y - thumb.y;
                    } else {
                        scrollTo(y < thumb.y ? top_ - pageStep() : top_ + pageStep());
                    }
                    return true;
                }
                pressedInList_ = true;
                int index = itemAt(y);
                if (index != kError && index != hot_) {
                    hot_ = index;
                    changed();
                }
                return true;
            }
            // On the box of the open list, or anywhere else: the click only closes the list.
            close(true);
            return true;
        }
        case MessageType::MouseMove: {
            if (!open_) {
                return true;
            }
            if (draggingThumb_) {
                Rect bar = scrollBarArea();
                int arrow = bar.height >= 3 * kScrollWidth ? kScrollWidth : 0;
                Rect thumb = thumbRect();
                int track = bar.height - 2 * arrow - thumb.height;
                if (track > 0) {
                    int position = y - dragOffset_ - (bar.y + arrow);
                    int range = getCount() - rows_;
                    scrollTo((position * range + track / 2) / track);
                }
                return true;
            }
            if (itemsArea().contains(x, y)) {
                int index = itemAt(y);
                if (index != kError && index != hot_) {
                    hot_ = index;
                    changed();
                }
            }
            return true;
        }
        case MessageType::LeftButtonUp: {
            if (!open_) {
                resetInput();
                return true;
            }
            if (draggingThumb_) {
                draggingThumb_ = false;
                return true;
            }
            bool armed = pressedInList_ || trackingFromField_;
            trackingFromField_ = false;
            pressedInList_ = false;
            if (armed && itemsArea().contains(x, y)) {
                int index = itemAt(y);
                if (index != kError) {
                    choose(index);
                }
            }
            return true;
        }
        case MessageType::MouseWheel: {
            wheelRemainder_ += wheelDelta(message.wParam);
            int notches = wheelRemainder_ / 120;
            wheelRemainder_ %= 120;
            if (notches == 0) {
                return true;
            }
            if (open_) {
                int step = std::min(3, std::max(1, rows_ - 1));
                scrollTo(top_ - notches * step);
                return true;
            }
            // Away from the user (positive) goes up the list.
            int steps = -notches;
            int base = selected_ != kError ? selected_ : (steps > 0 ? -1 : getCount());
            moveSelection(base + steps);
            return true;
        }
        case MessageType::RightButtonDown:
        case MessageType::RightButtonUp:
            return true;
        default:
            return false;
    }
}

bool ComboBox::handleKey(uint32_t key, intptr_t modifiers) {
    if (!visible_) {
        return false;
    }
    bool alt = (modifiers & kModifierAlt) != 0;
    // Alt+F4 is the window's close request, never the list's.
    bool toggle = (key == Key::F4 && !alt) || (alt && (key == Key::Down || key == Key::Up));
    if (!open_) {
        if (toggle) {
            open();
            return true;
        }
        if (alt) {
            return false;
        }
        int last = getCount() - 1;
        switch (key) {
            case Key::Up:
            case Key::Left:
                moveSelection(selected_ == kError ? 0 : selected_ - 1);
                return true;
            case Key::Down:
            case Key::Right:
                moveSelection(selected_ == kError ? 0 : selected_ + 1);
                return true;
            case Key::Home:
                moveSelection(0);
                return true;
            case Key::End:
                moveSelection(last);
                return true;
            case Key::PageUp:
                moveSelection(selected_ == kError ? 0 : selected_ - pageStep());
                return true;
            case Key::PageDown:
                moveSelection(selected_ == kError ? 0 : selected_ + pageStep());
                return true;
            default:
                return false;
        }
    }
    if (key == Key::Return || toggle) {
        if (hot_ != kError) {
            choose(hot_);
        } else {
            close(true);
        }
        return true;
    }
    if (key == Key::Escape) {
        close(true);
        return true;
    }
    switch (key) {
        case Key::Up:
        case Key::Left:
            moveHot(hot_ == kError ? 0 : hot_ - 1);
            return true;
        case Key::Down:
        case Key::Right:
            moveHot(hot_ == kError ? 0 : hot_ + 1);
            return true;
        case Key::Home:
            moveHot(0);
            return true;
        case Key::End:
            moveHot(getCount() - 1);
            return true;
        case Key::PageUp:
            moveHot(hot_ == kError ? 0 : hot_ - pageStep());
            return true;
        case Key::PageDown:
            moveHot(hot_ == kError ? 0 : hot_ + pageStep());
            return true;
        default:
            return false;
    }
}

bool ComboBox::handleChar(char32_t character) {
    if (!visible_ || character < 0x20) {
        return false;
    }
    int count = getCount();
    char32_t wanted = foldCase(character);
    int start = open_ ? hot_ : selected_;
    for (int step = 1; step <= count; ++step) {
        int index = ((start < 0 ? -1 : start) + step) % count;
        if (foldCase(firstCharacter(entries_[static_cast<size_t>(index)])) == wanted) {
            if (open_) {
                moveHot(index);
            } else {
                moveSelection(index);
            }
            break;
        }
    }
    return true;
}

// ---------------------------------------------------------------- state

int ComboBox::getCurSel() const {
    return selected_;
}

int ComboBox::getCount() const {
    return static_cast<int>(entries_.size());
}

bool ComboBox::isDroppedDown() const {
    return open_;
}

Rect ComboBox::listRect() const {
    return open_ ? list_ : Rect{};
}

bool ComboBox::opensUpward() const {
    return open_ && upward_;
}

int ComboBox::topIndex() const {
    return top_;
}

int ComboBox::hotIndex() const {
    return hot_;
}

// ---------------------------------------------------------------- drawing

void ComboBox::drawField(Canvas& target, DialogFont& font, bool focused, bool active, int scale) {
    if (!visible_) {
        return;
    }
    Painter painter{target.surface, scale};
    Rect field = fieldRect();
    fill(painter, field, kWhite);
    frame(painter, field, open_ ? kHighlight : kBorder);
    Rect button{field.x + field.width - 1 - kButtonWidth, field.y + 1, kButtonWidth, field.height - 2};
    fill(painter, button, open_ ? kButtonFaceOpen : kButtonFace);
    fill(painter, {button.x, button.y, 1, button.height}, kButtonEdge);
    triangle(painter, button.x + button.width / 2, button.y + button.height / 2, 3, true, kArrow);

    Rect textArea{field.x + 2, field.y + 2, button.x - field.x - 3, field.height - 4};
    uint32_t colour = kText;
    if (focused && active && !open_) {
        fill(painter, textArea, kHighlight);
        colour = kHighlightText;
    }
    int shown = displayedIndex();
    if (shown != kError) {
        Rect clip{textArea.x, textArea.y, std::max(0, textArea.width - 1), textArea.height};
        text(painter, font, entries_[static_cast<size_t>(shown)], textArea.x + 2,
             field.y + (field.height - itemHeight()) / 2, colour, clip);
    }
}

void ComboBox::drawList(Canvas& target, DialogFont& font, int scale) {
    if (!open_ || !visible_) {
        return;
    }
    Painter painter{target.surface, scale};
    fill(painter, list_, kWhite);
    frame(painter, list_, kListBorder);
    Rect items = itemsArea();
    int item = itemHeight();
    Rect clip{items.x, items.y, std::max(0, items.width), std::max(0, items.height)};
    for (int row = 0; row < rows_; ++row) {
        int index = top_ + row;
        if (index >= getCount()) {
            break;
        }
        Rect line{items.x, items.y + row * item, items.width, item};
        uint32_t colour = kText;
        if (index == hot_) {
            fill(painter, line, kHighlight);
            colour = kHighlightText;
        }
        text(painter, font, entries_[static_cast<size_t>(index)], line.x + 3, line.y, colour, clip);
    }
    if (scrollable()) {
        Rect bar = scrollBarArea();
        fill(painter, bar, kTrack);
        int arrow = bar.height >= 3 * kScrollWidth ? kScrollWidth : 0;
        if (arrow > 0) {
            triangle(painter, bar.x + bar.width / 2, bar.y + arrow / 2, 3, false, kScrollArrow);
            triangle(painter, bar.x + bar.width / 2, bar.y + bar.height - arrow / 2 - 1, 3, true,
                     kScrollArrow);
        }
        Rect thumb = thumbRect();
        fill(painter, {thumb.x + 2, thumb.y, thumb.width - 4, thumb.height}, kThumb);
    }
}

}  // namespace platform
