#pragma once
// Helpers for tests that drive real windows from inside their own message
// loops: a modal dialog runs its loop while a thread timer looks for it and
// acts on it, all on the test's thread.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

namespace window_driver {

struct Driver {
    std::function<HWND()> find;
    std::function<void(HWND)> act;
    int attempts = 0;
    bool found = false;
    bool done = false;
};

inline Driver*& Current()
{
    static Driver* driver = nullptr;
    return driver;
}

// Gives up after about five seconds of polling so that a window that never
// appears fails the test instead of hanging it; WM_QUIT ends any loop.
constexpr int MaxAttempts = 500;

inline void CALLBACK Poll(HWND, UINT, UINT_PTR timer, DWORD)
{
    Driver* driver = Current();
    if (!driver || driver->done) {
        KillTimer(nullptr, timer);
        return;
    }
    HWND window = driver->find();
    if (window && !IsWindowVisible(window)) window = nullptr;  // a dialog shows itself once its loop idles
    if (!window) {
        if (++driver->attempts > MaxAttempts) {
            KillTimer(nullptr, timer);
            driver->done = true;
            PostQuitMessage(0);
        }
        return;
    }
    KillTimer(nullptr, timer);
    driver->found = true;
    driver->done = true;
    driver->act(window);
}

}  // namespace window_driver

// Runs show() (which starts a modal loop); once find() returns a window, act()
// runs with it inside that loop. found tells whether the window appeared.
template <typename Show>
auto DriveModal(const std::function<HWND()>& find, const std::function<void(HWND)>& act, Show show, bool& found)
{
    window_driver::Driver driver{find, act};
    window_driver::Current() = &driver;
    UINT_PTR timer = SetTimer(nullptr, 0, 10, window_driver::Poll);
    auto result = show();
    KillTimer(nullptr, timer);
    window_driver::Current() = nullptr;
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    found = driver.found;
    return result;
}

// A window's text as UTF-8.
inline std::string WindowTextUtf8(HWND window)
{
    int length = GetWindowTextLengthW(window);
    std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
    wide.resize(static_cast<std::size_t>(GetWindowTextW(window, wide.data(), length + 1)));
    int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr, nullptr);
    return text;
}

// A child's rectangle in its parent's client coordinates.
inline RECT RectInParent(HWND child)
{
    RECT rect;
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Writes a BMP of what the screen shows in rect (screen coordinates) when the
// variable SETUP_SCREENSHOT_DIR names a folder; the file is that folder's
// name.bmp. Sends nothing to any window, so it also serves for a window whose
// program is busy.
inline void SaveScreenShot(const RECT& rect, const std::string& name)
{
    const char* folder = std::getenv("SETUP_SCREENSHOT_DIR");
    if (!folder || !*folder) return;
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = height;  // bottom-up, as BMP files store rows
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    GdiFlush();
    // Written as 24 bits per pixel: GDI leaves the fourth byte undefined, and
    // viewers would read it as transparency.
    std::string path = std::string(folder) + "\\" + name + ".bmp";
    if (FILE* file = std::fopen(path.c_str(), "wb")) {
        DWORD rowSize = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
        DWORD imageSize = rowSize * static_cast<DWORD>(height);
        BITMAPFILEHEADER header{};
        header.bfType = 0x4D42;
        header.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
        header.bfSize = header.bfOffBits + imageSize;
        BITMAPINFOHEADER info = format.bmiHeader;
        info.biBitCount = 24;
        info.biSizeImage = imageSize;
        std::fwrite(&header, sizeof header, 1, file);
        std::fwrite(&info, sizeof info, 1, file);
        std::string row(rowSize, '\0');
        const auto* pixels = static_cast<const unsigned char*>(bits);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                for (int c = 0; c < 3; ++c) row[static_cast<std::size_t>(x) * 3 + c] = static_cast<char>(pixels[(static_cast<std::size_t>(y) * width + x) * 4 + c]);
            std::fwrite(row.data(), 1, row.size(), file);
        }
        std::fclose(file);
    }
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(bitmap);
    ReleaseDC(nullptr, screen);
}

// Repaints the window and lets the display catch up with it (pictures only;
// no test result depends on this pause).
inline void LetDisplayCatchUp(HWND window)
{
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 300;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDialogMessageW(window, &message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

// Repaints the window, lets the display catch up, and saves what the screen
// shows where the window is (see SaveScreenShot).
inline void SaveWindowShot(HWND window, const std::string& name)
{
    const char* folder = std::getenv("SETUP_SCREENSHOT_DIR");
    if (!folder || !*folder) return;
    LetDisplayCatchUp(window);
    RECT rect;
    GetWindowRect(window, &rect);
    SaveScreenShot(rect, name);
}
