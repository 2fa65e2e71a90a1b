// A static text field that paints itself: its own colours and font, several
// lines with alignment, quarter-turn rotation, a one-character-per-line form,
// an embossed look while disabled, a background bitmap, etched rules,
// blinking, hover highlight, link behaviour, its own cursor and a tooltip.
// A label takes over a template's static control (SubclassWindow or a
// dialog's DDX_Control) and keeps its own copy of the text: plain window-text
// calls on the control keep working and read and write that copy.
#pragma once

#include <windows.h>

#include <string>

#include "controls/tool_tip.h"
#include "framework/controls.h"

class CRichLabel : public CStatic {
public:
    enum : UINT {
        HORZ_LEFT = 0x01,
        HORZ_CENTER = 0x02,
        HORZ_RIGHT = 0x04,
        VERT_TOP = 0x08,
        VERT_CENTER = 0x10,
        VERT_BOTTOM = 0x20,
    };
    static constexpr UINT_PTR kTextBlinkTimer = 1;
    static constexpr UINT_PTR kBackBlinkTimer = 2;

    CRichLabel();
    ~CRichLabel() override;

    // Text and colours.
    CRichLabel& SetText(const char* text);
    std::string GetText() const { return m_strText; }
    CRichLabel& SetTextColor(COLORREF colour);
    CRichLabel& SetDefaultTextColor();
    CRichLabel& SetBkColor(COLORREF colour);
    CRichLabel& SetDefaultBkColor();
    CRichLabel& SetTextBkColor(COLORREF colour);
    CRichLabel& SetDefaultTextBkColor();
    CRichLabel& SetHoverColor(COLORREF colour);
    CRichLabel& SetLowerCase(BOOL on);
    CRichLabel& SetUpperCase(BOOL on);
    CRichLabel& SetVerticalText(BOOL on);

    // Font.
    CRichLabel& SetFontBold(BOOL bold);
    CRichLabel& SetFontItalic(BOOL italic);
    CRichLabel& SetFontUnderline(BOOL underline);
    CRichLabel& SetFontName(const char* face);
    CRichLabel& SetFontSize(int height);
    // Takes its dialog's font (WM_GETFONT of the parent) instead of the
    // standard GUI font, and keeps following it: through text rewrites, a
    // new font from the dialog manager and moves to another scale.
    CRichLabel& UseParentFont();

    // Layout and appearance.
    CRichLabel& SetAlignment(UINT bits);
    int GetHorzAlignment() const;
    int GetVertAlignment() const;
    CRichLabel& SetRotation(int degrees);
    CRichLabel& SetBitmap(UINT resourceId);
    CRichLabel& SetBitmapStretch(BOOL stretch);
    CRichLabel& SetBorder(BOOL on);
    BOOL GetBorder() const { return (GetStyle() & WS_BORDER) != 0; }
    CRichLabel& SetSunken(BOOL on);
    BOOL GetSunken() const { return (GetExStyle() & WS_EX_STATICEDGE) != 0; }
    CRichLabel& SetDisabled(BOOL on);
    CRichLabel& SetEtchedLine(BOOL on);
    BOOL SetSystemPaint(BOOL on);

    // Mouse, link and tip.
    CRichLabel& SetLink(BOOL on);
    CRichLabel& SetCursor(HCURSOR cursor);
    CRichLabel& SetCursor(UINT resourceId);
    CRichLabel& SetLinkCursor(HCURSOR cursor) { return SetCursor(cursor); }
    CRichLabel& SetLinkCursor(UINT resourceId) { return SetCursor(resourceId); }
    CRichLabel& SetHoverHighlight(BOOL on);
    CRichLabel& SetHoverNeedsTip(BOOL on);
    CRichLabel& FlashText(BOOL on, UINT periodMs);
    CRichLabel& FlashBackground(BOOL on, UINT periodMs);
    CRichLabel& EnableTip(BOOL on);
    CRichLabel& SetTipText(const char* text);
    CRichLabel& SetTipPosition(int position);
    CRichLabel& SetTipNeedsButton(BOOL on);
    CRichLabel& SetTipLeftButton(BOOL on);

    // State, for whoever needs to look.
    UINT GetAlignment() const { return m_nAlignment; }
    int GetRotation() const { return m_nRotation; }
    COLORREF GetTextColor() const { return m_crText; }
    COLORREF GetBkColor() const { return m_crBk; }
    BOOL IsDefaultTextColor() const { return m_bDefaultTextColor; }
    const LOGFONTA& GetLogFont() const { return m_lf; }
    HFONT GetFont() const { return m_font; }
    // The DPI the label's font and metrics are made for: its window's.
    UINT GetDpi() const { return m_nDpi; }
    HBITMAP GetBitmap() const { return m_hBitmap; }
    CControlToolTip& Tip() { return m_tip; }

