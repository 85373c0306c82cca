#pragma once
#include <cstdint>

#include "mt/graphics/SoftwareBlend.h"
#include "mt/graphics/TextureDataSW.h"

namespace mt::graphics {

// A point in 16.16 fixed point.
struct FixedPoint {
    int32_t x = 0;
    int32_t y = 0;
};

// Raw pixels prepared for rotated drawing: the picture sits centred in a square buffer whose side is the
// row pitch, large enough for the picture (32 for sides below 25, 64 below 53, 128 below 105, 256 below
// 209, 512 up to 512, and the next power of two above that). The square starts cleared.
class TextureDataSWRawAdv : public TextureDataSW {
  public:
    explicit TextureDataSWRawAdv(Texture* texture);
    ~TextureDataSWRawAdv() override;

    void setBlendMode(int mode) override;
    // Turns the picture to angle i = angle mod N of the sine table (service 21); without a table the
    // picture stays upright.
    void setAngle(int angle) override;
    // The drawn size in 16.16 fixed point; the first value sets a uniform scale (drawn width / width).
    void setSourceSize(int width, int height) override;
    // Draws the picture turned by the current angle about its centre and scaled, the unturned picture's
    // top left corner at (x, y): every destination pixel inside the turned rectangle takes the nearest
    // source pixel; transparent pixels are skipped and the others blended by the blend mode.
    void draw(const DrawTarget* target, void* destination, const int* destinationPitch, int x, int y,
              int alpha, int frame) override;

    // The four corners (±width/2, ±height/2) turned about the square's centre, in square coordinates.
    virtual const FixedPoint* getCorners() const { return corners; }
    // The side of the square buffer (its row pitch).
    virtual int getSquareSide() const { return side; }

    // The square side used for a picture of the given size.
    static int squareSideFor(int width, int height);
    int32_t getScale() const { return scale; }

  private:
    void rotateCorners(int32_t sine, int32_t cosine);
    template <int Mode, int BytesPerPixel>
    void drawTurned(uint8_t* destination, int pitch, int x, int y, const blend::Context& context);

    int32_t width;
    int32_t height;
    int32_t side;
    int32_t lastAngle = -1;
    int32_t sine = 0;
    int32_t cosine = 65536;
    FixedPoint corners[4];
    SourceSize sourceOverride;
    int32_t scale = 65536;
    int32_t constantAlpha = 255;
};

}  // namespace mt::graphics
