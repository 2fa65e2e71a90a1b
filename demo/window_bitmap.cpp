#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "demo/demo_driver.h"

bool SaveWindowBitmap(HWND hwnd, const std::string& path)
{
    RECT rect;
    if (!::GetWindowRect(hwnd, &rect))
        return false;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;

    HDC windowDc = ::GetWindowDC(hwnd);
    HDC memoryDc = ::CreateCompatibleDC(windowDc);
    HBITMAP bitmap = ::CreateCompatibleBitmap(windowDc, width, height);
    HGDIOBJ old = ::SelectObject(memoryDc, bitmap);
    ::BitBlt(memoryDc, 0, 0, width, height, windowDc, 0, 0, SRCCOPY);
    ::SelectObject(memoryDc, old);

    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<unsigned char> pixels(static_cast<size_t>(stride) * height);
    ::GetDIBits(memoryDc, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);

    ::DeleteObject(bitmap);
    ::DeleteDC(memoryDc);
    ::ReleaseDC(hwnd, windowDc);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return false;
    bool ok = std::fwrite(&file, sizeof file, 1, out) == 1 && std::fwrite(&info, sizeof info, 1, out) == 1 &&
              std::fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    return std::fclose(out) == 0 && ok;
}
