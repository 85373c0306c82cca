#include "launcher/PictureToBitmap.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "file/TempDir.h"
#include "graphics/PngTestSupport.h"
#include "mt/core/ServiceRegistry.h"
#include "mt/file/FileManager.h"
#include "mt/file/FileManagerImpl.h"
#include "platform/MessageBox.h"

namespace {

// Publishes a registry with a fresh file manager and records every message box.
class PictureToBitmapTest : public testing::Test {
  protected:
    void SetUp() override {
        manager.reset(mt::file::createFileManager());
        registry.registerService(manager.get(), mt::SERVICE_FILE_MANAGER);
        mt::g_serviceRegistry = &registry;
        previousHandler = platform::setMessageBoxHandler([this](const std::string& text, const std::string&) {
            boxes.push_back(text);
            return platform::kMessageBoxOk;
        });
    }
    void TearDown() override {
        platform::setMessageBoxHandler(previousHandler);
        mt::g_serviceRegistry = nullptr;
    }

    std::string writePicture(const std::string& name, const pngtest::PngLayout& layout,
                             const std::vector<std::vector<uint8_t>>& rows) {
        std::vector<uint8_t> png = pngtest::writePng(layout, rows);
        folder.write(name, std::string(png.begin(), png.end()));
        return folder.path(name);
    }

    TempDir folder;
    std::unique_ptr<mt::file::FileManager> manager;
    mt::ServiceRegistry registry;
    platform::MessageBoxHandler previousHandler;
    std::vector<std::string> boxes;
};

}  // namespace

TEST_F(PictureToBitmapTest, TopRowOfThePictureIsTheTopRowOfTheBitmap) {
    pngtest::PngLayout layout;
    layout.width = 3;
    layout.height = 2;
    layout.colorType = PNG_COLOR_TYPE_RGB;
    std::string path = writePicture("two-rows.png", layout,
                                    {{255, 0, 0, 0, 255, 0, 0, 0, 255},  // red, green, blue
                                     {10, 20, 30, 40, 50, 60, 70, 80, 90}});
    auto bitmap = pictureToBitmap(nullptr, path.c_str());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->width(), 3);
    EXPECT_EQ(bitmap->height(), 2);
    EXPECT_TRUE(bitmap->bottomUp());
    EXPECT_EQ(bitmap->pictureRow(0)[0] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(bitmap->pictureRow(0)[1] & 0xFFFFFF, 0x00FF00u);
    EXPECT_EQ(bitmap->pictureRow(0)[2] & 0xFFFFFF, 0x0000FFu);
    EXPECT_EQ(bitmap->pictureRow(1)[2] & 0xFFFFFF, 0x46505Au);
    // Bottom-up memory: the first row in memory is the picture's last row.
    EXPECT_EQ(bitmap->pixels()[0] & 0xFFFFFF, 0x0A141Eu);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(PictureToBitmapTest, OnePixelPictureWithAlpha) {
    pngtest::PngLayout layout;
    layout.width = 1;
    layout.height = 1;
    layout.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
    std::string path = writePicture("dot.png", layout, {{1, 2, 3, 128}});
    auto bitmap = pictureToBitmap(nullptr, path.c_str());
    ASSERT_NE(bitmap, nullptr);
    EXPECT_EQ(bitmap->width(), 1);
    EXPECT_EQ(bitmap->height(), 1);
    EXPECT_EQ(bitmap->pixels()[0], 0x80010203u);  // alpha copied unchanged
}

TEST_F(PictureToBitmapTest, MissingOrBrokenPicturesGiveNullQuietly) {
    EXPECT_EQ(pictureToBitmap(nullptr, folder.path("missing.png").c_str()), nullptr);
    folder.write("broken.png", "\x89PNG\r\n\x1a\n but nothing after the signature");
    EXPECT_EQ(pictureToBitmap(nullptr, folder.path("broken.png").c_str()), nullptr);
    folder.write("empty.png", "");
    EXPECT_EQ(pictureToBitmap(nullptr, folder.path("empty.png").c_str()), nullptr);
    EXPECT_TRUE(boxes.empty());
    mt::g_serviceRegistry = nullptr;  // no file manager at all
    EXPECT_EQ(pictureToBitmap(nullptr, "anything.png"), nullptr);
}

TEST_F(PictureToBitmapTest, PicturesComeFromTheArchives) {
    std::string game = std::string(MT_BINARY_DIR) + "/game/";
    ASSERT_TRUE(manager->mountArchive((game + "data.pak").c_str(), "data:"));
    ASSERT_TRUE(manager->mountArchive((game + "data2.pak").c_str(), "data2:"));
    manager->setSearchMode(1);
    auto background = pictureToBitmap(nullptr, "launcher/launcher_bg_english.png");
    ASSERT_NE(background, nullptr);
    EXPECT_EQ(background->width(), 438);
    EXPECT_EQ(background->height(), 429);
    auto selling = pictureToBitmap(nullptr, "selling_bg.png");
    ASSERT_NE(selling, nullptr);
    EXPECT_EQ(selling->width(), 440);
    EXPECT_EQ(selling->height(), 497);
}
