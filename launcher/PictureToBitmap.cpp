#include "launcher/PictureToBitmap.h"

#include <cstring>

#include "mt/core/ServiceRegistry.h"
#include "mt/file/File.h"
#include "mt/file/FileManager.h"
#include "mt/graphics/PNGImageLoader.h"
#include "mt/graphics/PixelFormat.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureConverter.h"
#include "mt/stream/CachedInputStream.h"
#include "mt/stream/FileInputStream.h"
#include "platform/MessageBox.h"

using mt::String;
using mt::graphics::Texture;

namespace {

constexpr int32_t kReadCacheBytes = 4096;

// Decodes the picture at path; null when it is missing or not a picture the loader can read.
Texture* decodePicture(const String& path) {
    auto* files = static_cast<mt::file::FileManager*>(mt::findService(mt::SERVICE_FILE_MANAGER));
    if (!files)
        return nullptr;
    mt::file::File* file = files->openFile(path, 1, 0);
    if (!file)
        return nullptr;
    mt::graphics::PNGImageLoader loader;
    Texture* picture = nullptr;
    {
        // The file stream does not own the file: it is deleted here as soon as the picture is decoded.
        mt::FileInputStream fileStream(file, mt::STREAM_NOT_OWNER);
        mt::CachedInputStream cached(&fileStream, kReadCacheBytes);
        picture = loader.load(&cached);
    }
    delete file;
    return picture;
}

// Copies the rows of a locked ARGB_8888 level top-down into the bottom-up bitmap, one block copy per row.
void copyRowsUpsideDown(const mt::graphics::LevelBuffer& level, int width, int height,
                        uint32_t* bitmapPixels) {
    const auto* source = static_cast<const uint32_t*>(level.pixels);
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
        const uint32_t* sourceRow = source + static_cast<size_t>(y) * static_cast<size_t>(level.pitch);
        uint32_t* targetRow = bitmapPixels + static_cast<size_t>(height - 1 - y) * static_cast<size_t>(width);
        std::memcpy(targetRow, sourceRow, rowBytes);
    }
}

}  // namespace

std::unique_ptr<platform::Bitmap> pictureToBitmap(platform::Dialog* /*window*/, const String& path) {
    Texture* picture = decodePicture(path);
    if (!picture)
        return nullptr;
    const int width = picture->getSize().width;
    const int height = picture->getSize().height;

    platform::BitmapInfoHeader header;
    header.width = width;
    header.height = height;  // positive: rows run bottom-up
    header.sizeImage = static_cast<uint32_t>(width) * static_cast<uint32_t>(height) * 4u;
    void* bits = nullptr;
    std::unique_ptr<platform::Bitmap> bitmap = platform::Bitmap::create(header, &bits);
    if (!bitmap) {
        platform::messageBox("Unable to create bitmap", "Error");
        picture->release(true);
        return nullptr;
    }

    mt::graphics::TextureConverter converter;
    Texture* converted = converter.convert(picture, mt::graphics::ARGB_8888, true);
    mt::graphics::LevelBuffer* level = converted ? converted->lock() : nullptr;
    if (level && level->pixels && level->pitch >= width) {
        copyRowsUpsideDown(*level, width, height, static_cast<uint32_t*>(bits));
    } else {
        bitmap.reset();  // a conversion without pixels must not show as a black picture
    }
    if (converted) {
        if (level)
            converted->unlock();
        converted->release(true);
    }
    picture->release(true);
    return bitmap;
}
