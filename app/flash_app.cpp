#include "app/flash_app.h"

#include "app/flash_dlg.h"

CFlashApp theApp;

BOOL CFlashApp::InitInstance()
{
    // Controls hosting and the 3-D look are the system's own nowadays; the
    // common controls are registered before this runs.
    CFlashDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // No message loop of our own: the process ends here.
    return FALSE;
}
