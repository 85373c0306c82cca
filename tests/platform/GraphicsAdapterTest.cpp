#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>

#include "platform/GraphicsAdapter.h"
#include "platform/sdl/OpenGlAdapter.h"

using platform::AdapterCapabilities;
using platform::OpenGlFacts;

TEST(GraphicsAdapter, AnswersFromOpenGlFacts) {
    // What Xvfb's llvmpipe reports: OpenGL 4.5, GLSL 4.50, 8 draw buffers, R32F targets.
    OpenGlFacts modern{4, 5, 4, 50, 8, true, false};
    AdapterCapabilities caps = platform::capabilitiesFromOpenGl(modern);
    EXPECT_EQ(caps.simultaneousRenderTargets, 8u);
    EXPECT_TRUE(caps.floatRenderTargetTexture);
    EXPECT_TRUE(caps.twoSidedStencil);
    EXPECT_EQ(caps.pixelShaderVersion, platform::kPixelShader3);

    // OpenGL 2.1 with GLSL 1.20: shader model 2 only, two-sided stencil from the core version.
    caps = platform::capabilitiesFromOpenGl({2, 1, 1, 20, 4, false, false});
    EXPECT_EQ(caps.pixelShaderVersion, platform::kPixelShader2);
    EXPECT_TRUE(caps.twoSidedStencil);
    EXPECT_FALSE(caps.floatRenderTargetTexture);
    EXPECT_EQ(platform::capabilitiesFromOpenGl({3, 0, 1, 30, 8, true, false}).pixelShaderVersion,
              platform::kPixelShader3);  // the boundary: GLSL 1.30

    // OpenGL 1.5: no shading language, stencil only through the extension, one render target.
    caps = platform::capabilitiesFromOpenGl({1, 5, -1, 0, 0, false, false});
    EXPECT_EQ(caps.pixelShaderVersion, 0u);
    EXPECT_FALSE(caps.twoSidedStencil);
    EXPECT_EQ(caps.simultaneousRenderTargets, 1u);
    EXPECT_TRUE(platform::capabilitiesFromOpenGl({1, 5, -1, 0, 0, false, true}).twoSidedStencil);
    // The launcher's comparisons: shader 2.0 passes, nothing below it does.
    EXPECT_FALSE(platform::kPixelShader2 < 0xFFFF0200u);
    EXPECT_TRUE(0u < 0xFFFF0200u);
}

TEST(GraphicsAdapter, VersionTextsAndModeFormats) {
    int major = -1;
    int minor = -1;
    EXPECT_TRUE(platform::parseGlVersion("4.5 (Compatibility Profile) Mesa 22.3.6", major, minor));
    EXPECT_EQ(major, 4);
    EXPECT_EQ(minor, 5);
    EXPECT_TRUE(platform::parseGlVersion("OpenGL ES 3.2 Mesa", major, minor));
    EXPECT_EQ(major, 3);
    EXPECT_EQ(minor, 2);
    EXPECT_FALSE(platform::parseGlVersion("", major, minor));
    EXPECT_FALSE(platform::parseGlVersion("version four", major, minor));
    EXPECT_FALSE(platform::parseGlVersion("4.", major, minor));
    EXPECT_FALSE(platform::parseGlVersion(nullptr, major, minor));

    EXPECT_EQ(platform::formatFromHostPixelFormat(SDL_PIXELFORMAT_RGB888), platform::kFormatX8R8G8B8);
    EXPECT_EQ(platform::formatFromHostPixelFormat(SDL_PIXELFORMAT_ARGB8888), platform::kFormatX8R8G8B8);
    EXPECT_EQ(platform::formatFromHostPixelFormat(SDL_PIXELFORMAT_RGB565), platform::kFormatR5G6B5);
    EXPECT_EQ(platform::formatFromHostPixelFormat(SDL_PIXELFORMAT_INDEX8), platform::kFormatUnknown);
}

