#pragma once
#include <cstdint>
#include <vector>

#include "mt/graphics/ColorTable.h"

namespace mt {
class InputStream;
}

// The texture file (".gfx"): one texture of one or more frames in a chosen pixel format, stored raw or run-
// length packed. All integers little-endian, no padding:
//    0  int32   pixel format code of the stored pixels
//    4  int32   storage code: 0 raw, 1 packed plain, 2 packed alpha
//    8  int32   width, 12 int32 height (pixels)
//   16  int16   frame count
//   18  int16   colour-index flag (non-zero: the low 12 bits of every pixel index a colour table)
//   20  int32   byte size of the pixel data converted from ARGB_4444 to RGB_565 (0 = not stored)
//   24  int32   byte size of the packed RGB_565 data at scale 187/256 (0 = not stored)
//   28  8 bytes not used (0)
//   36  uint32  byte size of each frame's data, frame count times
//   then        the frames' data, one after the other.
// Raw frames are width x height pixels, rows top to bottom; packed frames are described in TexturePacker.h.
namespace mt::graphics {

class Texture;
class TextureData;

constexpr int32_t GFX_HEADER_SIZE = 36;
// The missing-image files read instead of a texture file that does not open.
constexpr const char* MISSING_IMAGE_PATH = "data/base/missingimage.gfx";
constexpr const char* MISSING_IMAGE_HEADER_PATH = "data/test/missingimage.gfx";
// The largest width and height a texture file may declare.
constexpr int32_t GFX_MAX_SIDE = 16384;

struct GfxHeader {
    int32_t format = 0;
    int32_t storage = 0;
    int32_t width = 0;
    int32_t height = 0;
    int16_t frameCount = 0;
    int16_t colorIndexed = 0;
    int32_t convertedSize = 0;     // offset 20
    int32_t scaledPackedSize = 0;  // offset 24
    int32_t unused[2] = {0, 0};
};

// The header from its 36 bytes, and back.
GfxHeader parseTextureHeader(const uint8_t bytes[GFX_HEADER_SIZE]);
void formatTextureHeader(const GfxHeader& header, uint8_t bytes[GFX_HEADER_SIZE]);

// "RAW", "PACKED PLAIN", "PACKED ALPHA", or "Unknown texture format" for any other storage code.
const char* getStorageFormatName(int32_t storage);

// The header of the texture file at path, opened through the file manager (registry id 18); when it does
// not open, that of MISSING_IMAGE_HEADER_PATH; all zeros when neither opens or the file is shorter than a
// header.
GfxHeader readTextureHeader(const char* path);

// Loads the texture file at path in pixel format `format` (see readTexture). When path does not open
// ("Cannot open %s...") or holds no loadable texture, MISSING_IMAGE_PATH is loaded instead. Null when
// neither gives a texture.
Texture* loadTextureFile(const char* path, int format, bool adv, int scale);

// Reads a texture file from the stream: a new texture (kind 0, empty name, the file's size, pixel format
// `format`, one level) with one reference for the caller, its pixels converted to `format` while reading
// (raw data into TextureDataSWRawAdv when adv is set and the format has a plain layout), rescaled by
// scale / 256. Null when the stream does
// not hold a loadable texture.
Texture* readTexture(InputStream& in, int format, bool adv, int scale);

// Creates the texture's data for the header's storage code and reads the frame size table and the frames
// from the stream (which stands just after the header), converting the stored pixels to `format` when that
// differs from the stored format. The texture takes the header's size and frame count. Returns the data
// (owned by the texture), or null with the texture left without data when the header or the data cannot be
// loaded: an unknown storage code ("LOAD: Unsupported texture format"), a size outside 1 to GFX_MAX_SIDE,
// no frames, a conversion between formats that are not both 16- or 32-bit layouts, frame data that the
// stream does not hold in full, or malformed packed data. Nothing is ever allocated for more data than the
// stream holds.
TextureData* loadTextureData(InputStream& in, Texture* texture, const GfxHeader& header, int format,
                             bool adv);

// Resizes the texture's pixels by scale / 256 (each side at least 1): raw data by nearest-neighbour
// sampling, packed data by unpacking, sampling and packing again. Scale 256, a storage code other than 0-2
// (including rotated raw data), no data, or a result larger than GFX_MAX_SIDE leave the texture as it is.
// extra is the packed size a file stored for this scale, used only as a capacity hint. Returns the texture.
Texture* rescale(const GfxHeader& header, Texture* texture, int format, int scale, int32_t extra);

// Writes the texture as a texture file at path through the file manager: its format, its data's storage
// code, size, frames and colour-index flag, every frame with its own size from the frame table so that the
// file reads back frame for frame. Rotated raw data is written as raw frame 0. frameCount 0 or less writes
// every frame of the data; more frames than the data has are not written. Returns the bytes written, or 0
// when the file cannot be created ("ERROR: Cannot open %s for writing, ..."), the texture has no software
// data or a write falls short.
int saveTextureFile(Texture* texture, int frameCount, const char* path);

// What saveTextureFile writes, for a writer of its own: the header with the frame table, then the frames'
// bytes in order. The spans point into the texture's data (or into `picture`, for rotated raw data) and are
// valid while both are unchanged.
struct TextureFileParts {
    struct Span {
        const uint8_t* bytes;
        uint32_t size;
    };
    std::vector<uint8_t> head;
    std::vector<Span> frames;
    std::vector<uint8_t> picture;
};
// False when the texture has no software data of a storage a file can hold, or memory runs out.
bool layoutTextureFile(Texture* texture, int frameCount, TextureFileParts& parts);

// Reads a colour table file (entry count, entry format, one more word, then the entries as ARGB_8888) for
// textures of `format`: ARGB_8888 entries as they are, or each turned into RGB_565 or ARGB_4444 (alpha 15).
// A new record for the caller; null when the file does not open, the format is not one of 2, 3 and 4, or
// the file does not hold the entries it declares.
ColorTable* loadColorTable(const char* path, int format);

}  // namespace mt::graphics
