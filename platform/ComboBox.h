#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Message.h"

// A drop-down list (combo box without edit field), drawn by the layer over its dialog.
//
// Closed, it is a box showing the selected entry and a drop button. A click on it opens the list below
// the box, or above it where the list would not fit below within the dialog; a click on an entry selects
// it and sends the dialog procedure a Command with kNotifySelectionChange. The wheel over the closed box
// and the arrow keys (while it has the focus) step through the entries, with the same notification; Tab
// moves the focus between the lists. Mouse input on a list (closed or open) belongs to the list and never
// reaches the dialog procedure; a click elsewhere while the list is open only closes it.
//
// Changing the entries or the selection from the program sends no notification, as with the message
// interface the programs were written against.
namespace platform {

class Dialog;
class DialogFont;
// The surface that a backend draws its own controls into (backends with native controls have none).
struct Canvas;

// The desktop's highlight colour (0x00RRGGBB): the selected entry, the focused list's box, and the ring
// around a focused area of the picture.
constexpr uint32_t kHighlightColour = 0x0078D7;

struct Rect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool contains(int px, int py) const { return px >= x && py >= y && px < x + width && py < y + height; }
};

class ComboBox {
  public:
    static constexpr int kError = -1;       // no such entry (also "no selection")
    static constexpr int kErrorSpace = -2;  // the list is full
    static constexpr int kMaxEntries = 32767;

    ComboBox(Dialog& dialog, int id, uint32_t style, const Rect& rect);
    ComboBox(const ComboBox&) = delete;
    ComboBox& operator=(const ComboBox&) = delete;

    int id() const { return id_; }

    // Inserts an entry at index (0 ... count; -1 appends) and returns the index it got, kError for an index
    // beyond the end, kErrorSpace when the list is full. The selected entry stays selected (its index moves
    // with it). Nothing is sorted.
    int insertString(int index, const char16_t* text);  // UTF-16, NUL-terminated (null = empty)
    int insertString(int index, const char* text);      // 8-bit in the host's code page (UTF-8)
    int insertString(int index, std::u16string_view text);
    int insertUtf8(int index, std::string_view text);
    // Removes every entry; no selection afterwards. An open list closes.
    void resetContent();
    // Selects the entry and returns its index; -1, or any index that names no entry, clears the selection
    // and returns kError.
    int setCurSel(int index);
    // The selected index, or kError (-1) when nothing is selected.
    int getCurSel() const;
    int getCount() const;
    // An entry's text, or empty for an index that names no entry.
    std::string getText(int index) const;
    std::u16string getTextUtf16(int index) const;

    // Places the control; the height includes the opened list. repaint: show the change at once.
    void move(int x, int y, int width, int height, bool repaint = true);
    Rect rect() const { return rect_; }
    void show(bool visible);
    bool isVisible() const { return visible_; }
    bool isTabStop() const;

    // Opens or closes the list as a click would (with the drop-down and close-up notifications).
    void showDropDown(bool open);
    bool isDroppedDown() const;

    // Geometry, in client pixels: the closed box, the opened list (empty while closed), one entry's
    // height, and whether the open list lies above the box.
    Rect fieldRect() const;
    Rect listRect() const;
    int itemHeight() const;
    bool opensUpward() const;
    // The first entry shown in the open list, and the entry under the pointer or the keyboard cursor.
    int topIndex() const;
    int hotIndex() const;
    // The entry the box shows: the selection, or while the list is open the entry the keys moved to (the
    // selection changes only when the entry is chosen).
    int displayedIndex() const;

    // Input, called by the dialog for messages addressed to this control. Each returns true when the
    // input was used.
    bool handleMouse(const Message& message);
    bool handleKey(uint32_t key, intptr_t modifiers);
    bool handleChar(char32_t character);
    // Drops a pressed button or a dragged scroll thumb (after a modal box swallowed the release).
    void resetInput();
    // Closes an open list without notifying (when the dialog loses focus or the list is hidden).
    void closeQuietly();

    // Draw the closed box, and the open list, into the dialog's composed picture, which is `scale`
    // times the client size; `font` is the dialog font at that scale, so text is drawn, not stretched.
    void drawField(Canvas& target, DialogFont& font, bool focused, bool active, int scale = 1);
    void drawList(Canvas& target, DialogFont& font, int scale = 1);

  private:
    int insertEntry(int index, std::string text);
    int visibleRows() const;
    bool scrollable() const;
    Rect itemsArea() const;
    Rect scrollBarArea() const;
    Rect thumbRect() const;
    int itemAt(int y) const;
    void layoutList();
    void open();
    void close(bool notify);
    void scrollTo(int top);
    void ensureVisible(int index);
    void choose(int index);
    void moveSelection(int index);
    void moveHot(int index);
    int pageStep() const;
    void changed();

    Dialog& dialog_;
    int id_;
    uint32_t style_;
    Rect rect_;
    bool visible_;
    std::vector<std::string> entries_;  // UTF-8
    int selected_ = kError;

    bool open_ = false;
    bool upward_ = false;
    Rect list_;
    int rows_ = 0;
    int top_ = 0;
    int hot_ = kError;
    int shown_ = kError;              // the entry the box shows while the list is open
    bool trackingFromField_ = false;  // the button went down on the box that opened the list
    bool pressedInList_ = false;
    bool draggingThumb_ = false;
    int dragOffset_ = 0;
    int wheelRemainder_ = 0;
    void* hostControl_ = nullptr;  // the host's own control, on backends that have native ones
};

}  // namespace platform
