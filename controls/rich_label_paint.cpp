// The label's own painting: background, optional bitmap, then the text either
// through an off-screen text image or, over a bitmap, straight into the window.
#include "controls/rich_label.h"

#include <vector>

#include "controls/text_image.h"
#include "framework/system_colours.h"

LRESULT CRichLabel::OnPaint(WPARAM, LPARAM)
{
    if (m_bSystemPaint)
        return Default();
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    Paint(dc);
    ::EndPaint(m_hWnd, &ps);
    return 0;
}

void CRichLabel::Paint(HDC dc)
{
    std::string text = m_bVertical ? VerticalForm(m_strText) : m_strText;
    if (m_bLowerCase && !text.empty())
        ::CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    if (m_bUpperCase && !text.empty())
        ::CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));

    RECT client{};
    GetClientRect(&client);
    const int width = client.right;
    const int height = client.bottom;

    int horz = 0;
    if (m_nAlignment & HORZ_CENTER)
        horz = 1;
    if (m_nAlignment & HORZ_RIGHT)
        horz = 2;
    int vert = 0;
    if (m_nAlignment & VERT_CENTER)
        vert = 1;
    if (m_nAlignment & VERT_BOTTOM)
        vert = 2;

    HGDIOBJ oldFont = m_font.GetSafeHandle() ? ::SelectObject(dc, m_font) : nullptr;
    int oldMode = ::SetBkMode(dc, TRANSPARENT);

    CTextImage image(dc, text, horz, vert);
    image.SetEmbossed((GetStyle() & WS_DISABLED) != 0);
    image.SetEtched(m_bEtched);
    image.SetDpi(m_nDpi);

    // Under high contrast the label is the system's button face with the
    // system's window text, whatever colours, blinking or text block it
    // was given.
    const bool highContrast = HighContrastOn();
    const COLORREF face = SysColour(COLOR_BTNFACE);
    COLORREF fill = PaintedBkColor();
    COLORREF block = m_bTextBkFollows || highContrast ? fill : m_crTextBk;
    if (m_bBkBlink && m_bBkBlinkPhase && !highContrast) {
        // The whole packed value is shifted, not each channel.
        fill = m_bDefaultBk ? (m_crBk >> 1) : face;
        block = fill;
    }
    image.SetBkColor(block);
    image.SetTextColor(PaintedTextColor(block));

    HBRUSH brush = ::CreateSolidBrush(fill);
    ::FillRect(dc, &client, brush);
    ::DeleteObject(brush);

    if (m_hBitmap)
        DrawBitmap(dc, width, height);

    const bool oneLine = text.find('\n') == std::string::npos;
    if (m_hBitmap && m_nRotation == 0 && (oneLine || (m_nAlignment & VERT_TOP))) {
        // Over a picture there is no one colour to measure against.
        ::SetTextColor(dc, PaintedTextColor(CLR_INVALID));
        DrawDirect(dc, text, client);
    } else if (image.Render(m_nRotation)) {
        image.Draw(client);
    }

    if (oldFont)
        ::SelectObject(dc, oldFont);
    ::SetBkMode(dc, oldMode);
}

void CRichLabel::DrawBitmap(HDC dc, int width, int height)
{
    BITMAP info{};
    if (!::GetObjectA(m_hBitmap, sizeof(info), &info))
        return;
    HDC memory = ::CreateCompatibleDC(dc);
    if (!memory)
        return;
    HGDIOBJ old = ::SelectObject(memory, m_hBitmap);
    const int bw = info.bmWidth;
    const int bh = info.bmHeight;
    if (m_bBitmapStretch) {
        ::StretchBlt(dc, 0, 0, width, height, memory, 0, 0, bw, bh, SRCCOPY);
    } else {
        // A bitmap larger than the label is centred too: its middle part shows,
        // cropped equally on both sides, instead of being drawn off the left.
        int x = (width - bw) / 2;
        int y = (height - bh) / 2;
        int srcX = 0;
        int srcY = 0;
        if (x < 0) {
            srcX = -x;
            x = 0;
        }
        if (y < 0) {
            srcY = -y;
            y = 0;
        }
        ::BitBlt(dc, x, y, width, height, memory, srcX, srcY, SRCCOPY);
    }
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
}

void CRichLabel::DrawDirect(HDC dc, const std::string& text, const RECT& client)
{
    UINT format = DT_LEFT;
    if (m_nAlignment & HORZ_CENTER)
        format |= DT_CENTER;
    if (m_nAlignment & HORZ_RIGHT)
        format |= DT_RIGHT;
    RECT rc = client;
    if (m_nAlignment & VERT_CENTER)
        format |= DT_VCENTER | DT_SINGLELINE;
    if (m_nAlignment & VERT_BOTTOM) {
        SIZE size{};
        ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
        rc.top += (client.bottom - client.top) - size.cy;
    }
    ::DrawTextA(dc, text.c_str(), -1, &rc, format);
}
