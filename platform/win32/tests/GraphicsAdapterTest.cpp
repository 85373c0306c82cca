// The Direct3D 9 adapter questions of the Win32 backend.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/GraphicsAdapter.h"

namespace {

using platform::DisplayMode;
using platform::kFormatR5G6B5;
using platform::kFormatX8R8G8B8;

bool underWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TEST(Win32GraphicsAdapter, ModesAreListedPerFormatInTheirOrder) {
    platform::GraphicsAdapter adapter(
        {},
        {{800, 600, 60, kFormatX8R8G8B8}, {640, 480, 0, kFormatR5G6B5}, {1024, 768, 75, kFormatX8R8G8B8}});
    EXPECT_EQ(adapter.modeCount(kFormatX8R8G8B8), 2u);
    DisplayMode mode;
    ASSERT_TRUE(adapter.mode(kFormatX8R8G8B8, 1, mode));
    EXPECT_EQ(mode.width, 1024u);
    EXPECT_EQ(mode.refreshRate, 75u);
    DisplayMode untouched{1, 2, 3, 4};
    EXPECT_FALSE(adapter.mode(kFormatX8R8G8B8, 2, untouched));
    EXPECT_EQ(untouched.width, 1u);
}

TEST(Win32GraphicsAdapter, AFactoryReplacesTheHostQueryUntilRemoved) {
    int asked = 0;
    auto previous = platform::setGraphicsAdapterFactory([&asked] {
        ++asked;
        return std::make_unique<platform::GraphicsAdapter>(platform::AdapterCapabilities{},
                                                           std::vector<DisplayMode>{});
    });
    EXPECT_FALSE(previous);
    ASSERT_TRUE(platform::createGraphicsAdapter());
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(platform::setGraphicsAdapterFactory(nullptr));
}

// Without a display there is no adapter; with one (Xvfb under Wine) Wine's Direct3D answers.
TEST(Win32GraphicsAdapter, TheHostAdapterAnswersFromDirect3D) {
    std::unique_ptr<platform::GraphicsAdapter> adapter = platform::createGraphicsAdapter();
    if (!adapter)
        GTEST_SKIP() << "no Direct3D adapter (no display)";
    EXPECT_GE(adapter->simultaneousRenderTargets(), 1u);
    EXPECT_EQ(adapter->modeCount(kFormatX8R8G8B8), adapter->allModes().size());
    for (const DisplayMode& mode : adapter->allModes()) {
        EXPECT_EQ(mode.format, kFormatX8R8G8B8);
        EXPECT_GT(mode.width, 0u);
        EXPECT_GT(mode.height, 0u);
    }
    if (underWine()) {
        EXPECT_EQ(adapter->pixelShaderVersion(), platform::kPixelShader3);
        EXPECT_EQ(adapter->simultaneousRenderTargets(), 4u);
        EXPECT_TRUE(adapter->supportsTwoSidedStencil());
        EXPECT_TRUE(adapter->supportsFloatRenderTargetTexture());
        EXPECT_GE(adapter->allModes().size(), 1u);
    }
}

// The query started ahead on its own thread gives what the direct query gives; one never taken is waited
// for when it goes.
TEST(Win32GraphicsAdapter, AQueryStartedAheadGivesTheDirectAnswers) {
    { platform::GraphicsAdapterQuery untaken; }
    platform::GraphicsAdapterQuery query;
    std::unique_ptr<platform::GraphicsAdapter> direct = platform::createGraphicsAdapter();
    std::unique_ptr<platform::GraphicsAdapter> ahead = query.take();
    ASSERT_EQ(static_cast<bool>(ahead), static_cast<bool>(direct));
    if (!direct)
        GTEST_SKIP() << "no Direct3D adapter (no display)";
    EXPECT_EQ(ahead->simultaneousRenderTargets(), direct->simultaneousRenderTargets());
    EXPECT_EQ(ahead->supportsFloatRenderTargetTexture(), direct->supportsFloatRenderTargetTexture());
    EXPECT_EQ(ahead->supportsTwoSidedStencil(), direct->supportsTwoSidedStencil());
    EXPECT_EQ(ahead->pixelShaderVersion(), direct->pixelShaderVersion());
    ASSERT_EQ(ahead->allModes().size(), direct->allModes().size());
    for (size_t i = 0; i < direct->allModes().size(); ++i) {
        EXPECT_EQ(ahead->allModes()[i].width, direct->allModes()[i].width);
        EXPECT_EQ(ahead->allModes()[i].height, direct->allModes()[i].height);
        EXPECT_EQ(ahead->allModes()[i].refreshRate, direct->allModes()[i].refreshRate);
    }
}

}  // namespace
