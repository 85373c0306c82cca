// A settings dialog built like the launcher's, on the stand-in layer alone: a borderless popup with a
// background picture and five drop-down lists. It logs what it receives on standard output, so the
// end-to-end script can drive it with real clicks and keys in a virtual X server and check the result.
//
//   e2e_platform_demo                 run until the dialog is closed
//   e2e_platform_demo --snapshot F    open the resolution list, write the dialog's picture to F (PPM), quit
//
// The background is drawn here (a night sky, hills, the list labels and the two buttons) with the
// system's DejaVu fonts, because the real pictures come from the game data, which this test does not need.
#include <SDL_ttf.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Bitmap.h"
#include "platform/Dialog.h"
#include "platform/MessageBox.h"
#include "platform/MessageLoop.h"

namespace {

constexpr int kWidth = 438;
constexpr int kHeight = 429;
const char* const kBoldFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

struct Picture {
    std::vector<uint32_t> pixels = std::vector<uint32_t>(kWidth * kHeight);
    uint32_t& at(int x, int y) { return pixels[static_cast<size_t>(y) * kWidth + x]; }
};

uint32_t mix(uint32_t a, uint32_t b, double t) {
    auto channel = [&](int shift) {
        double value = ((a >> shift) & 0xFF) * (1 - t) + ((b >> shift) & 0xFF) * t;
        return static_cast<uint32_t>(value + 0.5) << shift;
    };
    return channel(16) | channel(8) | channel(0);
}

void roundedBox(Picture& picture, int x0, int y0, int x1, int y1, int radius, uint32_t top, uint32_t bottom,
                uint32_t edge) {
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            int dx = x < x0 + radius ? x0 + radius - x : (x > x1 - radius ? x - (x1 - radius) : 0);
            int dy = y < y0 + radius ? y0 + radius - y : (y > y1 - radius ? y - (y1 - radius) : 0);
            double distance = std::sqrt(static_cast<double>(dx * dx + dy * dy));
            if (distance > radius + 0.5) {
                continue;
            }
            uint32_t fill = mix(top, bottom, static_cast<double>(y - y0) / (y1 - y0));
            picture.at(x, y) =
                distance > radius - 1.0 || x == x0 || x == x1 || y == y0 || y == y1 ? edge : fill;
        }
    }
}

void shade(Picture& picture, int x0, int y0, int x1, int y1, double amount) {
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            picture.at(x, y) = mix(picture.at(x, y), 0x000000, amount);
        }
    }
}

// Text blended into the picture; (x, y) is the top-left corner, or the centre with centred set.
void text(Picture& picture, TTF_Font* font, const char* utf8, int x, int y, uint32_t rgb,
          bool centred = false) {
    if (font == nullptr) {
        return;
    }
    SDL_Surface* glyphs = TTF_RenderUTF8_Blended(font, utf8, SDL_Color{255, 255, 255, 255});
    if (glyphs == nullptr) {
        return;
    }
    SDL_Surface* argb = SDL_ConvertSurfaceFormat(glyphs, SDL_PIXELFORMAT_ARGB8888, 0);
    SDL_FreeSurface(glyphs);
    if (argb == nullptr) {
        return;
    }
    if (centred) {
        x -= argb->w / 2;
        y -= argb->h / 2;
    }
    for (int row = 0; row < argb->h; ++row) {
        for (int column = 0; column < argb->w; ++column) {
            int px = x + column;
            int py = y + row;
            if (px < 0 || py < 0 || px >= kWidth || py >= kHeight) {
                continue;
            }
            uint32_t source;
            std::memcpy(&source, static_cast<uint8_t*>(argb->pixels) + row * argb->pitch + column * 4, 4);
            picture.at(px, py) = mix(picture.at(px, py), rgb, (source >> 24) / 255.0);
        }
    }
    SDL_FreeSurface(argb);
}

