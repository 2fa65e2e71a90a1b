#include "controls/text_image.h"

#include <algorithm>
#include <utility>

#include "framework/dpi.h"
#include "framework/system_colours.h"
#include "framework/ui_seam.h"

namespace {
constexpr int kRuleGap = 6; // between text and rule, and between rule and edge, at 96 DPI

void Rule(HDC dc, int left, int top, int right, int bottom, UINT side)
{
    RECT rc{left, top, right, bottom};
    ::DrawEdge(dc, &rc, EDGE_ETCHED, side);
}
} // namespace

CTextImage::CTextImage(HDC target, std::string text, int horzAlign, int vertAlign)
    : m_hTargetDC(target), m_nHorzAlign(horzAlign), m_nVertAlign(vertAlign), m_strText(std::move(text)),
      m_crBk(SysColour(COLOR_BTNFACE)), m_crText(SysColour(COLOR_WINDOWTEXT))
{
}

CTextImage::~CTextImage() { Reset(); }

void CTextImage::Reset()
{
    if (m_hImageDC) {
        ::SelectObject(m_hImageDC, m_hImageOldBitmap);
        ::DeleteDC(m_hImageDC);
    }
    if (m_hImageBitmap)
        ::DeleteObject(m_hImageBitmap);
    m_hImageDC = nullptr;
    m_hImageBitmap = nullptr;
    m_hImageOldBitmap = nullptr;
    m_rcImage = RECT{};
    m_nRotation = 0;
}

std::vector<std::string> CTextImage::SplitLines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool CTextImage::UsePlgBlt()
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (Ui().GetVersionEx(&info) && info.dwPlatformId != VER_PLATFORM_WIN32_NT)
        return false;
    return PlgBltTurnsExactly();
}

bool CTextImage::PlgBltTurnsExactly()
{
    static const bool exact = [] {
        // Turn a two-pixel block (dark, light) on a grey ground and look
        // where both pixels land.
        const COLORREF dark = RGB(0, 0, 0);
        const COLORREF light = RGB(255, 255, 255);
        const COLORREF ground = RGB(128, 128, 128);
        HDC screen = ::GetDC(nullptr);
        HDC from = ::CreateCompatibleDC(screen);
        HDC to = ::CreateCompatibleDC(screen);
        HBITMAP fromBitmap = ::CreateCompatibleBitmap(screen, 4, 4);
        HBITMAP toBitmap = ::CreateCompatibleBitmap(screen, 4, 4);
        ::ReleaseDC(nullptr, screen);
        bool ok = from && to && fromBitmap && toBitmap;
        HGDIOBJ oldFrom = ok ? ::SelectObject(from, fromBitmap) : nullptr;
        HGDIOBJ oldTo = ok ? ::SelectObject(to, toBitmap) : nullptr;
        if (ok) {
            ::SetPixel(from, 0, 0, dark);
            ::SetPixel(from, 1, 0, light);
        }
        const struct {
            POINT pts[3];
            POINT darkAt, lightAt;
        } turns[] = {
            {{{1, 0}, {1, 2}, {0, 0}}, {0, 0}, {0, 1}}, // 90
            {{{2, 1}, {0, 1}, {2, 0}}, {1, 0}, {0, 0}}, // 180
            {{{0, 2}, {0, 0}, {1, 2}}, {0, 1}, {0, 0}}, // 270
        };
        for (const auto& t : turns) {
            if (!ok)
                break;
            for (int y = 0; y < 4; ++y)
                for (int x = 0; x < 4; ++x)
                    ::SetPixel(to, x, y, ground);
            ok = ::PlgBlt(to, t.pts, from, 0, 0, 2, 1, nullptr, 0, 0) != FALSE;
            for (int y = 0; ok && y < 4; ++y)
                for (int x = 0; ok && x < 4; ++x) {
                    COLORREF want = ground;
                    if (x == t.darkAt.x && y == t.darkAt.y)
                        want = dark;
                    else if (x == t.lightAt.x && y == t.lightAt.y)
                        want = light;
                    ok = ::GetPixel(to, x, y) == want;
                }
        }
        if (oldFrom)
            ::SelectObject(from, oldFrom);
        if (oldTo)
            ::SelectObject(to, oldTo);
        if (from)
            ::DeleteDC(from);
        if (to)
            ::DeleteDC(to);
        if (fromBitmap)
            ::DeleteObject(fromBitmap);
        if (toBitmap)
            ::DeleteObject(toBitmap);
        return ok;
    }();
    return exact;
}

