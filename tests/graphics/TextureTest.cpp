#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "mt/graphics/ColorTable.h"
#include "mt/graphics/Texture.h"
#include "mt/graphics/TextureDataSWRaw.h"

using namespace mt::graphics;

namespace {

class Counted : public mt::ReferenceCounted {
  public:
    explicit Counted(int* destroyed) : destroyed(destroyed) { addRef(); }
    ~Counted() override { ++*destroyed; }
    int* destroyed;
};

class Listener : public TextureListener {
  public:
    void textureDestroyed(Texture* texture) override { seen.push_back(texture); }
    std::vector<Texture*> seen;
};

Texture* makeTexture(int w, int h, int format, int levels = 1, int kind = TEXTURE_IN_MEMORY) {
    return new Texture(kind, "", Size{w, h}, format, nullptr, 0, levels);
}

}  // namespace

TEST(Texture, StartsWithOneReferenceAndOneFrameOfItsSize) {
    Texture* texture = makeTexture(300, 200, ARGB_8888);
    EXPECT_EQ(texture->getRefCount(), 1);
    EXPECT_EQ(texture->getFrameCount(), 1);
    EXPECT_EQ(texture->getFrame(0).pairs[2].x, 300);
    EXPECT_EQ(texture->getFrame(0).pairs[2].y, 200);
    EXPECT_EQ(texture->getSecondSize().width, 300);
    EXPECT_EQ(texture->getData(), nullptr);
    EXPECT_TRUE(texture->hasAlpha()) << "ARGB_8888 without data";
    texture->setFormat(RGB_565);
    EXPECT_FALSE(texture->hasAlpha());
    texture->release(true);
}

TEST(Texture, FramesWrapAroundAndResizeKeepsTheFirst) {
    Texture* texture = makeTexture(4, 4, ARGB_8888);
    texture->getFrame(0).pairs[0].x = 7;
    texture->setFrameCount(3);
    EXPECT_EQ(texture->getFrame(0).pairs[0].x, 7);
    texture->getFrame(2).pairs[0].x = 9;
    EXPECT_EQ(texture->getFrame(5).pairs[0].x, 9) << "5 mod 3 = 2";
    EXPECT_EQ(texture->getFrame(65536).pairs[0].x, 7) << "taken mod 65536 first (65536 mod 3 would be 1)";
    EXPECT_EQ(texture->getFrame(-1).pairs[0].x, texture->getFrame(65535 % 3).pairs[0].x);
    texture->setFrameCount(0);
    EXPECT_EQ(texture->getFrame(4).pairs[0].x, 0) << "no frames: a spare frame, no division by zero";
    texture->release(true);
}

TEST(Texture, AttachmentListenerAndDataDieWithTheTexture) {
    int destroyed = 0;
    Counted* first = new Counted(&destroyed);
    Counted* second = new Counted(&destroyed);
    Listener listener;
    Texture* texture = makeTexture(2, 2, ARGB_8888);
    texture->setAttachment(first);
    first->release(true);  // the texture's reference keeps it
    EXPECT_EQ(destroyed, 0);
    texture->setAttachment(second);
    EXPECT_EQ(destroyed, 1) << "the old attachment is released";
    texture->setAttachment(second);
    EXPECT_EQ(second->getRefCount(), 2) << "setting the same object again keeps one reference";
    second->release(true);
    texture->setListener(&listener);
    new TextureDataSWRaw(texture);
    texture->addRef();
    texture->release(true);
    EXPECT_TRUE(listener.seen.empty());
    texture->release(true);
    ASSERT_EQ(listener.seen.size(), 1u);
    EXPECT_EQ(listener.seen[0], texture);
    EXPECT_EQ(destroyed, 2);
}

TEST(TextureDataSW, AllocatesEveryMipLevelAndRecordsLevelZero) {
    Texture* texture = makeTexture(64, 32, ARGB_8888, 3, 7);  // a kind that allocates nothing itself
    TextureDataSWRaw* data = new TextureDataSWRaw(texture);
    EXPECT_EQ(texture->getData(), data);
    EXPECT_EQ(data->lock()->pixels, nullptr);
    EXPECT_EQ(data->getFrameCount(), 1);
    void* pixels = data->allocateLevels(64, 32);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(data->getDataSize(), 64 * 32 * 4);
    EXPECT_EQ(data->getLevel(0)->pitch, 64);
    EXPECT_EQ(data->getLevel(1)->pitch, 32);
    EXPECT_EQ(data->getLevel(2)->pitch, 16);
    EXPECT_NE(data->getLevel(2)->pixels, nullptr);
    EXPECT_EQ(data->getLevel(3), nullptr);
    EXPECT_TRUE(data->ownsPixels());
    EXPECT_EQ(data->getSourceSize().width, 64 << 16);
    EXPECT_TRUE(data->hasAlpha());
    // Allocating again replaces (and frees) the old blocks; a size that cannot be held gives null.
    EXPECT_NE(data->allocateLevels(8, 8), nullptr);
    EXPECT_EQ(data->getDataSize(), 256);
    EXPECT_EQ(data->allocateLevels(-1, 8), nullptr);
    EXPECT_EQ(data->lock()->pixels, nullptr);
    texture->release(true);
}

TEST(TextureDataSW, ForeignPixelsAreNeverFreedAndOwnBlocksAreFreedWhenReplaced) {
    std::vector<uint32_t> foreign(16, 0xAABBCCDD);
    Texture* texture = makeTexture(4, 4, ARGB_8888);
    TextureDataSWRaw* data = new TextureDataSWRaw(texture);
    ASSERT_TRUE(data->ownsPixels());
    data->setLevel0(foreign.data(), 4);  // the calloc'd block is freed here (ASan would report a leak)
    EXPECT_FALSE(data->ownsPixels());
    EXPECT_EQ(texture->lock()->pixels, foreign.data());
    void* block = data->allocateLevel0(100);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(data->lock()->pitch, 100);
    EXPECT_EQ(data->getDataSize(), 100);
    EXPECT_EQ(data->allocateLevel0(-5), nullptr);
    int32_t* frames = data->createFrameTable(3);
    frames[2] = 48;
    EXPECT_EQ(data->getFrameCount(), 3);
    EXPECT_EQ(data->getFrameOffset(2), 48);
    EXPECT_EQ(data->getFrameOffset(3), 0);
    texture->release(true);  // frees nothing of `foreign`
    EXPECT_EQ(foreign[0], 0xAABBCCDDu);
}

TEST(TextureDataSW, RawDataOfKindOneIsClearedAndOtherKindsStayEmpty) {
    Texture* texture = makeTexture(3, 3, RGB_565);
    new TextureDataSWRaw(texture);
    const uint16_t* pixels = static_cast<const uint16_t*>(texture->lock()->pixels);
    ASSERT_NE(pixels, nullptr);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(pixels[i], 0);
    texture->release(true);

    Texture* fromFile = makeTexture(3, 3, RGB_565, 1, TEXTURE_FROM_FILE);
    TextureDataSWRaw* data = new TextureDataSWRaw(fromFile);
    EXPECT_EQ(fromFile->lock()->pixels, nullptr);
    EXPECT_EQ(data->getFrameCount(), 1);
    // Replacing the data deletes the old one.
    TextureDataSWRaw* replacement = new TextureDataSWRaw(fromFile);
    EXPECT_EQ(fromFile->getData(), replacement);
    fromFile->release(true);
}
