// Small fixtures for the custom-control tests: a window bound to a CWnd that
// holds one static control (so colour queries are reflected to it), and a
// 32-bit memory bitmap to paint into and read back.
#pragma once

#include <windows.h>

#include <string>

#include "framework/wnd.h"

// A hidden top-level frame with one visible static child at (10, 10). Hidden,
// because mapping and unmapping real windows costs seconds under Wine.
class ControlsHost {
public:
    ControlsHost(DWORD staticStyle, const char* text, int width, int height, DWORD staticExStyle = 0);
    ~ControlsHost();
    ControlsHost(const ControlsHost&) = delete;
    ControlsHost& operator=(const ControlsHost&) = delete;

    HWND Frame() const { return m_frame.m_hWnd; }
    HWND Static() const { return m_static; }

private:
    CWnd m_frame;
    HWND m_static = nullptr;
};

// A top-down 32 bits-per-pixel memory bitmap selected into its own DC.
class ControlsCanvas {
public:
    ControlsCanvas(int width, int height, COLORREF fill = RGB(255, 255, 255));
    ~ControlsCanvas();
    ControlsCanvas(const ControlsCanvas&) = delete;
    ControlsCanvas& operator=(const ControlsCanvas&) = delete;

    HDC Dc() const { return m_dc; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    COLORREF Pixel(int x, int y) const;
    // The smallest rectangle holding every pixel that differs from `colour`;
    // empty when there is none.
    RECT BoundsOfAllBut(COLORREF colour) const;
    // How many pixels of the rectangle equal `colour`.
    int Count(const RECT& area, COLORREF colour) const;

private:
    int m_width;
    int m_height;
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_old = nullptr;
    unsigned* m_bits = nullptr;
};

// The window text as stored, read without messages (the label answers
// WM_GETTEXT from its own copy of the text).
std::string ControlsStoredText(HWND hwnd);
// Extent of `text` in `font`.
SIZE ControlsTextExtent(HFONT font, const std::string& text);
// Pumps the thread's pending messages.
void ControlsPump();
