// The window object: one C++ object bound to one window by subclassing, whose
// messages go through the object's message map before the window's own
// procedure.
#pragma once

#include <windows.h>

#include <string>

#include "framework/msg_map.h"

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object bound to `hwnd`, or null when none is.
    static CWnd* FromHandlePermanent(HWND hwnd);

    // Takes over an existing window: its messages reach this object first.
    BOOL SubclassWindow(HWND hwnd);
    BOOL SubclassDlgItem(UINT id, CWnd* parent);
    HWND UnsubclassWindow();
    // Creates a window of a registered class and binds it to this object.
    BOOL CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                  const RECT& rect, HWND parent, UINT id);
    BOOL DestroyWindow();

    // Thin wrappers over the window calls the program uses.
    void SetWindowText(const char* text) { ::SetWindowTextA(m_hWnd, text); }
    int GetWindowText(char* buffer, int size) const { return ::GetWindowTextA(m_hWnd, buffer, size); }
    std::string GetWindowText() const;
    int GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }
    BOOL EnableWindow(BOOL enable = TRUE) { return ::EnableWindow(m_hWnd, enable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    LRESULT SendMessage(UINT msg, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageA(m_hWnd, msg, w, l); }
    BOOL PostMessage(UINT msg, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageA(m_hWnd, msg, w, l); }
    void Invalidate(BOOL erase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, erase); }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) { return ::SetTimer(m_hWnd, id, elapse, nullptr); }
    BOOL KillTimer(UINT_PTR id) { return ::KillTimer(m_hWnd, id); }
    void GetClientRect(RECT* rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT* rect) const { ::GetWindowRect(m_hWnd, rect); }
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_EXSTYLE)); }
    HICON SetIcon(HICON icon, BOOL big)
    {
        return reinterpret_cast<HICON>(SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon)));
    }

protected:
    // Every message of the bound window arrives here first.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // Dispatches through the message map; false when no entry took the message.
    virtual BOOL OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // The window's own handling of a message (its procedure before subclassing).
    virtual LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // The window's own handling of the message being dispatched now.
    LRESULT Default();
    // Called just before this object takes over a window.
    virtual void PreSubclassWindow() {}
    // Called after the window is gone.
    virtual void PostNcDestroy() {}

    static const MsgMapEntry messageEntries_[];
    static const MsgMap messageMap;
    virtual const MsgMap* GetMessageMap() const;

private:
    static LRESULT CALLBACK StdWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    BOOL DispatchMap(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);
    BOOL ReflectToChild(HWND child, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result);

    WNDPROC m_pfnSuper = nullptr;
    UINT m_curMsg = 0;
    WPARAM m_curWParam = 0;
    LPARAM m_curLParam = 0;
};

// The first child of `parent` of window class `kind` whose style, under
// `mask`, is `bits`: how a template's controls without an id are found.
HWND FirstChildOfKind(HWND parent, const char* kind, DWORD mask, DWORD bits);
