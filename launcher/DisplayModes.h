#pragma once
#include <cstdint>
#include <memory>

#include "launcher/SettingsFile.h"
#include "platform/GraphicsAdapter.h"

namespace platform {
class ComboBox;
}

// What the graphics adapter allows (the qualities offered, or no start at all), the display resolutions
// offered, and the start of the game executable that belongs to the chosen quality.
namespace launcher {

struct LauncherState;

// Resolutions offered: 640 x 480 up to 5760 x 1600.
constexpr uint32_t kMinModeWidth = 640;
constexpr uint32_t kMaxModeWidth = 5760;
constexpr uint32_t kMinModeHeight = 480;
constexpr uint32_t kMaxModeHeight = 1600;

// The offered resolutions: record i is entry i of the resolution list. Room for as many records as the
// adapter reported modes; count says how many were kept.
struct DisplayModeList {
    std::unique_ptr<platform::DisplayMode[]> records;
    uint32_t capacity = 0;
    uint32_t count = 0;

    void free() {
        records.reset();
        capacity = 0;
        count = 0;
    }
};

// 2: all three qualities; 1: only low and very low (fewer than 4 render targets, or no 32-bit float
// render-target textures); 0: the adapter cannot run the game (no two-sided stencil, or pixel shaders
// below 2.0). The tests run in this order, so a later one can only lower the level.
int32_t graphicsLevelFor(const platform::GraphicsAdapter& adapter);

// The adapter's modes in its own order: of several modes of one size the first is kept, and sizes outside
// the limits above are dropped. An empty list when there is no memory for the records.
DisplayModeList buildModeList(const platform::GraphicsAdapter& adapter);

// The capability check and the mode list (start-up step 11): from the adapter's answers (null: none), sets
// graphicsLevel and the mode list. Without an adapter it shows "DirectX 9 is needed to run this program." /
// "Error"; with an adapter too weak the localized "GRAPHICS_ERROR" / "Valtor". Either way it returns false
// and the launcher ends with -1, writing nothing.
bool checkGraphicsAdapter(LauncherState& state, std::unique_ptr<platform::GraphicsAdapter> adapter);

// With graphicsLevel below 2 a stored normal quality becomes low, and the quality list is offset by one.
void adjustQuality(LauncherState& state);

// Fills the resolution list with "WxH" per record and selects the stored size, or else the second entry.
void fillResolutionList(platform::ComboBox& list, const DisplayModeList& modes,
                        const LauncherSettings& settings);

// After the loop: the size of the selected resolution entry; without a selection the first entry's, so that
// the stored size is always one the adapter offers. With no entry at all the previous size stays.
void applyFinalResolution(const platform::ComboBox& list, const DisplayModeList& modes,
                          LauncherSettings& settings);

// The executable for a quality: "valtor_low2.exe" for 2, "valtor_low.exe" for 1, else "valtor.exe".
const char* gameExecutable(int32_t quality);

// Starts the game for the quality from the current directory and waits until it has ended. A start that
// fails is not reported.
void startGame(int32_t quality);

}  // namespace launcher
