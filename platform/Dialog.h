#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/ComboBox.h"
#include "platform/DialogTemplate.h"
#include "platform/Message.h"

// A modeless dialog made from a template: a host window of the template's size (borderless for a popup,
// with title bar and close box for a captioned template), its controls, and a dialog procedure that
// receives the dialog's messages.
//
// The dialog keeps its client picture: the procedure paints it on Paint (beginPaint, blit, endPaint) and
// the picture stays until the next paint, so lists that open and close over it never need the procedure
// to paint again. The controls are drawn over the picture.
//
// All of it runs on the thread that created the dialog (the programs' main thread).
namespace platform {

class DialogFont;
// What a backend keeps of a dialog's host window (its window, pictures and fonts), in the backend's files.
struct DialogHost;

// A place on the dialog's picture that the keyboard, a game controller or a tap can reach like a list
// (a button drawn into the picture). Acting on it is a left click at its centre, handled by the dialog
// procedure as any click is. The role says which controller button acts on it directly.
enum class AreaRole {
    Plain,
    Primary,  // the controller's Start button acts on it (start the game, buy)
    Cancel,   // the controller's Back button acts on it (quit, close)
};
struct FocusArea {
    Rect rect;  // client pixels
    AreaRole role = AreaRole::Plain;
};
// The ring around the focused area: this many pixels outside it, this wide, in the highlight colour.
constexpr int kFocusRingGap = 2;
constexpr int kFocusRingWidth = 2;
constexpr uint32_t kFocusRingColour = kHighlightColour;

// The dialog procedure: true when it handled the message, false for the default handling.
using DialogProc = std::function<bool(Dialog& dialog, const Message& message)>;

// Creates the dialog hidden (unless the template has kStyleVisible), centred when the template says so,
// sends InitDialog (lParam = initParam) and gives the focus to the first visible list. Null when the host
// has no video or the window cannot be made.
Dialog* createDialog(const DialogTemplate& dialogTemplate, DialogProc procedure, intptr_t initParam = 0);

// Sends Destroy to the procedure, then closes the window and frees the dialog and its controls. Safe to
// call from inside the procedure (the memory is then freed once the procedure has returned). Null is
// ignored.
void destroyDialog(Dialog* dialog);

class Dialog {
  public:
    // Shows or hides the window. A shown dialog that is invalid gets its Paint from the message loop, or
    // at once from update().
    void show();
    void hide();
    bool isVisible() const { return visible_; }
    // Paints now when the dialog is invalid and shown.
    void update();
    // Raises the window and asks for the keyboard focus.
    void bringToFront();

    // Marks the whole client area for repainting; erase first fills it with the dialog colour.
    void invalidate(bool erase = false);
    bool isInvalid() const { return invalid_; }
    // invalidate() and update() in one.
    void redraw();

    // Painting, during Paint (or at any other time between the two calls): beginPaint validates the
    // dialog, blit copies a bitmap (or part of it) to a client position, the picture's top row at the top,
    // clipped to both; endPaint shows the result. blit returns false outside beginPaint/endPaint.
    bool beginPaint();
    bool blit(const Bitmap& bitmap, int x, int y);
    bool blit(int x, int y, int width, int height, const Bitmap& bitmap, int sourceX, int sourceY);
    void endPaint();

    // The list with that id, or null.
    ComboBox* comboBox(int id);
    int clientWidth() const { return width_; }
    int clientHeight() const { return height_; }
    uint32_t style() const { return style_; }

    // Keyboard focus among the controls: the id of the focused list, or 0.
    int focusedControl() const;
    // Gives the focus to a visible list (closing another list's open part); false for an unknown id.
    bool setFocus(int id);

