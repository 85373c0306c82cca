#pragma once
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>

struct SDL_Surface;
struct SDL_Rect;
typedef struct _TTF_Font TTF_Font;

// The dialog font: DejaVu Sans standing in for the 8-point dialog font, and the text drawing of the
// controls. Internal to the layer. Rendered texts are kept in a small cache, so a dialog repaint does not
// rasterise its entries again.
namespace platform {

class DialogFont {
  public:
    // Opens the font at the given size in points (at 96 dots per inch, as the dialogs are laid out, times
    // the scale the dialog is drawn at). Without the font file the object is still usable: it measures a
    // fixed line height and draws nothing.
    explicit DialogFont(int points, int scale = 1);
    ~DialogFont();
    DialogFont(const DialogFont&) = delete;
    DialogFont& operator=(const DialogFont&) = delete;

    bool valid() const { return font_ != nullptr; }
    // Height of one line of text in pixels (the height of a list entry).
    int lineHeight() const { return lineHeight_; }
    // Width of the text in pixels.
    int textWidth(const std::string& utf8);
    // Draws UTF-8 text with its top-left corner at (x, y) in the colour 0x00RRGGBB, clipped to clip.
    void draw(SDL_Surface* target, const std::string& utf8, int x, int y, uint32_t rgb, const SDL_Rect& clip);

  private:
    SDL_Surface* rendered(const std::string& utf8);

    TTF_Font* font_ = nullptr;
    int lineHeight_ = 13;
    // White text surfaces by text; the oldest is dropped when the cache is full.
    std::unordered_map<std::string, SDL_Surface*> cache_;
    std::list<std::string> order_;
};

}  // namespace platform
