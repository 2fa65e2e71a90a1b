// A dialog built from a template resource, run modally (the program) or
// modeless (tests drive it with window messages).
#pragma once

#include "framework/wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);

    // Runs the dialog modally; returns the code it was ended with.
    virtual INT_PTR DoModal();
    // Creates the dialog without a modal loop of its own.
    BOOL Create(HWND parent = nullptr);
    // Ends a modal run with `result`; a modeless dialog only records it.
    void EndDialog(int result);

    UINT TemplateId() const { return m_nTemplate; }
    bool IsEnded() const { return m_bEnded; }
    int Result() const { return m_nResult; }

protected:
    virtual BOOL OnInitDialog();
    // Binds the dialog's member controls to the template's controls.
    virtual void DoDataExchange() {}
    virtual void OnOK();
    virtual void OnCancel();
    // Binds `control` to the template control `id`, once.
    void DDX_Control(int id, CWnd& control);
    // The dialog has moved to a monitor of another scale and taken its size.
    virtual void OnDpiChanged(UINT /*dpi*/) {}

    BOOL OnWndMsg(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    // Puts the dialog in the middle of the work area of the monitor it (or
    // its owner) is on: a template at 0, 0 would open at the screen's corner.
    void CenterOnMonitor();
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    UINT m_nTemplate;
    CWnd* m_pParent;
    bool m_bModal = false;
    bool m_bEnded = false;
    int m_nResult = 0;
};
