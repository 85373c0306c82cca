#include "platform/GraphicsAdapter.h"

#include <windows.h>

#include <d3d9.h>
#include <process.h>

#include <algorithm>
#include <new>

#include "platform/HostGraphicsAdapter.h"

namespace platform {
namespace {

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

}  // namespace

// Direct3D 9 may be asked from any thread; the thread's answer is read only after it has ended.
struct HostAdapterQuery {
    HANDLE thread = nullptr;
    std::unique_ptr<GraphicsAdapter> answer;
};

namespace {

unsigned __stdcall runAdapterQuery(void* parameter) {
    HostAdapterQuery* query = static_cast<HostAdapterQuery*>(parameter);
    query->answer = hostGraphicsAdapter();
    return 0;
}

}  // namespace

HostAdapterQuery* startHostAdapterQuery() {
    HostAdapterQuery* query = new (std::nothrow) HostAdapterQuery;
    if (query == nullptr)
        return nullptr;
    // The C runtime's thread start, since the query allocates through it.
    const uintptr_t thread = _beginthreadex(nullptr, 0, runAdapterQuery, query, 0, nullptr);
    if (thread == 0) {
        delete query;
        return nullptr;
    }
    query->thread = reinterpret_cast<HANDLE>(thread);
    return query;
}

std::unique_ptr<GraphicsAdapter> finishHostAdapterQuery(HostAdapterQuery* query) {
    WaitForSingleObject(query->thread, INFINITE);
    CloseHandle(query->thread);
    std::unique_ptr<GraphicsAdapter> answer = std::move(query->answer);
    delete query;
    return answer;
}

std::unique_ptr<GraphicsAdapter> hostGraphicsAdapter() {
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

}  // namespace platform
