#pragma once
#include <cstdint>
#include <vector>

#include "mt/core/ReferenceCounted.h"
#include "mt/core/String.h"
#include "mt/graphics/Palette.h"

namespace mt::graphics {

class Texture;
class TextureData;

// Width and height in pixels.
struct Size {
    int32_t width = 0;
    int32_t height = 0;
};

// A pair of 16-bit values of a frame record.
struct FramePair {
    int16_t x = 0;
    int16_t y = 0;
};

// One frame of a texture: four pairs and two flags. The third pair holds the frame's size; a new texture's
// frame 0 is (0, 0), (0, 0), (width, height), (0, 0).
struct Frame {
    FramePair pairs[4];
    bool flags[2] = {false, false};
};

// Size and preferred pixel format of a texture file.
struct TextureInfo {
    int32_t width = 0;
    int32_t height = 0;
    int32_t format = 0;
};

// Fills textures whose pixels come from a texture file (kind 0).
class TextureDataFactory {
  public:
    virtual ~TextureDataFactory() = default;
    virtual void setScale(int scale);
    // A new record with the size and preferred format of the texture file at path (the caller deletes it).
    virtual TextureInfo* readInfo(const String& path) = 0;
    virtual void load(Texture* texture) = 0;
};

// Told when a texture is destroyed.
class TextureListener {
  public:
    virtual ~TextureListener() = default;
    virtual void textureDestroyed(Texture* texture) = 0;
};

// Texture kinds: where the pixels come from.
enum TextureKind : int32_t {
    TEXTURE_FROM_FILE = 0,  // a texture file named by the texture's name
    TEXTURE_IN_MEMORY = 1,  // made in memory; raw software data allocates and clears the pixels
    TEXTURE_IN_MEMORY_2 = 2,
};

// The reference-counted handle of a picture: name, size, pixel format, frames and mip level count, and the
// TextureData that holds the pixels (owned). A new texture holds one reference for its creator, who gives it
// back with release(true).
class Texture : public ReferenceCounted {
  public:
    Texture(int kind, const String& name, Size size, int format, TextureDataFactory* factory, int value,
            int levels);
    ~Texture() override;

    const Size& getSize() const { return size; }
    void setSize(Size newSize) { size = newSize; }
    const Size& getSecondSize() const { return secondSize; }
    void setSecondSize(Size newSize) { secondSize = newSize; }
    int getFormat() const { return format; }
    void setFormat(int newFormat) { format = newFormat; }
    int getKind() const { return kind; }
    const String& getName() const { return name; }
    int getLevelCount() const { return levels; }
    int getValue() const { return value; }

    TextureData* getData() const { return data; }
    // Takes ownership of the data; a previous, different data object is deleted.
    void setData(TextureData* newData);
    // Forgets the data without deleting it when it is the current one (its destructor calls this).
    void detachData(TextureData* oldData);
    TextureDataFactory* getFactory() const { return factory; }

    // The level-0 record of the data (null without data); unlock ends the access.
    LevelBuffer* lock();
    void unlock();

    // Whether the pixels carry alpha: the data's answer, or by format when there is no data.
    bool hasAlpha() const;

    int getFrameCount() const { return frameCount; }
    // Resizes the frame table, keeping the first frames; a negative count is taken as 0. False (the table
    // as it was) when the frames cannot be allocated.
    bool setFrameCount(int count);
    // The frame at (i mod 65536) mod frame count; with no frames, a spare frame of zeros.
    Frame& getFrame(int i);
    const Frame& getFrame(int i) const;

    void setBlendMode(int mode);
    void setSourceSize(int width, int height);
    void setAngle(int angle);

    // Asks the factory, when there is one, to fill the texture.
    void load();

    void setListener(TextureListener* newListener) { listener = newListener; }
    TextureListener* getListener() const { return listener; }
    // Holds one reference on the object (releasing the previous one); null clears.
    void setAttachment(ReferenceCounted* object);
    ReferenceCounted* getAttachment() const { return attachment; }
    void setFlag(bool value) { flag = value; }
    bool getFlag() const { return flag; }

  private:
    int32_t value;
    int32_t kind;
    String name;
    Size size;
    Size secondSize;
    int32_t format;
    TextureData* data = nullptr;
    TextureDataFactory* factory;
    ReferenceCounted* attachment = nullptr;
    bool flag = false;
    int32_t frameCount = 1;
    std::vector<Frame> frames;
    TextureListener* listener = nullptr;
    int32_t levels;
    Frame spareFrame;
};

}  // namespace mt::graphics