Picture drawBackground() {
    Picture picture;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            picture.at(x, y) = mix(0x1D2B53, 0x0A0F24, static_cast<double>(y) / kHeight);
        }
    }
    unsigned seed = 7;
    for (int i = 0; i < 90; ++i) {
        seed = seed * 1103515245u + 12345u;
        int x = static_cast<int>((seed >> 8) % kWidth);
        seed = seed * 1103515245u + 12345u;
        int y = static_cast<int>((seed >> 8) % 170);
        picture.at(x, y) = mix(picture.at(x, y), 0xFFFFFF, 0.4 + (seed % 60) / 100.0);
    }
    // Two ranges of hills, the nearer one darker.
    for (int x = 0; x < kWidth; ++x) {
        int far = 150 + static_cast<int>(18 * std::sin(x / 37.0) + 9 * std::sin(x / 13.0 + 1.0));
        int near = 205 + static_cast<int>(22 * std::sin(x / 61.0 + 2.0) + 6 * std::sin(x / 9.0));
        for (int y = far; y < kHeight; ++y) {
            picture.at(x, y) = mix(0x2B3A6B, 0x151C38, static_cast<double>(y - far) / (kHeight - far));
        }
        for (int y = near; y < kHeight; ++y) {
            picture.at(x, y) = mix(0x18203F, 0x0B0F1E, static_cast<double>(y - near) / (kHeight - near));
        }
    }
    shade(picture, 50, 152, 210, 424, 0.35);  // a panel behind the lists

    TTF_Font* title = TTF_OpenFont(kBoldFont, 46);
    TTF_Font* label = TTF_OpenFont(kBoldFont, 11);
    TTF_Font* button = TTF_OpenFont(kBoldFont, 16);
    text(picture, title, "VALTOR", kWidth / 2 + 2, 62, 0x000000, true);
    text(picture, title, "VALTOR", kWidth / 2, 60, 0xE8C26A, true);
    text(picture, label, "Settings", kWidth / 2, 100, 0xB8C4E0, true);
    const char* labels[] = {"Resolution", "Graphics quality", "Window mode", "Audio", "Language"};
    const int rows[] = {178, 235, 292, 348, 401};
    for (int i = 0; i < 5; ++i) {
        text(picture, label, labels[i], 66, rows[i] - 16, 0xE6ECF8);
    }
    roundedBox(picture, 265, 335, 395, 374, 8, 0xF3D58A, 0xC8962E, 0x6B4A10);
    text(picture, button, "START", 330, 355, 0x3A2606, true);
    roundedBox(picture, 286, 387, 374, 422, 8, 0x7E8CB0, 0x4B5678, 0x1E2540);
    text(picture, button, "QUIT", 330, 405, 0xF0F3FA, true);
    for (TTF_Font* font : {title, label, button}) {
        if (font != nullptr) {
            TTF_CloseFont(font);
        }
    }
    return picture;
}

// The picture as a bottom-up bitmap, the way the programs make theirs.
std::unique_ptr<platform::Bitmap> toBitmap(const Picture& picture) {
    platform::BitmapInfoHeader header;
    header.width = kWidth;
    header.height = kHeight;
    header.sizeImage = kWidth * kHeight * 4;
    void* bits = nullptr;
    auto bitmap = platform::Bitmap::create(header, &bits);
    if (bitmap) {
        for (int y = 0; y < kHeight; ++y) {
            std::memcpy(static_cast<uint32_t*>(bits) + static_cast<size_t>(kHeight - 1 - y) * kWidth,
                        picture.pixels.data() + static_cast<size_t>(y) * kWidth, kWidth * 4);
        }
    }
    return bitmap;
}

bool writePpm(const char* path, const std::vector<uint32_t>& pixels, int width, int height) {
    FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        return false;
    }
    std::fprintf(file, "P6\n%d %d\n255\n", width, height);
    for (uint32_t pixel : pixels) {
        unsigned char rgb[3] = {static_cast<unsigned char>(pixel >> 16),
                                static_cast<unsigned char>(pixel >> 8), static_cast<unsigned char>(pixel)};
        std::fwrite(rgb, 1, 3, file);
    }
    return std::fclose(file) == 0;
}

bool running = true;
std::unique_ptr<platform::Bitmap> background;