    // The picture's areas that Tab and Shift+Tab (and a controller) reach after the lists, in this order.
    // The focused one is shown by a ring drawn over the picture; Enter or Space acts on it. Replacing the
    // areas drops an area's focus.
    void setFocusAreas(std::vector<FocusArea> areas);
    const std::vector<FocusArea>& focusAreas() const { return areas_; }
    // The index of the focused area, or -1 (a list or nothing has the focus).
    int focusedArea() const { return focusArea_; }
    // Gives the focus to an area, which learns of it as the pointer moving to its centre would tell it
    // (so buttons that light under the pointer light); false for an index that names none.
    bool setFocusArea(int index);
    // A left click at the area's centre, addressed to the dialog procedure.
    void activateArea(int index);
    // The first area of the role, or -1.
    int areaWithRole(AreaRole role) const;
    // Where the ring of the focused area is drawn (client pixels), or an empty rectangle.
    Rect focusRingRect() const;

    // The integer factor the window and its contents are drawn at; the client size and every coordinate
    // the procedure sees stay unscaled.
    int scale() const { return scale_; }
    // Whether the window has the keyboard focus of the desktop.
    bool isActive() const { return active_; }

    // The client area as shown (picture and controls), 0x00RRGGBB words, top row first.
    std::vector<uint32_t> capture();
    // The host window's id (for synthetic input).
    uint32_t windowId() const { return windowId_; }
    // The host's own window object (the window handle on Windows), for code of the layer and its tests.
    void* hostWindow() const;

    // --- used by the message loop and the controls ---
    static Dialog* fromWindowId(uint32_t windowId);
    static bool isLive(const Dialog* dialog);
    static const std::vector<Dialog*>& all();
    // Frees dialogs destroyed from inside their procedure, once nothing of theirs is running.
    static void collectDestroyed();

    // Calls the procedure; returns its answer (false after the dialog was destroyed).
    bool callProcedure(const Message& message);
    // Sends the procedure a Command from a control.
    void notify(const ComboBox& control, uint16_t code);
    // Delivers a message addressed to this dialog (Paint, mouse, keys, Close ...), with the default
    // handling when the procedure leaves it. Returns the procedure's answer.
    bool dispatch(const Message& message);
    // The control that mouse input at (x, y) belongs to: the one holding the mouse since its button went
    // down, else an open list (it takes all input), else the list under the pointer; 0 for the dialog.
    int mouseTarget(int x, int y) const;
    // A control holds the mouse from its button-down until the button-up, so the release of a click that
    // closed a list is the list's too. 0 releases it.
    void setMouseCapture(int id) { capture_ = id; }
    // Called by controls when they look different; the dialog shows it when the message loop is idle.
    void controlChanged() { needsPresent_ = true; }
    bool needsPresent() const { return needsPresent_; }
    // Composes picture and controls and puts them on the screen.
    void present();
    // Host window events.
    void onExposed() { needsPresent_ = true; }
    void onFocusChange(bool active);
    // Forgets pressed buttons of the controls.
    void resetInput();
    // Moves the focus to the next (or previous) visible list; closes an open list first.
    void cycleFocus(bool backwards);
    DialogFont& font();
    int controlCount() const { return static_cast<int>(controls_.size()); }
    ComboBox* openList();

    ~Dialog();
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;

  private:
    friend Dialog* createDialog(const DialogTemplate&, DialogProc, intptr_t);
    friend void destroyDialog(Dialog*);
    friend struct DialogHost;
    Dialog() = default;
    void compose();
    void drawFocusRing();
    void fillCanvas(uint32_t rgb);
    // The focus stops in Tab order: positive list ids, then -(1 + area index).
    std::vector<int> focusStops() const;

    DialogProc procedure_;
    std::unique_ptr<DialogHost> host_;
    uint32_t windowId_ = 0;
    std::vector<FocusArea> areas_;
    int focusArea_ = -1;
    int scale_ = 1;
    std::vector<std::unique_ptr<ComboBox>> controls_;
    uint32_t style_ = 0;
    int width_ = 0;
    int height_ = 0;
    int focus_ = 0;
    int capture_ = 0;
    int callDepth_ = 0;
    bool visible_ = false;
    bool invalid_ = true;
    bool erase_ = true;
    bool painting_ = false;
    bool needsPresent_ = true;
    bool active_ = false;
    bool destroyed_ = false;
    bool videoAcquired_ = false;
};

}  // namespace platform
