#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The primary graphics adapter: what it can do and which display modes it offers.
//
// The launcher asks four questions (simultaneous render targets, 32-bit float render-target textures,
// two-sided stencil, pixel shader version) and lists the display modes of the primary display. Each backend
// answers them from its host's graphics interface (Direct3D 9 on Windows, a hidden OpenGL context
// elsewhere). The answers are taken once, when the adapter is created; the object holds no host resources.
namespace platform {

// Display and texture format codes, with the values of the graphics interface the launcher was written
// for.
constexpr uint32_t kFormatUnknown = 0;
constexpr uint32_t kFormatR8G8B8 = 20;
constexpr uint32_t kFormatA8R8G8B8 = 21;
constexpr uint32_t kFormatX8R8G8B8 = 22;
constexpr uint32_t kFormatR5G6B5 = 23;
constexpr uint32_t kFormatX1R5G5B5 = 24;
constexpr uint32_t kFormatA2R10G10B10 = 35;

// Pixel shader versions as the launcher compares them (0xFFFF0000 | major << 8 | minor).
constexpr uint32_t kPixelShader2 = 0xFFFF0200;
constexpr uint32_t kPixelShader3 = 0xFFFF0300;

// One display mode, 16 bytes like the record the launcher keeps.
struct DisplayMode {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t refreshRate = 0;  // Hz; 0 when the host does not say
    uint32_t format = kFormatUnknown;
};
static_assert(sizeof(DisplayMode) == 16, "a display mode is 16 bytes");

// The four answers.
struct AdapterCapabilities {
    uint32_t simultaneousRenderTargets = 1;
    bool floatRenderTargetTexture = false;  // 32-bit float (R32F) textures usable as render targets
    bool twoSidedStencil = false;
    uint32_t pixelShaderVersion = 0;  // 0: no pixel shaders
};

class GraphicsAdapter {
  public:
    GraphicsAdapter(const AdapterCapabilities& capabilities, std::vector<DisplayMode> modes)
        : capabilities_(capabilities), modes_(std::move(modes)) {}

    uint32_t simultaneousRenderTargets() const { return capabilities_.simultaneousRenderTargets; }
    bool supportsFloatRenderTargetTexture() const { return capabilities_.floatRenderTargetTexture; }
    bool supportsTwoSidedStencil() const { return capabilities_.twoSidedStencil; }
    uint32_t pixelShaderVersion() const { return capabilities_.pixelShaderVersion; }
    const AdapterCapabilities& capabilities() const { return capabilities_; }

    // The modes of the primary display in the given format, in the host's order.
    uint32_t modeCount(uint32_t format) const;
    // Mode `index` of that list; false (and out untouched) for an index beyond it.
    bool mode(uint32_t format, uint32_t index, DisplayMode& out) const;
    // Every mode, whatever its format.
    const std::vector<DisplayMode>& allModes() const { return modes_; }

  private:
    AdapterCapabilities capabilities_;
    std::vector<DisplayMode> modes_;
};

// The primary adapter, or null when the host has no graphics (no display; no Direct3D 9 on Windows, no
// OpenGL elsewhere).
std::unique_ptr<GraphicsAdapter> createGraphicsAdapter();

// Replaces the host query, for tests and for machines where another source knows better. An empty
// function restores the host query. Returns the one it replaces (empty for the host's).
using GraphicsAdapterFactory = std::function<std::unique_ptr<GraphicsAdapter>()>;
GraphicsAdapterFactory setGraphicsAdapterFactory(GraphicsAdapterFactory factory);

struct HostAdapterQuery;  // a backend's query in progress

// The adapter query started ahead of its answer, so that a program goes on loading while the host's
// graphics interface starts (Direct3D 9 may take a good part of a second). Where the host may be asked from
// another thread (Direct3D 9) the query runs on a thread of its own from construction; where it may not
// (the OpenGL query shares the video system with the windows), and while a factory is installed, it runs
// in take(). Either way take() answers what createGraphicsAdapter() would.
class GraphicsAdapterQuery {
  public:
    GraphicsAdapterQuery();
    // Waits for a query still running and drops its answer.
    ~GraphicsAdapterQuery();
    GraphicsAdapterQuery(const GraphicsAdapterQuery&) = delete;
    GraphicsAdapterQuery& operator=(const GraphicsAdapterQuery&) = delete;

    // The adapter, or null when the host has no graphics; waits for the query's thread. Once the started
    // answer is taken, a further call asks again.
    std::unique_ptr<GraphicsAdapter> take();

  private:
    HostAdapterQuery* running_ = nullptr;
};

}  // namespace platform
