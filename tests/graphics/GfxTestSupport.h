#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "mt/core/ServiceRegistry.h"
#include "mt/file/FileManagerImpl.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureDataSW.h"
#include "mt/graphics/TextureFile.h"
#include "mt/stream/MemoryStream.h"

// Texture files built byte by byte, for the loader's tests.
namespace gfxtest {

inline void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

// Frame data of 16- or 32-bit words.
inline std::vector<uint8_t> words16(std::initializer_list<uint32_t> values) {
    std::vector<uint8_t> out;
    for (uint32_t v : values)
        put16(out, static_cast<uint16_t>(v));
    return out;
}
inline std::vector<uint8_t> words32(std::initializer_list<uint32_t> values) {
    std::vector<uint8_t> out;
    for (uint32_t v : values)
        put32(out, v);
    return out;
}
inline std::vector<uint8_t> cat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A whole texture file: header, frame size table and frames.
inline std::vector<uint8_t> gfxFile(int32_t format, int32_t storage, int32_t width, int32_t height,
                                    const std::vector<std::vector<uint8_t>>& frames,
                                    int16_t colorIndexed = 0) {
    std::vector<uint8_t> out;
    put32(out, static_cast<uint32_t>(format));
    put32(out, static_cast<uint32_t>(storage));
    put32(out, static_cast<uint32_t>(width));
    put32(out, static_cast<uint32_t>(height));
    put16(out, static_cast<uint16_t>(frames.size()));
    put16(out, static_cast<uint16_t>(colorIndexed));
    for (int i = 0; i < 4; ++i)
        put32(out, 0);
    for (const auto& f : frames)
        put32(out, static_cast<uint32_t>(f.size()));
    for (const auto& f : frames)
        out.insert(out.end(), f.begin(), f.end());
    return out;
}

inline mt::graphics::Texture* readBytes(std::vector<uint8_t> bytes, int format, bool adv = false,
                                        int scale = 256) {
    mt::MemoryStream in(bytes.data(), static_cast<int32_t>(bytes.size()), mt::STREAM_NOT_OWNER);
    return mt::graphics::readTexture(in, format, adv, scale);
}

inline mt::graphics::TextureDataSW* sw(mt::graphics::Texture* texture) {
    return texture ? dynamic_cast<mt::graphics::TextureDataSW*>(texture->getData()) : nullptr;
}

inline std::vector<uint8_t> level0(mt::graphics::Texture* texture) {
    mt::graphics::TextureDataSW* data = sw(texture);
    if (!data || !data->lock()->pixels)
        return {};
    const uint8_t* p = static_cast<const uint8_t*>(data->lock()->pixels);
    return std::vector<uint8_t>(p, p + data->getDataSize());
}

inline std::vector<int32_t> frameTable(mt::graphics::Texture* texture) {
    mt::graphics::TextureDataSW* data = sw(texture);
    if (!data || !data->getFrameTable())
        return {};
    return std::vector<int32_t>(data->getFrameTable(), data->getFrameTable() + data->getFrameCount());
}

// Publishes a registry with a fresh file manager for the duration of a test.
class FileManagerScope {
  public:
    FileManagerScope() : manager(mt::file::createFileManager()) {
        registry.registerService(manager.get(), mt::SERVICE_FILE_MANAGER);
        previous = mt::g_serviceRegistry;
        mt::g_serviceRegistry = &registry;
    }
    ~FileManagerScope() { mt::g_serviceRegistry = previous; }
    FileManagerScope(const FileManagerScope&) = delete;
    FileManagerScope& operator=(const FileManagerScope&) = delete;

    mt::file::FileManager* get() { return manager.get(); }
    mt::ServiceRegistry& services() { return registry; }

  private:
    std::unique_ptr<mt::file::FileManager> manager;
    mt::ServiceRegistry registry;
    mt::ServiceRegistry* previous;
};

}  // namespace gfxtest