TEST(GraphicsAdapter, ModesAreListedPerFormatInTheHostsOrder) {
    platform::GraphicsAdapter adapter(AdapterCapabilities{}, {{1920, 1080, 60, platform::kFormatX8R8G8B8},
                                                              {1280, 720, 60, platform::kFormatR5G6B5},
                                                              {1024, 768, 75, platform::kFormatX8R8G8B8},
                                                              {1024, 768, 60, platform::kFormatX8R8G8B8}});
    EXPECT_EQ(adapter.modeCount(platform::kFormatX8R8G8B8), 3u);
    EXPECT_EQ(adapter.modeCount(platform::kFormatR5G6B5), 1u);
    EXPECT_EQ(adapter.modeCount(platform::kFormatA8R8G8B8), 0u);
    platform::DisplayMode mode;
    ASSERT_TRUE(adapter.mode(platform::kFormatX8R8G8B8, 1, mode));
    EXPECT_EQ(mode.width, 1024u);
    EXPECT_EQ(mode.refreshRate, 75u);
    ASSERT_TRUE(adapter.mode(platform::kFormatX8R8G8B8, 2, mode));
    EXPECT_EQ(mode.refreshRate, 60u);
    platform::DisplayMode untouched{1, 2, 3, 4};
    EXPECT_FALSE(adapter.mode(platform::kFormatX8R8G8B8, 3, untouched));
    EXPECT_EQ(untouched.width, 1u);
}

TEST(GraphicsAdapter, TheFactoryCanBeReplacedAndTheHostHasNoneWithoutOpenGl) {
    auto previous = platform::setGraphicsAdapterFactory([] {
        AdapterCapabilities weak;
        weak.simultaneousRenderTargets = 2;
        weak.pixelShaderVersion = platform::kPixelShader2;
        return std::make_unique<platform::GraphicsAdapter>(
            weak, std::vector<platform::DisplayMode>{{800, 600, 60, platform::kFormatX8R8G8B8}});
    });
    auto fake = platform::createGraphicsAdapter();
    ASSERT_TRUE(fake);
    EXPECT_EQ(fake->simultaneousRenderTargets(), 2u);
    EXPECT_FALSE(fake->supportsTwoSidedStencil());
    EXPECT_EQ(fake->modeCount(platform::kFormatX8R8G8B8), 1u);

    platform::setGraphicsAdapterFactory([] { return std::unique_ptr<platform::GraphicsAdapter>(); });
    EXPECT_FALSE(platform::createGraphicsAdapter());  // "no graphics"

    platform::setGraphicsAdapterFactory(previous);
    // The dummy video driver has no OpenGL: the host answers with no adapter, and does not crash.
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    if (std::string(std::getenv("SDL_VIDEODRIVER")) == "dummy") {
        EXPECT_FALSE(platform::createGraphicsAdapter());
    }
}

// A query started ahead answers through the installed factory on the thread that takes it, and asks again
// after its answer is taken; the SDL host is never asked from another thread.
TEST(GraphicsAdapter, AQueryStartedAheadAnswersWhenTakenThroughTheFactory) {
    int asked = 0;
    std::thread::id askedOn;
    auto previous = platform::setGraphicsAdapterFactory([&] {
        ++asked;
        askedOn = std::this_thread::get_id();
        return std::make_unique<platform::GraphicsAdapter>(
            AdapterCapabilities{},
            std::vector<platform::DisplayMode>{{640, 480, 0, platform::kFormatX8R8G8B8}});
    });
    {
        platform::GraphicsAdapterQuery query;
        EXPECT_EQ(asked, 0);
        auto adapter = query.take();
        ASSERT_TRUE(adapter);
        EXPECT_EQ(adapter->modeCount(platform::kFormatX8R8G8B8), 1u);
        EXPECT_EQ(askedOn, std::this_thread::get_id());
        EXPECT_TRUE(query.take());
        EXPECT_EQ(asked, 2);
    }
    { platform::GraphicsAdapterQuery untaken; }
    EXPECT_EQ(asked, 2);
    platform::setGraphicsAdapterFactory(previous);

    setenv("SDL_VIDEODRIVER", "dummy", 0);
    if (std::string(std::getenv("SDL_VIDEODRIVER")) == "dummy") {
        platform::GraphicsAdapterQuery host;
        EXPECT_FALSE(host.take());
    }
}