bool demoProc(platform::Dialog& dialog, const platform::Message& message) {
    using platform::MessageType;
    switch (message.type) {
        case MessageType::InitDialog:
            return true;
        case MessageType::Paint:
            dialog.beginPaint();
            if (background) {
                dialog.blit(*background, 0, 0);
            }
            dialog.endPaint();
            return true;
        case MessageType::LeftButtonDown: {
            uint32_t x = platform::pointX(message.lParam);
            uint32_t y = platform::pointY(message.lParam);
            std::printf("click %u %u\n", x, y);
            if (x > 264 && x < 396 && y > 334 && y < 375) {
                int result = platform::messageBox(u"The game would start now.", u"Valtor");
                std::printf("box %d\n", result);
            }
            if (x > 285 && x < 375 && y > 386 && y < 423) {
                running = false;
            }
            std::fflush(stdout);
            return true;
        }
        case MessageType::Command: {
            auto* list = reinterpret_cast<platform::ComboBox*>(message.lParam);
            if (list != nullptr &&
                platform::commandCode(message.wParam) == platform::kNotifySelectionChange) {
                std::printf("select %d %d %s\n", platform::commandId(message.wParam), list->getCurSel(),
                            list->getText(list->getCurSel()).c_str());
                std::fflush(stdout);
            }
            return false;
        }
        case MessageType::Close:
            std::printf("close\n");
            std::fflush(stdout);
            running = false;
            return true;
        case MessageType::Destroy:
            background.reset();
            return true;
        default:
            return false;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const char* snapshot = argc == 3 && std::strcmp(argv[1], "--snapshot") == 0 ? argv[2] : nullptr;

    platform::DialogTemplate dialogTemplate;
    dialogTemplate.style = 0x80880848;  // popup, border, window menu, centred, dialog font
    dialogTemplate.width = 292;
    dialogTemplate.height = 264;
    dialogTemplate.caption = "Platform demo";
    const int ids[] = {1004, 1005, 1006, 1007, 1008};
    for (int i = 0; i < 5; ++i) {
        dialogTemplate.controls.push_back(
            {platform::ControlKind::ComboBox, ids[i], 0x50210143, 32, 20 + 13 * i, 96, 37});
    }
    platform::Dialog* dialog = platform::createDialog(dialogTemplate, demoProc);
    if (dialog == nullptr) {
        std::fprintf(stderr, "no dialog\n");
        return 1;
    }
    background = toBitmap(drawBackground());

    struct Fill {
        int id;
        int x, y;
        int width;
        std::vector<const char*> entries;
        int selected;
    };
    const Fill fills[] = {
        {1004,
         65,
         178,
         88,
         {"640x480", "800x600", "1024x768", "1280x720", "1280x1024", "1600x900", "1920x1080"},
         2},
        {1007, 65, 235, 110, {"Normal", "Low", "Very low"}, 0},
        {1008, 65, 292, 110, {"Full screen", "Window"}, 1},
        {1005, 65, 348, 130, {"No audio", "Hardware audio", "Software audio"}, 1},
        {1006, 65, 401, 110, {"english", "deutsch", "polski", "russkij"}, 0},
    };
    for (const Fill& fill : fills) {
        platform::ComboBox* list = dialog->comboBox(fill.id);
        for (size_t i = 0; i < fill.entries.size(); ++i) {
            list->insertString(static_cast<int>(i), fill.entries[i]);
        }
        list->setCurSel(fill.selected);
        list->move(fill.x, fill.y, fill.width, 96);
    }
    dialog->show();
    dialog->update();
    dialog->bringToFront();

    if (snapshot != nullptr) {
        platform::processPendingMessages(dialog);
        dialog->setFocus(1007);
        dialog->comboBox(1004)->showDropDown(true);
        std::vector<uint32_t> pixels = dialog->capture();
        bool written = writePpm(snapshot, pixels, dialog->clientWidth(), dialog->clientHeight());
        platform::destroyDialog(dialog);
        return written ? 0 : 1;
    }

    std::printf("ready\n");
    std::fflush(stdout);
    while (running) {
        platform::Message message;
        while (platform::peekMessage(message)) {
            if (!platform::isDialogMessage(dialog, message)) {
                platform::translateMessage(message);
                platform::dispatchMessage(message);
            }
        }
        platform::sleepMilliseconds(platform::kLoopSleepMilliseconds);
    }
    platform::destroyDialog(dialog);
    std::printf("destroyed\n");
    return 0;
}
