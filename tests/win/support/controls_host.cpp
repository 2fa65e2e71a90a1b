#include "tests/win/support/controls_host.h"

#include <vector>

ControlsHost::ControlsHost(DWORD staticStyle, const char* text, int width, int height, DWORD staticExStyle)
{
    RECT frame{100, 100, 100 + width + 40, 100 + height + 40};
    m_frame.CreateEx(0, "STATIC", "", WS_POPUP, frame, nullptr, 0);
    m_static = ::CreateWindowExA(staticExStyle, "STATIC", text, WS_CHILD | WS_VISIBLE | staticStyle, 10, 10,
                                 width, height, m_frame.m_hWnd, reinterpret_cast<HMENU>(1234),
                                 ::GetModuleHandleA(nullptr), nullptr);
}

ControlsHost::~ControlsHost() { m_frame.DestroyWindow(); }

ControlsCanvas::ControlsCanvas(int width, int height, COLORREF fill) : m_width(width), m_height(height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_bitmap = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_bits = static_cast<unsigned*>(bits);
    m_dc = ::CreateCompatibleDC(nullptr);
    m_old = ::SelectObject(m_dc, m_bitmap);
    RECT all{0, 0, width, height};
    HBRUSH brush = ::CreateSolidBrush(fill);
    ::FillRect(m_dc, &all, brush);
    ::DeleteObject(brush);
}

ControlsCanvas::~ControlsCanvas()
{
    ::SelectObject(m_dc, m_old);
    ::DeleteDC(m_dc);
    ::DeleteObject(m_bitmap);
}

COLORREF ControlsCanvas::Pixel(int x, int y) const
{
    ::GdiFlush();
    unsigned v = m_bits[y * m_width + x];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

RECT ControlsCanvas::BoundsOfAllBut(COLORREF colour) const
{
    RECT r{m_width, m_height, 0, 0};
    for (int y = 0; y < m_height; ++y)
        for (int x = 0; x < m_width; ++x)
            if (Pixel(x, y) != colour) {
                r.left = x < r.left ? x : r.left;
                r.top = y < r.top ? y : r.top;
                r.right = x + 1 > r.right ? x + 1 : r.right;
                r.bottom = y + 1 > r.bottom ? y + 1 : r.bottom;
            }
    return r.right ? r : RECT{};
}

int ControlsCanvas::Count(const RECT& area, COLORREF colour) const
{
    int n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            n += Pixel(x, y) == colour;
    return n;
}

std::string ControlsStoredText(HWND hwnd)
{
    wchar_t wide[512] = {};
    int n = ::InternalGetWindowText(hwnd, wide, 512);
    std::string text;
    for (int i = 0; i < n; ++i)
        text += static_cast<char>(wide[i]);
    return text;
}

SIZE ControlsTextExtent(HFONT font, const std::string& text)
{
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, font);
    SIZE size{};
    ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    return size;
}

void ControlsPump()
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}
