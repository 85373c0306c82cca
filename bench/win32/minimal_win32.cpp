// The minimal Win32 program of the start-up benchmark: it decodes one PNG with libpng into a DIB section and
// shows it in a borderless popup window of the picture's size, centred on the screen, until it is asked to
// close (WM_CLOSE). What the Windows launcher does beyond this is what `bench_startup --wine` measures.
// With `--direct3d` it first asks Direct3D 9 what the launcher asks before it shows its window (the
// hardware device's caps, the desktop's format, R32F render-target textures, the X8R8G8B8 modes), so that
// the cost of those answers on the machine can be told apart from the launcher's own.
//
//   bench_minimal_win32.exe PICTURE.png [--direct3d]
#include <windows.h>

#include <d3d9.h>

#include <png.h>
#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

// Larger pictures are refused rather than allocated: the launcher's backgrounds are far smaller.
constexpr png_uint_32 kMaxSide = 8192;

struct Picture {
    HBITMAP bitmap = nullptr;
    HDC dc = nullptr;  // a memory DC with the bitmap selected
    int width = 0;
    int height = 0;
};

// Decodes the PNG straight into a top-down 32-bit DIB section (libpng's BGRA is the DIB's byte order).
HBITMAP decodePicture(const wchar_t* path, int& width, int& height) {
    FILE* file = _wfopen(path, L"rb");
    if (file == nullptr)
        return nullptr;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    HBITMAP bitmap = nullptr;
    if (png_image_begin_read_from_stdio(&image, file)) {
        image.format = PNG_FORMAT_BGRA;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = static_cast<LONG>(image.width);
        info.bmiHeader.biHeight = -static_cast<LONG>(image.height);
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        if (image.width <= kMaxSide && image.height <= kMaxSide)
            bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (bitmap != nullptr && png_image_finish_read(&image, nullptr, bits, 0, nullptr)) {
            width = static_cast<int>(image.width);
            height = static_cast<int>(image.height);
        } else if (bitmap != nullptr) {
            DeleteObject(bitmap);
            bitmap = nullptr;
        }
        png_image_free(&image);
    }
    std::fclose(file);
    return bitmap;
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* picture = reinterpret_cast<Picture*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_NCCREATE:
            SetWindowLongPtrW(
                window, GWLP_USERDATA,
                reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
            break;
        case WM_PAINT:
            if (picture != nullptr) {
                PAINTSTRUCT paint;
                HDC dc = BeginPaint(window, &paint);
                BitBlt(dc, 0, 0, picture->width, picture->height, picture->dc, 0, 0, SRCCOPY);
                EndPaint(window, &paint);
                return 0;
            }
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The launcher's questions to Direct3D 9; false when there is no Direct3D 9 or no hardware device.
bool askDirect3d() {
    IDirect3D9* direct3d = Direct3DCreate9(D3D_SDK_VERSION);
    if (direct3d == nullptr)
        return false;
    D3DCAPS9 caps = {};
    D3DDISPLAYMODE mode = {};
    bool answered = SUCCEEDED(direct3d->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &caps)) &&
                    SUCCEEDED(direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode));
    if (answered) {
        direct3d->CheckDeviceFormat(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, mode.Format, D3DUSAGE_RENDERTARGET,
                                    D3DRTYPE_TEXTURE, D3DFMT_R32F);
        const UINT count = direct3d->GetAdapterModeCount(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8);
        for (UINT index = 0; index < count; ++index)
            direct3d->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, index, &mode);
    }
    direct3d->Release();
    return answered;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    const bool direct3d = count == 3 && std::wcscmp(arguments[2], L"--direct3d") == 0;
    if (arguments == nullptr || !(count == 2 || direct3d))
        return 2;
    if (direct3d && !askDirect3d())
        return 1;
    Picture picture;
    picture.bitmap = decodePicture(arguments[1], picture.width, picture.height);
    LocalFree(arguments);
    if (picture.bitmap == nullptr)
        return 1;
    picture.dc = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(picture.dc, picture.bitmap);

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = L"BenchMinimalWin32";
    if (RegisterClassW(&windowClass) == 0)
        return 1;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - picture.width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - picture.height) / 2;
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_POPUP, left, top, picture.width,
                                  picture.height, nullptr, nullptr, instance, &picture);
    if (window == nullptr)
        return 1;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    SelectObject(picture.dc, previous);
    DeleteDC(picture.dc);
    DeleteObject(picture.bitmap);
    return 0;
}