BOOL CTextImage::Render(int rotation)
{
    Reset();
    m_nRotation = rotation;

    const std::vector<std::string> lines = SplitLines(m_strText);
    int lw = 0;
    int lh = 0;
    for (const std::string& line : lines) {
        SIZE size{};
        if (!::GetTextExtentPoint32A(m_hTargetDC, line.c_str(), static_cast<int>(line.size()), &size))
            continue;
        lw = std::max(lw, static_cast<int>(size.cx));
        lh = std::max(lh, static_cast<int>(size.cy));
    }
    const int w = lw;
    const int h = lh * static_cast<int>(lines.size());
    // Square, so that the block fits either way round. An empty text still
    // gets a pixel, so that its rules can be placed as for a block of size 0.
    const int side = std::max({w, h, 1});

    HBITMAP scratchBitmap = ::CreateCompatibleBitmap(m_hTargetDC, side, side);
    HBITMAP imageBitmap = ::CreateCompatibleBitmap(m_hTargetDC, side, side);
    HDC scratch = (scratchBitmap && imageBitmap) ? ::CreateCompatibleDC(m_hTargetDC) : nullptr;
    HDC image = scratch ? ::CreateCompatibleDC(m_hTargetDC) : nullptr;
    if (!image) {
        if (scratch)
            ::DeleteDC(scratch);
        if (scratchBitmap)
            ::DeleteObject(scratchBitmap);
        if (imageBitmap)
            ::DeleteObject(imageBitmap);
        return FALSE;
    }
    m_hImageDC = image;
    m_hImageBitmap = imageBitmap;
    m_hImageOldBitmap = ::SelectObject(image, imageBitmap);

    HGDIOBJ oldScratchBitmap = ::SelectObject(scratch, scratchBitmap);
    HGDIOBJ oldScratchFont = ::SelectObject(scratch, ::GetCurrentObject(m_hTargetDC, OBJ_FONT));
    ::SetBkMode(scratch, TRANSPARENT);

    HBRUSH brush = ::CreateSolidBrush(m_crBk);
    HGDIOBJ oldBrush = ::SelectObject(scratch, brush);
    RECT block{0, 0, w, h};
    ::FillRect(scratch, &block, brush);
    ::FillRect(image, &block, brush);

    ::SetTextColor(scratch, m_crText);
    const UINT format = static_cast<UINT>(m_nHorzAlign == 1 ? DT_CENTER : m_nHorzAlign == 2 ? DT_RIGHT : DT_LEFT)
                        | DT_VCENTER | DT_SINGLELINE;
    for (size_t i = 0; i < lines.size(); ++i) {
        const int top = static_cast<int>(i) * lh;
        RECT rc{0, top, lw, top + lh};
        const int length = static_cast<int>(lines[i].size());
        if (m_bEmbossed) {
            ::SetTextColor(scratch, SysColour(COLOR_BTNHIGHLIGHT));
            const int shift = std::max(1, dpi::Scale(1, m_nDpi));
            RECT shifted{rc.left + shift, rc.top + shift, rc.right + shift, rc.bottom + shift};
            ::DrawTextA(scratch, lines[i].c_str(), length, &shifted, format);
            ::SetTextColor(scratch, SysColour(COLOR_BTNSHADOW));
        }
        ::DrawTextA(scratch, lines[i].c_str(), length, &rc, format);
    }

    Rotate(scratch, w, h);

    ::SelectObject(scratch, oldBrush);
    ::DeleteObject(brush);
    ::SelectObject(scratch, oldScratchFont);
    ::SelectObject(scratch, oldScratchBitmap);
    ::DeleteObject(scratchBitmap);
    ::DeleteDC(scratch);

    const bool sideways = rotation == 90 || rotation == 270;
    m_rcImage = sideways ? RECT{0, 0, h, w} : RECT{0, 0, w, h};
    return TRUE;
}

