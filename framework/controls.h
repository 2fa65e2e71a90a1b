// Thin wrappers over the standard controls, and a GDI font object.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "framework/wnd.h"

class CStatic : public CWnd {};

class CButton : public CWnd {};

class CEdit : public CWnd {
public:
    int GetLineCount() const { return static_cast<int>(SendMessage(EM_GETLINECOUNT)); }
    void LineScroll(int lines, int chars = 0) { SendMessage(EM_LINESCROLL, static_cast<WPARAM>(chars), lines); }
};

class CComboBox : public CWnd {
public:
    int AddString(const char* text) { return static_cast<int>(SendMessage(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text))); }
    int GetCount() const { return static_cast<int>(SendMessage(CB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(SendMessage(CB_GETCURSEL)); }
    int SetCurSel(int index) { return static_cast<int>(SendMessage(CB_SETCURSEL, static_cast<WPARAM>(index))); }
    int GetLBTextLen(int index) const { return static_cast<int>(SendMessage(CB_GETLBTEXTLEN, static_cast<WPARAM>(index))); }
    std::string GetLBText(int index) const;
};

class CProgressCtrl : public CWnd {
public:
    int SetPos(int position) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(position))); }
    int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
};

// Owns one GDI font; freed with the object.
class CFont {
public:
    CFont() = default;
    ~CFont() { DeleteObject(); }
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    BOOL CreateFontIndirect(const LOGFONTA& description);
    BOOL DeleteObject();
    HFONT GetSafeHandle() const { return m_hFont; }
    operator HFONT() const { return m_hFont; }

private:
    HFONT m_hFont = nullptr;
};
