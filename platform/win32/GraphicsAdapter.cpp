#include "platform/GraphicsAdapter.h"

#include <windows.h>

#include <d3d9.h>

#include <algorithm>
#include <mutex>
#include <new>

namespace platform {
namespace {

std::mutex& factoryMutex() {
    static std::mutex mutex;
    return mutex;
}

GraphicsAdapterFactory& installedFactory() {
    static GraphicsAdapterFactory factory;
    return factory;
}

// The display modes of the primary adapter in X8R8G8B8, in Direct3D's order.
std::vector<DisplayMode> displayModes(IDirect3D9* direct3d) {
    std::vector<DisplayMode> modes;
    const UINT count = direct3d->GetAdapterModeCount(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8);
    modes.reserve(count);
    for (UINT index = 0; index < count; ++index) {
        D3DDISPLAYMODE mode{};
        if (SUCCEEDED(direct3d->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, index, &mode)))
            modes.push_back({mode.Width, mode.Height, mode.RefreshRate, static_cast<uint32_t>(mode.Format)});
    }
    return modes;
}

// The four answers from the primary adapter's hardware device caps; false when it has no such device.
bool capabilitiesOf(IDirect3D9* direct3d, AdapterCapabilities& answers) {
    D3DCAPS9 caps{};
    if (FAILED(direct3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps)))
        return false;
    answers.simultaneousRenderTargets = std::max<DWORD>(caps.NumSimultaneousRTs, 1);
    answers.twoSidedStencil = (caps.StencilCaps & D3DSTENCILCAPS_TWOSIDED) != 0;
    answers.pixelShaderVersion = caps.PixelShaderVersion;
    // R32F textures as render targets, asked against the format the desktop runs in.
    D3DDISPLAYMODE desktop{};
    const D3DFORMAT adapterFormat = SUCCEEDED(direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &desktop))
                                        ? desktop.Format
                                        : D3DFMT_X8R8G8B8;
    answers.floatRenderTargetTexture =
        SUCCEEDED(direct3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, adapterFormat,
                                              D3DUSAGE_RENDERTARGET, D3DRTYPE_TEXTURE, D3DFMT_R32F));
    return true;
}

std::unique_ptr<GraphicsAdapter> hostAdapter() {
    IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (direct3d == nullptr)
        return nullptr;
    std::unique_ptr<GraphicsAdapter> adapter;
    try {
        AdapterCapabilities answers;
        if (capabilitiesOf(direct3d, answers))
            adapter.reset(new GraphicsAdapter(answers, displayModes(direct3d)));
    } catch (const std::bad_alloc&) {
        adapter.reset();
    }
    direct3d->Release();
    return adapter;
}

}  // namespace

uint32_t GraphicsAdapter::modeCount(uint32_t format) const {
    return static_cast<uint32_t>(std::count_if(
        modes_.begin(), modes_.end(), [format](const DisplayMode& m) { return m.format == format; }));
}

bool GraphicsAdapter::mode(uint32_t format, uint32_t index, DisplayMode& out) const {
    uint32_t seen = 0;
    for (const DisplayMode& candidate : modes_) {
        if (candidate.format != format)
            continue;
        if (seen == index) {
            out = candidate;
            return true;
        }
        ++seen;
    }
    return false;
}

std::unique_ptr<GraphicsAdapter> createGraphicsAdapter() {
    GraphicsAdapterFactory factory;
    {
        std::lock_guard<std::mutex> lock(factoryMutex());
        factory = installedFactory();
    }
    return factory ? factory() : hostAdapter();
}

GraphicsAdapterFactory setGraphicsAdapterFactory(GraphicsAdapterFactory factory) {
    std::lock_guard<std::mutex> lock(factoryMutex());
    GraphicsAdapterFactory previous = std::move(installedFactory());
    installedFactory() = std::move(factory);
    return previous;
}

}  // namespace platform
