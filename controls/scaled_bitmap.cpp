#include "controls/scaled_bitmap.h"

#include "framework/app.h"
#include "framework/dpi.h"

namespace {

HBITMAP Load(UINT id)
{
    return static_cast<HBITMAP>(
        ::LoadImageA(AppInstance(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

SIZE SizeOf(HBITMAP bitmap)
{
    BITMAP info{};
    ::GetObjectA(bitmap, sizeof info, &info);
    return SIZE{info.bmWidth, info.bmHeight};
}

} // namespace

HBITMAP LoadBitmapForDpi(UINT id, UINT id2x, UINT dpi)
{
    HBITMAP small = Load(id);
    if (!small || dpi <= dpi::kBase)
        return small;
    const SIZE base = SizeOf(small);
    const SIZE wanted{dpi::Scale(base.cx, dpi), dpi::Scale(base.cy, dpi)};
    HBITMAP large = Load(id2x);
    HBITMAP source = large ? large : small;
    const SIZE from = SizeOf(source);

    HDC screen = ::GetDC(nullptr);
    HDC src = ::CreateCompatibleDC(screen);
    HDC dst = ::CreateCompatibleDC(screen);
    HBITMAP result = ::CreateCompatibleBitmap(screen, wanted.cx, wanted.cy);
    if (src && dst && result) {
        HGDIOBJ oldSrc = ::SelectObject(src, source);
        HGDIOBJ oldDst = ::SelectObject(dst, result);
        // Averaging, not dropping, the pixels a smaller copy leaves out;
        // systems without it (9x) keep colours as they are.
        ::SetStretchBltMode(dst, HALFTONE);
        ::SetBrushOrgEx(dst, 0, 0, nullptr);
        ::StretchBlt(dst, 0, 0, wanted.cx, wanted.cy, src, 0, 0, from.cx, from.cy, SRCCOPY);
        ::SelectObject(src, oldSrc);
        ::SelectObject(dst, oldDst);
    }
    if (src)
        ::DeleteDC(src);
    if (dst)
        ::DeleteDC(dst);
    ::ReleaseDC(nullptr, screen);
    if (large)
        ::DeleteObject(large);
    if (!result)
        return small;
    ::DeleteObject(small);
    return result;
}

HICON LoadIconForDpi(UINT id, int size, UINT dpi)
{
    const int pixels = dpi::Scale(size, dpi);
    return static_cast<HICON>(
        ::LoadImageA(AppInstance(), MAKEINTRESOURCEA(id), IMAGE_ICON, pixels, pixels, LR_DEFAULTCOLOR));
}
