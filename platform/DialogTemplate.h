#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A dialog described as data, as a dialog resource describes it: style, size in dialog units, caption,
// font and controls. The style bits carry the Windows values, so a template can be written with the
// numbers of a resource script (the launcher's popup is 0x80880848).
namespace platform {

// Window style bits that the layer honours.
constexpr uint32_t kStylePopup = 0x80000000;       // a top-level window without parent
constexpr uint32_t kStyleVisible = 0x10000000;     // shown at creation (otherwise hidden until show())
constexpr uint32_t kStyleCaption = 0x00C00000;     // title bar; with kStyleSystemMenu also a close box
constexpr uint32_t kStyleBorder = 0x00800000;      // thin border (part of kStyleCaption)
constexpr uint32_t kStyleVScroll = 0x00200000;     // a list with a vertical scroll bar
constexpr uint32_t kStyleSystemMenu = 0x00080000;  // the window menu: Alt+F4 closes the window
constexpr uint32_t kStyleTabStop = 0x00010000;     // the control takes the focus with Tab
constexpr uint32_t kStyleChild = 0x40000000;       // a control
constexpr uint32_t kStyleModalFrame = 0x00000080;
constexpr uint32_t kStyleCenter = 0x00000800;   // centred on the screen
constexpr uint32_t kStyleSetFont = 0x00000040;  // the template names a font
constexpr uint32_t kStyleFixedSys = 0x00000008;
// Combo box styles.
constexpr uint32_t kComboDropDownList = 0x0003;  // a drop-down list without edit field
constexpr uint32_t kComboSort = 0x0100;          // (kept for templates; inserting by index never sorts)
constexpr uint32_t kComboAutoHScroll = 0x0040;

// The kinds of control that a template may hold.
enum class ControlKind { ComboBox };

struct ControlTemplate {
    ControlKind kind = ControlKind::ComboBox;
    int id = 0;
    uint32_t style = kStyleChild | kStyleVisible | kStyleTabStop | kStyleVScroll | kComboDropDownList;
    // Rectangle in dialog units; for a combo box the height includes the opened list.
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

struct DialogTemplate {
    // The program's dialog resource that holds the same dialog, on hosts whose programs carry resources
    // (Windows); 0, or a resource the program lacks, builds the dialog from this description.
    int resourceId = 0;
    uint32_t style = kStylePopup | kStyleCenter;
    int x = 0;  // position in dialog units, used when kStyleCenter is not set
    int y = 0;
    int width = 0;  // client size in dialog units
    int height = 0;
    std::string caption;                    // UTF-8
    std::string fontName = "MS Shell Dlg";  // every name is drawn with the layer's dialog font
    int fontPoints = 8;
    std::vector<ControlTemplate> controls;
};

// Dialog units to pixels with the base units of the 8-point dialog font (6 x 13 pixels): a horizontal
// unit is a quarter of the base width, a vertical unit an eighth of the base height, rounded half away from
// zero. So 292 x 264 units are 438 x 429 pixels and 293 x 306 units are 440 x 497 pixels.
constexpr int kBaseUnitX = 6;
constexpr int kBaseUnitY = 13;
constexpr int scaleDialogUnits(int units, int base, int divisor) {
    long long scaled = static_cast<long long>(units) * base;
    long long magnitude = scaled < 0 ? -scaled : scaled;
    long long rounded = (magnitude + divisor / 2) / divisor;  // half away from zero
    return static_cast<int>(scaled < 0 ? -rounded : rounded);
}
constexpr int dialogUnitsToPixelsX(int units) {
    return scaleDialogUnits(units, kBaseUnitX, 4);
}
constexpr int dialogUnitsToPixelsY(int units) {
    return scaleDialogUnits(units, kBaseUnitY, 8);
}

}  // namespace platform