void CTextImage::Rotate(HDC from, int w, int h)
{
    if (m_nRotation == 0) {
        ::BitBlt(m_hImageDC, 0, 0, w, h, from, 0, 0, SRCCOPY);
        return;
    }
    if (UsePlgBlt()) {
        // Where the source's upper-left, upper-right and lower-left corners land.
        POINT pts[3];
        switch (m_nRotation) {
        case 90: pts[0] = {h, 0}; pts[1] = {h, w}; pts[2] = {0, 0}; break;
        case 180: pts[0] = {w, h}; pts[1] = {0, h}; pts[2] = {w, 0}; break;
        case 270: pts[0] = {0, w}; pts[1] = {0, 0}; pts[2] = {h, w}; break;
        default: pts[0] = {0, 0}; pts[1] = {w, 0}; pts[2] = {0, h}; break;
        }
        ::PlgBlt(m_hImageDC, pts, from, 0, 0, w, h, nullptr, 0, 0);
        return;
    }
    for (int x = 0; x < w; ++x) {
        for (int y = 0; y < h; ++y) {
            int tx = x;
            int ty = y;
            switch (m_nRotation) {
            case 90: tx = h - 1 - y; ty = x; break;
            case 180: tx = w - 1 - x; ty = h - 1 - y; break;
            case 270: tx = y; ty = w - 1 - x; break;
            default: break;
            }
            ::SetPixel(m_hImageDC, tx, ty, ::GetPixel(from, x, y));
        }
    }
}

BOOL CTextImage::Draw(const RECT& client)
{
    if (!m_hImageDC)
        return FALSE;
    const int cw = client.right - client.left;
    const int ch = client.bottom - client.top;
    const int w = std::min(static_cast<int>(m_rcImage.right - m_rcImage.left), cw);
    const int h = std::min(static_cast<int>(m_rcImage.bottom - m_rcImage.top), ch);
    const int x = m_nHorzAlign == 1 ? (cw - w) / 2 : m_nHorzAlign == 2 ? cw - w : 0;
    const int y = m_nVertAlign == 1 ? (ch - h) / 2 : m_nVertAlign == 2 ? ch - h : 0;
    BOOL result = ::BitBlt(m_hTargetDC, x, y, w, h, m_hImageDC, 0, 0, SRCCOPY);
    if (m_bEtched)
        DrawEtchedRules(client, w, h);
    return result;
}

void CTextImage::DrawEtchedRules(const RECT& client, int w, int h)
{
    const int W = client.right - client.left;
    const int H = client.bottom - client.top;
    const int g = dpi::Scale(kRuleGap, m_nDpi);
    if (m_nRotation == 0 || m_nRotation == 180) {
        const int y = m_nVertAlign == 1 ? H / 2 : m_nVertAlign == 2 ? H - h / 2 : h / 2;
        if (m_nHorzAlign == 1) {
            Rule(m_hTargetDC, g, y, W / 2 - w / 2 - g, y, BF_TOP);
            Rule(m_hTargetDC, W / 2 + w / 2 + g, y, W - g, y, BF_TOP);
        } else if (m_nHorzAlign == 2) {
            Rule(m_hTargetDC, g, y, W - w - g, y, BF_TOP);
        } else {
            Rule(m_hTargetDC, w + g, y, W - g, y, BF_TOP);
        }
        return;
    }
    const int x = m_nHorzAlign == 1 ? W / 2 : m_nHorzAlign == 2 ? W - w / 2 : w / 2;
    if (m_nVertAlign == 1) {
        Rule(m_hTargetDC, x, g, x, H / 2 - h / 2 - g, BF_LEFT);
        Rule(m_hTargetDC, x, H / 2 + h / 2 + g, x, H - g, BF_LEFT);
    } else if (m_nVertAlign == 2) {
        Rule(m_hTargetDC, x, g, x, H - h - g, BF_LEFT);
    } else {
        Rule(m_hTargetDC, x, h + g, x, H - g, BF_LEFT);
    }
}