    // The system's colours, theme or fonts have changed: the colours still
    // left to the system and the fonts made from its own are read again, and
    // the label repaints. A dialog hands on WM_SYSCOLORCHANGE,
    // WM_SETTINGCHANGE and WM_THEMECHANGED (the label calls this on them).
    void SystemColoursChanged();

    // The text with a line feed between every two characters.
    static std::string VerticalForm(const std::string& text);

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Paints the whole label into `dc`, as WM_PAINT does.
    void Paint(HDC dc);

    LRESULT OnEnable(WPARAM wParam, LPARAM lParam);
    LRESULT OnEraseBkgnd(WPARAM wParam, LPARAM lParam);
    LRESULT OnLButtonDown(WPARAM wParam, LPARAM lParam);
    LRESULT OnMouseMove(WPARAM wParam, LPARAM lParam);
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetCursor(WPARAM wParam, LPARAM lParam);
    LRESULT OnTimer(WPARAM wParam, LPARAM lParam);
    LRESULT OnCtlColorStatic(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    void Repaint();
    void RebuildFont();
    // Takes the window's DPI again, after attaching or a move to a monitor
    // of another scale.
    void FollowDpi();
    void ReplaceBrush();
    // The colours a paint uses now: the system's own under high contrast;
    // else the label's, its own text colour made readable on the colour
    // painted behind it (CLR_INVALID: a picture, taken as it comes).
    COLORREF PaintedTextColor(COLORREF behind) const;
    COLORREF PaintedBkColor() const;
    // Font description from `font` (the dialog's), used as it is made.
    void TakeFont(HFONT font);
    // Puts back the standard GUI font's face and size where the label has
    // not been given its own.
    void RemakeStockFont();
    // The static's own handling of `msg`, without the repaint in its own
    // look that it does at once on some (a new text, new colours); the
    // label paints afterwards.
    LRESULT StaticUnseen(UINT msg, WPARAM wParam, LPARAM lParam);
    void ChangeStyle(DWORD remove, DWORD add, bool frameChanged);
    void WriteWindowText(const std::string& text);
    std::string ReadWindowText();
    LRESULT CopyTextOut(WPARAM size, char* buffer) const;
    UINT HorzBit() const;
    UINT VertBit() const;
    void DrawDirect(HDC dc, const std::string& text, const RECT& client);
    void DrawBitmap(HDC dc, int width, int height);

    COLORREF m_crBk;
    COLORREF m_crTextBk;
    COLORREF m_crText;
    COLORREF m_crHover;
    COLORREF m_crSavedText;
    HBRUSH m_hBkBrush = nullptr;
    BOOL m_bSystemPaint = FALSE;
    BOOL m_bDefaultBk = TRUE;
    BOOL m_bTextBkFollows = TRUE;
    BOOL m_bDefaultTextColor = TRUE;
    BOOL m_bLink = FALSE;
    BOOL m_bEtched = FALSE;
    BOOL m_bHoverHighlight = FALSE;
    BOOL m_bVertical = FALSE;
    BOOL m_bMouseTracked = FALSE;
    BOOL m_bTextBlink = FALSE;
    BOOL m_bBkBlink = FALSE;
    BOOL m_bTextBlinkPhase = FALSE;
    BOOL m_bBkBlinkPhase = FALSE;
    BOOL m_bTipEnabled = FALSE;
    BOOL m_bHoverNeedsTip = FALSE;
    BOOL m_bInternalText = FALSE;
    BOOL m_bLowerCase = FALSE;
    BOOL m_bUpperCase = FALSE;
    BOOL m_bBitmapStretch = FALSE;
    BOOL m_bOwnFace = FALSE;
    BOOL m_bOwnSize = FALSE;
    BOOL m_bParentFont = FALSE;
    // The font as described to the label; its height holds at m_nFontDpi:
    // the system DPI for the stock font it starts from, 96 once a size is
    // given. The font in use is made from it for m_nDpi.
    LOGFONTA m_lf{};
    UINT m_nFontDpi;
    UINT m_nDpi;
    CFont m_font;
    HCURSOR m_hCursor = nullptr;
    HBITMAP m_hBitmap = nullptr;
    UINT m_nAlignment = HORZ_LEFT | VERT_TOP;
    int m_nRotation = 0;
    std::string m_strText;
    CControlToolTip m_tip;
};
