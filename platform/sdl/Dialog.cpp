#include "platform/Dialog.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/sdl/Canvas.h"
#include "platform/sdl/DialogFont.h"
#include "platform/DialogRegistry.h"
#include "platform/MessageLoop.h"
#include "platform/sdl/UiScale.h"
#include "platform/sdl/VideoSystem.h"
#include "platform/WindowPlacement.h"

namespace platform {

// The SDL window of a dialog, what the procedure painted, that picture with the controls over it (at the
// dialog's scale), and the fonts that lay the lists out and draw them.
struct DialogHost {
    SDL_Window* window = nullptr;
    SDL_Surface* canvas = nullptr;
    SDL_Surface* composed = nullptr;
    std::unique_ptr<DialogFont> font;      // lays the lists out, in client pixels
    std::unique_ptr<DialogFont> drawFont;  // draws their text at the scale (null at scale 1)

    DialogHost() = default;
    DialogHost(const DialogHost&) = delete;
    DialogHost& operator=(const DialogHost&) = delete;
    ~DialogHost() {
        font.reset();
        drawFont.reset();
        if (composed != nullptr) {
            SDL_FreeSurface(composed);
        }
        if (canvas != nullptr) {
            SDL_FreeSurface(canvas);
        }
        if (window != nullptr) {
            SDL_DestroyWindow(window);
        }
    }
};

namespace {

constexpr uint32_t kDialogFace = 0xF0F0F0;  // the colour of an unpainted dialog
constexpr int kMaxClientSide = 16384;

SDL_Surface* makeSurface(int width, int height) {
    return SDL_CreateRGBSurfaceWithFormat(0, width, height, 32, SDL_PIXELFORMAT_RGB888);
}

}  // namespace

// ---------------------------------------------------------------- creation and destruction

Dialog* createDialog(const DialogTemplate& dialogTemplate, DialogProc procedure, intptr_t initParam) {
    int width = dialogUnitsToPixelsX(dialogTemplate.width);
    int height = dialogUnitsToPixelsY(dialogTemplate.height);
    if (width <= 0 || height <= 0 || width > kMaxClientSide || height > kMaxClientSide) {
        return nullptr;
    }
    if (!video::acquire()) {
        return nullptr;
    }
    noteDialogThread();
    std::unique_ptr<Dialog> dialog(new (std::nothrow) Dialog());
    if (!dialog) {
        video::release();
        return nullptr;
    }
    dialog->videoAcquired_ = true;
    dialog->host_.reset(new (std::nothrow) DialogHost());
    if (!dialog->host_) {
        return nullptr;  // the destructor releases the video
    }
    dialog->procedure_ = std::move(procedure);
    dialog->style_ = dialogTemplate.style;
    dialog->width_ = width;
    dialog->height_ = height;

    // A template with a caption gets the title bar and close box; a popup without one is borderless.
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if ((dialogTemplate.style & kStyleCaption) != kStyleCaption) {
        flags |= SDL_WINDOW_BORDERLESS;
    }
    int x = dialogUnitsToPixelsX(dialogTemplate.x);
    int y = dialogUnitsToPixelsY(dialogTemplate.y);
    int scale = 1;
    SDL_Rect usable;
    if (SDL_GetDisplayUsableBounds(0, &usable) == 0) {
        Rect area{usable.x, usable.y, usable.w, usable.h};
        scale = fitUiScale(desktopUiScale(), width, height, area);
        // On a screen smaller than the window, centring alone would put its top off screen.
        placeWindow(area, width * scale, height * scale, (dialogTemplate.style & kStyleCenter) != 0, x, y);
    } else if ((dialogTemplate.style & kStyleCenter) != 0) {
        x = SDL_WINDOWPOS_CENTERED;
        y = SDL_WINDOWPOS_CENTERED;
    }
    dialog->scale_ = scale;
    dialog->host_->window =
        SDL_CreateWindow(dialogTemplate.caption.c_str(), x, y, width * scale, height * scale, flags);
    dialog->host_->canvas = makeSurface(width, height);
    dialog->host_->composed = makeSurface(width * scale, height * scale);
    if (dialog->host_->window == nullptr || dialog->host_->canvas == nullptr || dialog->host_->composed == nullptr) {
        return nullptr;  // the destructor releases what was made
    }
    dialog->windowId_ = SDL_GetWindowID(dialog->host_->window);
    dialog->host_->font = std::make_unique<DialogFont>(dialogTemplate.fontPoints);
    if (scale > 1) {
        dialog->host_->drawFont = std::make_unique<DialogFont>(dialogTemplate.fontPoints, scale);
    }
    SDL_SetSurfaceBlendMode(dialog->host_->canvas, SDL_BLENDMODE_NONE);
    dialog->fillCanvas(kDialogFace);

    for (const ControlTemplate& control : dialogTemplate.controls) {
        Rect rect{dialogUnitsToPixelsX(control.x), dialogUnitsToPixelsY(control.y),
                  std::max(0, dialogUnitsToPixelsX(control.width)),
                  std::max(0, dialogUnitsToPixelsY(control.height))};
        dialog->controls_.push_back(std::make_unique<ComboBox>(*dialog, control.id, control.style, rect));
    }
    Dialog* created = dialog.release();
    liveDialogs().push_back(created);

    Message init;
    init.type = MessageType::InitDialog;
    init.dialog = created;
    init.lParam = initParam;
    created->callProcedure(init);
    if (created->destroyed_) {
        return nullptr;
    }
    if (created->focus_ == 0) {
        created->cycleFocus(false);
    }
    if ((dialogTemplate.style & kStyleVisible) != 0) {
        created->show();
    }
    return created;
}

void destroyDialog(Dialog* dialog) {
    if (!Dialog::isLive(dialog) || dialog->destroyed_) {
        return;
    }
    Message destroy;
    destroy.type = MessageType::Destroy;
    destroy.dialog = dialog;
    dialog->callProcedure(destroy);
    dialog->destroyed_ = true;
    auto& live = liveDialogs();
    live.erase(std::remove(live.begin(), live.end(), dialog), live.end());
    forgetDialogMessages(dialog);
    if (dialog->host_ && dialog->host_->window != nullptr) {
        SDL_HideWindow(dialog->host_->window);
    }
    dialog->visible_ = false;
    if (dialog->callDepth_ == 0) {
        delete dialog;
    } else {
        destroyedDialogs().push_back(dialog);
    }
}

int Dialog::focusedControl() const {
    return focus_;
}

void* Dialog::hostWindow() const {
    return host_ ? host_->window : nullptr;
}

DialogFont& Dialog::font() {
    return *host_->font;
}

Dialog::~Dialog() {
    controls_.clear();
    host_.reset();
    if (videoAcquired_) {
        video::release();
    }
}

// ---------------------------------------------------------------- the procedure

bool Dialog::callProcedure(const Message& message) {
    if (destroyed_ || !procedure_) {
        return false;
    }
    ++callDepth_;
    bool handled = procedure_(*this, message);
    --callDepth_;
    return handled;
}

void Dialog::notify(const ComboBox& control, uint16_t code) {
    Message command;
    command.type = MessageType::Command;
    command.dialog = this;
    command.wParam = makeCommand(static_cast<uint16_t>(control.id()), code);
    command.lParam = reinterpret_cast<intptr_t>(&control);
    callProcedure(command);
}

bool Dialog::dispatch(const Message& message) {
    if (destroyed_) {
        return false;
    }
    switch (message.type) {
        case MessageType::Paint: {
            bool handled = callProcedure(message);
            if (destroyed_) {
                return handled;
            }
            if (painting_) {
                endPaint();
            }
            if (invalid_) {
                // The procedure did not paint: validate anyway, or Paint would come back for ever.
                if (erase_) {
                    fillCanvas(kDialogFace);
                    erase_ = false;
                }
                invalid_ = false;
                needsPresent_ = true;
            }
            if (needsPresent_) {
                present();  // endPaint has shown it already when the procedure painted
            }
            return handled;
        }
        case MessageType::KeyDown: {
            bool handled = callProcedure(message);
            // Alt+F4 is the window menu's close command.
            if (!handled && !destroyed_ && (style_ & kStyleSystemMenu) != 0 && message.wParam == Key::F4 &&
                (message.lParam & kModifierAlt) != 0) {
                Message close;
                close.type = MessageType::Close;
                close.dialog = this;
                close.time = message.time;
                callProcedure(close);
            }
            return handled;
        }
        default:
            return callProcedure(message);
    }
}

// ---------------------------------------------------------------- window

void Dialog::show() {
    if (destroyed_) {
        return;
    }
    SDL_ShowWindow(host_->window);
    visible_ = true;
    present();
}

void Dialog::hide() {
    if (destroyed_) {
        return;
    }
    SDL_HideWindow(host_->window);
    visible_ = false;
    if (ComboBox* list = openList()) {
        list->closeQuietly();
    }
}

void Dialog::update() {
    if (destroyed_ || !visible_) {
        return;
    }
    if (invalid_) {
        Message paint;
        paint.type = MessageType::Paint;
        paint.dialog = this;
        dispatch(paint);
    } else if (needsPresent_) {
        present();
    }
}

void Dialog::bringToFront() {
    if (!destroyed_) {
        SDL_RaiseWindow(host_->window);
    }
}

void Dialog::invalidate(bool erase) {
    invalid_ = true;
    erase_ = erase_ || erase;
}

void Dialog::redraw() {
    invalidate(false);
    update();
}

void Dialog::onFocusChange(bool active) {
    active_ = active;
    if (!active) {
        if (ComboBox* list = openList()) {
            list->showDropDown(false);
        }
    }
    needsPresent_ = true;
}

void Dialog::resetInput() {
    capture_ = 0;
    for (auto& control : controls_) {
        control->resetInput();
    }
}

// ---------------------------------------------------------------- painting

void Dialog::fillCanvas(uint32_t rgb) {
    SDL_FillRect(host_->canvas, nullptr,
                 SDL_MapRGB(host_->canvas->format, (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
}

bool Dialog::beginPaint() {
    if (destroyed_) {
        return false;
    }
    if (erase_) {
        fillCanvas(kDialogFace);
        erase_ = false;
    }
    invalid_ = false;
    painting_ = true;
    return true;
}

bool Dialog::blit(const Bitmap& bitmap, int x, int y) {
    return blit(x, y, bitmap.width(), bitmap.height(), bitmap, 0, 0);
}

bool Dialog::blit(int x, int y, int width, int height, const Bitmap& bitmap, int sourceX, int sourceY) {
    if (!painting_ || destroyed_) {
        return false;
    }
    // Clip the rectangle to the source bitmap and to the client area, moving both corners together.
    long long left = 0;
    long long top = 0;
    long long right = width;
    long long bottom = height;
    left = std::max(left, std::max(-static_cast<long long>(sourceX), -static_cast<long long>(x)));
    top = std::max(top, std::max(-static_cast<long long>(sourceY), -static_cast<long long>(y)));
    right = std::min(right, std::min(static_cast<long long>(bitmap.width()) - sourceX,
                                     static_cast<long long>(width_) - x));
    bottom = std::min(bottom, std::min(static_cast<long long>(bitmap.height()) - sourceY,
                                       static_cast<long long>(height_) - y));
    if (right <= left || bottom <= top) {
        return true;  // nothing visible to copy
    }
    size_t rowBytes = static_cast<size_t>(right - left) * 4u;
    auto* base = static_cast<uint8_t*>(host_->canvas->pixels);
    for (long long row = top; row < bottom; ++row) {
        const uint32_t* source = bitmap.pictureRow(static_cast<int>(sourceY + row)) + (sourceX + left);
        uint8_t* target = base + static_cast<size_t>(y + row) * static_cast<size_t>(host_->canvas->pitch) +
                          static_cast<size_t>(x + left) * 4u;
        std::memcpy(target, source, rowBytes);
    }
    return true;
}

void Dialog::endPaint() {
    if (!painting_) {
        return;
    }
    painting_ = false;
    present();
}

void Dialog::compose() {
    if (scale_ == 1) {
        SDL_BlitSurface(host_->canvas, nullptr, host_->composed, nullptr);
    } else {
        SDL_BlitScaled(host_->canvas, nullptr, host_->composed, nullptr);  // the picture grows pixel by pixel
    }
    DialogFont& textFont = host_->drawFont ? *host_->drawFont : *host_->font;
    Canvas canvas{host_->composed};
    ComboBox* open = nullptr;
    for (auto& control : controls_) {
        control->drawField(canvas, textFont, control->id() == focus_, active_, scale_);
        if (control->isDroppedDown()) {
            open = control.get();
        }
    }
    drawFocusRing();
    if (open != nullptr) {
        open->drawList(canvas, textFont, scale_);  // over every other control
    }
}

void Dialog::drawFocusRing() {
    Rect ring = focusRingRect();
    if (ring.width <= 0 || ring.height <= 0) {
        return;
    }
    Uint32 colour = SDL_MapRGB(host_->composed->format, (kFocusRingColour >> 16) & 0xFF,
                               (kFocusRingColour >> 8) & 0xFF, kFocusRingColour & 0xFF);
    int s = scale_;
    int w = kFocusRingWidth * s;
    SDL_Rect sides[] = {{ring.x * s, ring.y * s, ring.width * s, w},
                        {ring.x * s, (ring.y + ring.height) * s - w, ring.width * s, w},
                        {ring.x * s, ring.y * s, w, ring.height * s},
                        {(ring.x + ring.width) * s - w, ring.y * s, w, ring.height * s}};
    SDL_FillRects(host_->composed, sides, 4, colour);
}

void Dialog::present() {
    if (destroyed_) {
        return;
    }
    compose();
    needsPresent_ = false;
    if (!visible_) {
        return;
    }
    SDL_Surface* screen = SDL_GetWindowSurface(host_->window);
    if (screen != nullptr) {
        SDL_BlitSurface(host_->composed, nullptr, screen, nullptr);
        SDL_UpdateWindowSurface(host_->window);
    }
}

std::vector<uint32_t> Dialog::capture() {
    std::vector<uint32_t> pixels;
    if (destroyed_) {
        return pixels;
    }
    present();
    SDL_Surface* source = host_->composed;
    SDL_Surface* converted = nullptr;
    if (visible_) {
        SDL_Surface* screen = SDL_GetWindowSurface(host_->window);
        if (screen != nullptr && screen->w == width_ * scale_ && screen->h == height_ * scale_) {
            // Read what reached the window, in the dialog's own format.
            converted = SDL_ConvertSurfaceFormat(screen, SDL_PIXELFORMAT_RGB888, 0);
            if (converted != nullptr) {
                source = converted;
            }
        }
    }
    // At a scale above 1 each client pixel is read at the top-left of the square that shows it.
    pixels.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_));
    for (int row = 0; row < height_; ++row) {
        const auto* line = static_cast<const uint8_t*>(source->pixels) +
                           static_cast<size_t>(row) * static_cast<size_t>(scale_) * source->pitch;
        for (int column = 0; column < width_; ++column) {
            uint32_t word;
            std::memcpy(&word, line + static_cast<size_t>(column) * static_cast<size_t>(scale_) * 4u, 4);
            pixels[static_cast<size_t>(row) * width_ + column] = word & 0x00FFFFFFu;
        }
    }
    if (converted != nullptr) {
        SDL_FreeSurface(converted);
    }
    return pixels;
}

// ---------------------------------------------------------------- controls and focus

ComboBox* Dialog::comboBox(int id) {
    for (auto& control : controls_) {
        if (control->id() == id) {
            return control.get();
        }
    }
    return nullptr;
}

ComboBox* Dialog::openList() {
    for (auto& control : controls_) {
        if (control->isDroppedDown()) {
            return control.get();
        }
    }
    return nullptr;
}

int Dialog::mouseTarget(int x, int y) const {
    if (capture_ != 0) {
        return capture_;
    }
    for (const auto& control : controls_) {
        if (control->isDroppedDown()) {
            return control->id();  // an open list sees every click, to close itself on one elsewhere
        }
    }
    for (const auto& control : controls_) {
        if (control->isVisible() && control->fieldRect().contains(x, y)) {
            return control->id();
        }
    }
    return 0;
}

bool Dialog::setFocus(int id) {
    ComboBox* control = comboBox(id);
    if (control == nullptr || !control->isVisible() || destroyed_) {
        return false;
    }
    if (focus_ != id || focusArea_ >= 0) {
        ComboBox* open = openList();
        if (open != nullptr && open != control) {
            open->closeQuietly();
        }
        focus_ = id;
        focusArea_ = -1;
        needsPresent_ = true;
    }
    return true;
}

void Dialog::setFocusAreas(std::vector<FocusArea> areas) {
    areas_ = std::move(areas);
    if (focusArea_ >= 0) {
        focusArea_ = -1;
        needsPresent_ = true;
    }
}

bool Dialog::setFocusArea(int index) {
    if (index < 0 || index >= static_cast<int>(areas_.size()) || destroyed_) {
        return false;
    }
    if (ComboBox* open = openList()) {
        open->closeQuietly();
    }
    bool moved = focusArea_ != index;
    focus_ = 0;
    focusArea_ = index;
    needsPresent_ = true;
    if (moved) {
        const Rect& area = areas_[static_cast<size_t>(index)].rect;
        Message move;
        move.type = MessageType::MouseMove;
        move.dialog = this;
        move.lParam = packPoint(area.x + area.width / 2, area.y + area.height / 2);
        move.time = SDL_GetTicks();
        dispatch(move);
    }
    return true;
}

void Dialog::activateArea(int index) {
    if (index < 0 || index >= static_cast<int>(areas_.size()) || destroyed_) {
        return;
    }
    const Rect area = areas_[static_cast<size_t>(index)].rect;
    Message click;
    click.dialog = this;
    click.lParam = packPoint(area.x + area.width / 2, area.y + area.height / 2);
    click.time = SDL_GetTicks();
    for (MessageType type : {MessageType::LeftButtonDown, MessageType::LeftButtonUp}) {
        click.type = type;
        dispatch(click);
        if (destroyed_) {
            return;
        }
    }
}

std::vector<int> Dialog::focusStops() const {
    std::vector<int> stops;
    for (const auto& control : controls_) {
        if (control->isVisible() && control->isTabStop()) {
            stops.push_back(control->id());
        }
    }
    for (size_t i = 0; i < areas_.size(); ++i) {
        stops.push_back(-1 - static_cast<int>(i));
    }
    return stops;
}

void Dialog::cycleFocus(bool backwards) {
    if (ComboBox* open = openList()) {
        open->handleKey(Key::Return, 0);  // Tab keeps the entry under the keyboard cursor, like Enter
        if (destroyed_) {
            return;
        }
    }
    std::vector<int> stops = focusStops();
    int current = focusArea_ >= 0 ? -1 - focusArea_ : focus_;
    auto here = std::find(stops.begin(), stops.end(), current);
    if (stops.empty()) {
        if (focus_ != 0) {
            focus_ = 0;
            needsPresent_ = true;
        }
        return;
    }
    int count = static_cast<int>(stops.size());
    int index;
    if (here == stops.end()) {
        index = backwards ? count - 1 : 0;
    } else {
        int position = static_cast<int>(here - stops.begin());
        index = ((position + (backwards ? -1 : 1)) % count + count) % count;
    }
    int next = stops[static_cast<size_t>(index)];
    if (next < 0) {
        setFocusArea(-1 - next);
    } else if (next != focus_ || focusArea_ >= 0) {
        focus_ = next;
        focusArea_ = -1;
        needsPresent_ = true;
    }
}

}  // namespace platform
