// The stand-in game on Windows: the same report as on Linux (SettingsReport.cpp), with the settings in the
// user's local application data folder, as the launcher keeps them there, and a plain Win32 window.
//
// The line goes to the standard output the program was given (a pipe or file of the process that started
// it), else to the console of that process when there is one; a program of the GUI subsystem has none of
// its own.
#include <windows.h>

#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "SettingsReport.h"

using valtor_demo::Report;

namespace {

constexpr int kWindowWidth = 560;
constexpr int kWindowHeight = 260;
constexpr UINT_PTR kCloseTimer = 1;

std::wstring widen(const std::string& utf8) {
    if (utf8.empty())
        return {};
    int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

std::string narrow(const std::wstring& wide) {
    if (wide.empty())
        return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                   nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                            nullptr, nullptr);
    return utf8;
}

// The name of the executable that runs (valtor.exe, valtor_low.exe or valtor_low2.exe).
std::string executableName() {
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return "valtor-demo";
        if (length < path.size()) {
            std::wstring full(path.data(), length);
            size_t separator = full.find_last_of(L"\\/");
            return narrow(separator == std::wstring::npos ? full : full.substr(separator + 1));
        }
        if (path.size() >= 32768)
            return "valtor-demo";
        path.resize(path.size() * 2);
    }
}

// The launcher's folder for the settings, with the separator at its end: <local app
// data>\Quillfen\Valtor\1.0\, made when missing. Empty when the system names no such folder; the launcher
// then uses the current one.
std::wstring gameFolder() {
    wchar_t base[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, base)))
        return {};
    std::wstring folder = base;
    for (const wchar_t* part : {L"Quillfen", L"Valtor", L"1.0"}) {
        if (!folder.empty() && folder.back() != L'\\')
            folder.push_back(L'\\');
        folder += part;
        CreateDirectoryW(folder.c_str(), nullptr);  // an existing folder is no error; a failed open says so
    }
    return folder + L"\\";
}

// The standard handle, or the one of the starting process's console when the program was given none.
HANDLE standardHandle(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
        return handle;
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED)
        return nullptr;  // ERROR_ACCESS_DENIED: attached already, by the call for the other handle
    handle = GetStdHandle(which);
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

void writeLine(DWORD which, const std::string& line) {
    HANDLE handle = standardHandle(which);
    if (handle == nullptr)
        return;
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// The same bytes as on Linux: UTF-8, each line ended by "\n".
bool appendToLog(const std::wstring& path, const std::string& line) {
    FILE* log = _wfopen(path.c_str(), L"ab");
    if (log == nullptr)
        return false;
    bool written = std::fprintf(log, "%s\n", line.c_str()) >= 0;
    return std::fclose(log) == 0 && written;
}

// The window's state: the report it shows and its fonts.
struct WindowData {
    const Report* report = nullptr;
    HFONT title = nullptr;
    HFONT body = nullptr;
};

// Draws one line at y in the font and colour and moves y below it.
void drawLine(HDC dc, HFONT font, COLORREF colour, const std::string& text, RECT& area) {
    HGDIOBJ old = SelectObject(dc, font);
    SetTextColor(dc, colour);
    std::wstring wide = widen(text);
    RECT line = area;
    int height = DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &line,
                           DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    area.top += height + 2;
    SelectObject(dc, old);
}

void paint(HWND window, const WindowData& data) {
    PAINTSTRUCT paintStruct;
    HDC dc = BeginPaint(window, &paintStruct);
    RECT client;
    GetClientRect(window, &client);
    HBRUSH background = CreateSolidBrush(RGB(16, 13, 24));
    FillRect(dc, &client, background);
    DeleteObject(background);
    HBRUSH frameBrush = CreateSolidBrush(RGB(181, 138, 60));
    RECT frame = {client.left + 4, client.top + 4, client.right - 4, client.bottom - 4};
    FrameRect(dc, &frame, frameBrush);
    DeleteObject(frameBrush);

    SetBkMode(dc, TRANSPARENT);
    RECT area = {client.left + 20, client.top + 16, client.right - 20, client.bottom - 8};
    drawLine(dc, data.title, RGB(240, 216, 148), valtor_demo::kWindowTitle, area);
    drawLine(dc, data.body, RGB(169, 159, 187), valtor_demo::kWindowSubtitle, area);
    area.top += 6;
    for (const std::string& line : data.report->lines)
        drawLine(dc, data.body, RGB(236, 230, 242), line, area);
    EndPaint(window, &paintStruct);
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* data = reinterpret_cast<WindowData*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
        case WM_NCCREATE:
            SetWindowLongPtrW(
                window, GWLP_USERDATA,
                reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
            break;
        case WM_PAINT:
            if (data != nullptr) {
                paint(window, *data);
                return 0;
            }
            break;
        case WM_TIMER:
            if (wParam == kCloseTimer) {
                DestroyWindow(window);
                return 0;
            }
            break;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) {
                DestroyWindow(window);
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

HFONT makeFont(int height, int weight) {
    return CreateFontW(-height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Segoe UI");
}

// Shows the report, centred on the screen, until the time is up, Escape is pressed or it is closed.
void showWindow(HINSTANCE instance, const Report& report, double seconds) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.lpszClassName = L"ValtorDemoWindow";
    if (RegisterClassW(&windowClass) == 0)
        return;
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT outer = {0, 0, kWindowWidth, kWindowHeight};
    AdjustWindowRect(&outer, style, FALSE);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;

    WindowData data;
    data.report = &report;
    data.title = makeFont(22, FW_BOLD);
    data.body = makeFont(14, FW_NORMAL);
    std::wstring title = widen(valtor_demo::kWindowTitle);
    HWND window = CreateWindowExW(0, windowClass.lpszClassName, title.c_str(), style, left, top, width,
                                  height, nullptr, nullptr, instance, &data);
    if (window != nullptr) {
        ShowWindow(window, SW_SHOWNORMAL);
        UpdateWindow(window);
        SetTimer(window, kCloseTimer, static_cast<UINT>(seconds * 1000.0), nullptr);
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    DeleteObject(data.title);
    DeleteObject(data.body);
    UnregisterClassW(windowClass.lpszClassName, instance);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    const std::wstring folder = gameFolder();
    const std::wstring settingsPath = folder + L"setup.dat";
    Report report =
        valtor_demo::describeSettings(executableName(), narrow(settingsPath),
                                      valtor_demo::readSettingsFile(_wfopen(settingsPath.c_str(), L"rb")));

    writeLine(STD_OUTPUT_HANDLE, report.oneLine);
    const std::wstring logPath = folder + L"valtor-demo.log";
    if (!appendToLog(logPath, report.oneLine))
        writeLine(STD_ERROR_HANDLE, "valtor-demo: cannot append to " + narrow(logPath));

    const double seconds = valtor_demo::windowSeconds(std::getenv("VALTOR_DEMO_SECONDS"));
    if (seconds > 0.0)
        showWindow(instance, report, seconds);
    return 0;
}
