#include "framework/wnd.h"

#include "framework/app.h"

#include <vector>

namespace {
const char kObjectProp[] = "KavoraCWnd";
} // namespace

const MsgMapEntry CWnd::messageEntries_[] = {{0, 0, 0, nullptr, nullptr}};
const MsgMap CWnd::messageMap = {nullptr, CWnd::messageEntries_};
const MsgMap* CWnd::GetMessageMap() const { return &CWnd::messageMap; }

CWnd::~CWnd()
{
    // The window may outlive the object (a dialog member whose dialog is
    // already closed): give it back its own procedure.
    if (m_hWnd && ::IsWindow(m_hWnd))
        UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd)
{
    return hwnd ? static_cast<CWnd*>(::GetPropA(hwnd, kObjectProp)) : nullptr;
}

BOOL CWnd::SubclassWindow(HWND hwnd)
{
    if (!hwnd || m_hWnd || FromHandlePermanent(hwnd))
        return FALSE;
    m_hWnd = hwnd;
    PreSubclassWindow();
    ::SetPropA(hwnd, kObjectProp, this);
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::StdWndProc)));
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT id, CWnd* parent)
{
    return SubclassWindow(::GetDlgItem(parent->m_hWnd, static_cast<int>(id)));
}

HWND CWnd::UnsubclassWindow()
{
    HWND hwnd = m_hWnd;
    if (!hwnd)
        return nullptr;
    if (m_pfnSuper)
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    ::RemovePropA(hwnd, kObjectProp);
    m_pfnSuper = nullptr;
    m_hWnd = nullptr;
    return hwnd;
}

BOOL CWnd::CreateEx(DWORD exStyle, const char* className, const char* windowName, DWORD style,
                    const RECT& rect, HWND parent, UINT id)
{
    HWND hwnd = ::CreateWindowExA(exStyle, className, windowName, style, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, parent,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)),
                                  AppInstance(), nullptr);
    if (!hwnd)
        return FALSE;
    return SubclassWindow(hwnd);
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

std::string CWnd::GetWindowText() const
{
    std::vector<char> buffer(static_cast<size_t>(GetWindowTextLength()) + 1);
    ::GetWindowTextA(m_hWnd, buffer.data(), static_cast<int>(buffer.size()));
    return buffer.data();
}

LRESULT CALLBACK CWnd::StdWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    CWnd* wnd = FromHandlePermanent(hwnd);
    if (!wnd)
        return ::DefWindowProcA(hwnd, msg, wParam, lParam);

    // Default() must see the message being handled, also when handlers nest.
    UINT savedMsg = wnd->m_curMsg;
    WPARAM savedW = wnd->m_curWParam;
    LPARAM savedL = wnd->m_curLParam;
    wnd->m_curMsg = msg;
    wnd->m_curWParam = wParam;
    wnd->m_curLParam = lParam;

    LRESULT result = wnd->WindowProc(msg, wParam, lParam);

    if (msg == WM_NCDESTROY) {
        // The window is gone; the object is free again.
        if (wnd->m_hWnd == hwnd)
            wnd->UnsubclassWindow();
        wnd->PostNcDestroy();
        return result;
    }
    wnd->m_curMsg = savedMsg;
    wnd->m_curWParam = savedW;
    wnd->m_curLParam = savedL;
    return result;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    if (OnWndMsg(msg, wParam, lParam, &result))
        return result;
    return DefWindowProc(msg, wParam, lParam);
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, msg, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

LRESULT CWnd::Default() { return DefWindowProc(m_curMsg, m_curWParam, m_curLParam); }

BOOL CWnd::OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    // A control answers its own notifications and colour queries first, as
    // long as it has an entry for them.
    if (msg == WM_COMMAND && lParam != 0) {
        if (ReflectToChild(reinterpret_cast<HWND>(lParam), msg, wParam, lParam, result))
            return TRUE;
    }
    if (DispatchMap(msg, wParam, lParam, result))
        return TRUE;
    // A control that answers its colour query with no brush leaves the
    // parent's own answer in force.
    if (msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC && lParam != 0)
        return ReflectToChild(reinterpret_cast<HWND>(lParam), msg, wParam, lParam, result) && *result != 0;
    return FALSE;
}

BOOL CWnd::ReflectToChild(HWND child, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    CWnd* wnd = FromHandlePermanent(child);
    if (!wnd || wnd == this)
        return FALSE;
    return wnd->DispatchMap(WM_REFLECT_BASE + msg, wParam, lParam, result);
}

BOOL CWnd::DispatchMap(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    const UINT id = LOWORD(wParam);
    const UINT code = HIWORD(wParam);
    for (const MsgMap* map = GetMessageMap(); map; map = map->pBase) {
        for (const MsgMapEntry* e = map->pEntries; e->pfnMsg || e->pfnCmd; ++e) {
            if (e->nMessage != msg)
                continue;
            if (e->pfnCmd) {
                if (msg != WM_COMMAND || e->nID != id || e->nCode != code)
                    continue;
                (this->*(e->pfnCmd))();
                *result = 0;
                return TRUE;
            }
            *result = (this->*(e->pfnMsg))(wParam, lParam);
            return TRUE;
        }
    }
    return FALSE;
}

HWND FirstChildOfKind(HWND parent, const char* kind, DWORD mask, DWORD bits)
{
    for (HWND child = ::GetWindow(parent, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        char name[16] = {};
        ::GetClassNameA(child, name, sizeof name);
        if (::lstrcmpiA(name, kind) == 0 && (static_cast<DWORD>(::GetWindowLongA(child, GWL_STYLE)) & mask) == bits)
            return child;
    }
    return nullptr;
}
