#include "platform/win32/DialogResource.h"

#include <windows.h>

#include <limits>
#include <string>

#include "platform/win32/WideText.h"

namespace platform {
namespace {

constexpr uint16_t kComboBoxClassAtom = 0x0085;

// Appends little-endian fields to the template, as the system reads them.
class TemplateWriter {
  public:
    void word(uint16_t value) { bytes(&value, sizeof(value)); }
    void dword(uint32_t value) { bytes(&value, sizeof(value)); }
    void text(const std::wstring& value) {
        for (wchar_t character : value)
            word(static_cast<uint16_t>(character));
        word(0);
    }
    // Each control's part starts on a 4-byte boundary.
    void alignToDword() {
        while (out_.size() % 4 != 0)
            out_.push_back(0);
    }
    std::vector<uint8_t> take() { return std::move(out_); }

  private:
    void bytes(const void* data, size_t size) {
        const auto* first = static_cast<const uint8_t*>(data);
        out_.insert(out_.end(), first, first + size);
    }
    std::vector<uint8_t> out_;
};

bool fitsShort(int value) {
    return value >= std::numeric_limits<int16_t>::min() && value <= std::numeric_limits<int16_t>::max();
}

bool fitsRect(int x, int y, int width, int height) {
    return fitsShort(x) && fitsShort(y) && fitsShort(width) && fitsShort(height);
}

void writeRect(TemplateWriter& out, int x, int y, int width, int height) {
    for (int value : {x, y, width, height})
        out.word(static_cast<uint16_t>(static_cast<int16_t>(value)));
}

}  // namespace

bool hasDialogResource(int resourceId) {
    if (resourceId <= 0 || resourceId > 0xFFFF)
        return false;
    return FindResourceW(nullptr, MAKEINTRESOURCEW(resourceId), MAKEINTRESOURCEW(5)) != nullptr;  // RT_DIALOG
}

std::vector<uint8_t> buildDialogTemplate(const DialogTemplate& description) {
    if (!fitsRect(description.x, description.y, description.width, description.height) ||
        description.controls.size() > 0xFFFF)
        return {};
    TemplateWriter out;
    out.word(1);       // version of the extended template
    out.word(0xFFFF);  // its signature
    out.dword(0);      // help id
    out.dword(0);      // extended style
    out.dword(description.style);
    out.word(static_cast<uint16_t>(description.controls.size()));
    writeRect(out, description.x, description.y, description.width, description.height);
    out.word(0);  // no menu
    out.word(0);  // the system's dialog class
    out.text(win32::widen(description.caption));
    if ((description.style & kStyleSetFont) != 0) {
        out.word(static_cast<uint16_t>(description.fontPoints));
        out.word(400);  // weight
        out.word(1 << 8);  // not italic; character set 1 (the default one)
        out.text(win32::widen(description.fontName));
    }
    for (const ControlTemplate& control : description.controls) {
        if (!fitsRect(control.x, control.y, control.width, control.height))
            return {};
        out.alignToDword();
        out.dword(0);  // help id
        out.dword(0);  // extended style
        out.dword(control.style);
        writeRect(out, control.x, control.y, control.width, control.height);
        out.dword(static_cast<uint32_t>(control.id));
        out.word(0xFFFF);
        out.word(kComboBoxClassAtom);
        out.word(0);  // no title
        out.word(0);  // no creation data
    }
    return out.take();
}

}  // namespace platform
