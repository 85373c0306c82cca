#include "launcher/DisplayModes.h"

#include <cstdint>
#include <cstdio>
#include <new>

#include "launcher/LauncherState.h"
#include "launcher/SettingsDialog.h"
#include "platform/ComboBox.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"

namespace launcher {
namespace {

constexpr uint32_t kRequiredRenderTargets = 4;

bool sameSizeKept(const DisplayModeList& list, const platform::DisplayMode& mode) {
    for (uint32_t i = 0; i < list.count; ++i) {
        if (list.records[i].width == mode.width && list.records[i].height == mode.height) {
            return true;
        }
    }
    return false;
}

bool sizeOffered(const platform::DisplayMode& mode) {
    return mode.width >= kMinModeWidth && mode.width <= kMaxModeWidth && mode.height >= kMinModeHeight &&
           mode.height <= kMaxModeHeight;
}

}  // namespace

int32_t graphicsLevelFor(const platform::GraphicsAdapter& adapter) {
    int32_t level = 2;
    if (adapter.simultaneousRenderTargets() < kRequiredRenderTargets) {
        level = 1;
    }
    if (!adapter.supportsFloatRenderTargetTexture()) {
        level = 1;
    }
    if (!adapter.supportsTwoSidedStencil()) {
        level = 0;
    }
    if (adapter.pixelShaderVersion() < platform::kPixelShader2) {
        level = 0;
    }
    return level;
}

DisplayModeList buildModeList(const platform::GraphicsAdapter& adapter) {
    DisplayModeList list;
    const uint32_t reported = adapter.modeCount(platform::kFormatX8R8G8B8);
    // The records' bytes in 64 bits: on a 32-bit host the count may exceed what an allocation can be.
    if (reported == 0 || static_cast<uint64_t>(reported) * sizeof(platform::DisplayMode) > SIZE_MAX) {
        return list;
    }
    list.records.reset(new (std::nothrow) platform::DisplayMode[reported]);
    if (!list.records) {
        return list;
    }
    list.capacity = reported;
    for (uint32_t i = 0; i < reported; ++i) {
        platform::DisplayMode mode;  // zero: a mode the adapter does not deliver is dropped as too small
        adapter.mode(platform::kFormatX8R8G8B8, i, mode);
        if (sameSizeKept(list, mode) || !sizeOffered(mode)) {
            continue;
        }
        list.records[list.count++] = mode;
    }
    return list;
}

bool checkGraphicsAdapter(LauncherState& state, std::unique_ptr<platform::GraphicsAdapter> adapter) {
    if (!adapter) {
        platform::messageBox(u"DirectX 9 is needed to run this program.", u"Error");
        return false;
    }
    state.graphicsLevel = graphicsLevelFor(*adapter);
    if (state.graphicsLevel == 0) {
        platform::messageBox(localizedText("GRAPHICS_ERROR"), u"Valtor");
        return false;
    }
    state.displayModes = buildModeList(*adapter);
    return true;
}

void adjustQuality(LauncherState& state) {
    if (state.graphicsLevel < 2 && state.settings.quality == 0) {
        state.settings.quality = 1;
    }
    if (state.graphicsLevel < 2) {
        state.qualityOffset = 1;
    }
}

void fillResolutionList(platform::ComboBox& list, const DisplayModeList& modes,
                        const LauncherSettings& settings) {
    int candidate = 1;
    for (uint32_t i = 0; i < modes.count; ++i) {
        const platform::DisplayMode& mode = modes.records[i];
        char text[80] = {};
        std::snprintf(text, sizeof text, "%dx%d", static_cast<int>(mode.width),
                      static_cast<int>(mode.height));
        list.insertString(static_cast<int>(i), text);
        if (static_cast<int64_t>(mode.width) == settings.screenWidth &&
            static_cast<int64_t>(mode.height) == settings.screenHeight) {
            candidate = static_cast<int>(i);
        }
    }
    list.setCurSel(candidate);
}

void applyFinalResolution(const platform::ComboBox& list, const DisplayModeList& modes,
                          LauncherSettings& settings) {
    int selected = list.getCurSel();
    if (selected < 0 || static_cast<uint32_t>(selected) >= modes.count) {
        // Nothing selected (one mode that is not the stored size): the stored size must be one the adapter
        // offers, so the first entry is taken. Without any entry the size read at start-up stays.
        if (modes.count == 0) {
            return;
        }
        selected = 0;
    }
    settings.screenWidth = static_cast<int32_t>(modes.records[selected].width);
    settings.screenHeight = static_cast<int32_t>(modes.records[selected].height);
}

const char* gameExecutable(int32_t quality) {
    switch (quality) {
        case 2:
            return "valtor_low2.exe";
        case 1:
            return "valtor_low.exe";
        default:
            return "valtor.exe";
    }
}

void startGame(int32_t quality) {
    platform::startFileAndWait(gameExecutable(quality));
}

}  // namespace launcher
