#include "platform/sdl/DialogFont.h"

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdio>

namespace platform {
namespace {

const char* const kFontFiles[] = {
    "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
    "/usr/share/fonts/dejavu/DejaVuSans.ttf",
    "/usr/local/share/fonts/DejaVuSans.ttf",
};
constexpr size_t kCacheLimit = 512;
// Longer texts are drawn only as far as this many bytes: no list is that wide, and the font engine
// refuses surfaces wider than it can make.
constexpr size_t kMaxDrawnBytes = 1024;

std::string cutAtCharacter(const std::string& utf8, size_t limit) {
    if (utf8.size() <= limit) {
        return utf8;
    }
    size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) {
        --end;  // do not cut a multi-byte character in half
    }
    return utf8.substr(0, end);
}

}  // namespace

DialogFont::DialogFont(int points, int scale) {
    if (points <= 0 || points > 72) {
        points = 8;
    }
    if (scale < 1 || scale > 8) {
        scale = 1;
    }
    for (const char* file : kFontFiles) {
        font_ = TTF_OpenFontDPI(file, points, 96u * static_cast<unsigned>(scale),
                                96u * static_cast<unsigned>(scale));
        if (font_ != nullptr) {
            break;
        }
    }
    if (font_ == nullptr) {
        std::fprintf(stderr, "platform: dialog font DejaVu Sans not found; lists are drawn without text\n");
        return;
    }
    TTF_SetFontHinting(font_, TTF_HINTING_LIGHT);
    lineHeight_ = TTF_FontLineSkip(font_);
    if (lineHeight_ < 8 * scale) {
        lineHeight_ = 8 * scale;
    }
}

DialogFont::~DialogFont() {
    for (auto& entry : cache_) {
        SDL_FreeSurface(entry.second);
    }
    if (font_ != nullptr) {
        TTF_CloseFont(font_);
    }
}

SDL_Surface* DialogFont::rendered(const std::string& utf8) {
    if (font_ == nullptr || utf8.empty() || utf8[0] == '\0') {
        return nullptr;
    }
    auto found = cache_.find(utf8);
    if (found != cache_.end()) {
        return found->second;
    }
    SDL_Surface* surface = TTF_RenderUTF8_Blended(font_, cutAtCharacter(utf8, kMaxDrawnBytes).c_str(),
                                                  SDL_Color{255, 255, 255, 255});
    if (surface == nullptr) {
        return nullptr;
    }
    if (cache_.size() >= kCacheLimit) {
        auto oldest = cache_.find(order_.front());
        SDL_FreeSurface(oldest->second);
        cache_.erase(oldest);
        order_.pop_front();
    }
    cache_.emplace(utf8, surface);
    order_.push_back(utf8);
    return surface;
}

int DialogFont::textWidth(const std::string& utf8) {
    SDL_Surface* surface = rendered(utf8);
    return surface ? surface->w : 0;
}

void DialogFont::draw(SDL_Surface* target, const std::string& utf8, int x, int y, uint32_t rgb,
                      const SDL_Rect& clip) {
    SDL_Surface* surface = rendered(utf8);
    if (surface == nullptr || target == nullptr) {
        return;
    }
    SDL_SetSurfaceBlendMode(surface, SDL_BLENDMODE_BLEND);
    SDL_SetSurfaceColorMod(surface, (rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
    SDL_Rect oldClip;
    SDL_GetClipRect(target, &oldClip);
    SDL_SetClipRect(target, &clip);
    SDL_Rect destination{x, y, surface->w, surface->h};
    SDL_BlitSurface(surface, nullptr, target, &destination);
    SDL_SetClipRect(target, &oldClip);
}

}  // namespace platform
