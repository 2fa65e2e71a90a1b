// The off-screen picture of a label's text for one paint: the lines laid out
// in a block, optionally embossed, turned by a quarter turn, then copied to
// the target with optional etched rules beside it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class CTextImage {
public:
    // Alignments are indices: 0 left/top, 1 centre, 2 right/bottom.
    CTextImage(HDC target, std::string text, int horzAlign, int vertAlign);
    virtual ~CTextImage();
    CTextImage(const CTextImage&) = delete;
    CTextImage& operator=(const CTextImage&) = delete;

    void SetTextColor(COLORREF colour) { m_crText = colour; }
    void SetEmbossed(BOOL embossed) { m_bEmbossed = embossed; }
    void SetEtched(BOOL etched) { m_bEtched = etched; }
    void SetBkColor(COLORREF colour) { m_crBk = colour; }
    // The emboss shadow's offset and the rules' gaps grow with the scale.
    void SetDpi(UINT dpi) { m_nDpi = dpi; }

    // Builds the image; 0, 90, 180 and 270 turn it clockwise, any other angle
    // leaves it as laid out.
    BOOL Render(int rotation);
    // Copies the image into `client` (clipped to it) by the alignment.
    BOOL Draw(const RECT& client);

    const RECT& GetImageRect() const { return m_rcImage; }
    HDC GetImageDC() const { return m_hImageDC; }
    void Reset();

    // Whether this system's PlgBlt turns a block exactly by quarter turns;
    // asked once per process.
    static bool PlgBltTurnsExactly();

    // The text cut at line feeds, without empty pieces.
    static std::vector<std::string> SplitLines(const std::string& text);

private:
    // Quarter turns are copied with PlgBlt on NT-family systems and pixel
    // by pixel on the others, which lack it; also where a PlgBlt misplaces
    // pixels (Wine's is one pixel off), so both paths give the same image.
    static bool UsePlgBlt();
    void Rotate(HDC from, int w, int h);
    void DrawEtchedRules(const RECT& client, int w, int h);

    HDC m_hTargetDC;
    HDC m_hImageDC = nullptr;
    HBITMAP m_hImageBitmap = nullptr;
    HGDIOBJ m_hImageOldBitmap = nullptr;
    RECT m_rcImage{};
    int m_nHorzAlign;
    int m_nVertAlign;
    int m_nRotation = 0;
    BOOL m_bEmbossed = FALSE;
    BOOL m_bEtched = FALSE;
    UINT m_nDpi = 96;
    std::string m_strText;
    COLORREF m_crBk;
    COLORREF m_crText;
};
