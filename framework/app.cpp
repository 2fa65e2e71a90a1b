#include "framework/app.h"

#include <commctrl.h>

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() { g_app = this; }

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

CWinApp* AfxGetApp() { return g_app; }

HINSTANCE AppInstance()
{
    if (g_app && g_app->m_hInstance)
        return g_app->m_hInstance;
    return ::GetModuleHandleA(nullptr);
}

int RunApplication(HINSTANCE instance)
{
    // The progress bar lives in the common controls library.
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&icc);
    if (!g_app)
        return 1;
    g_app->m_hInstance = instance;
    g_app->InitInstance();
    return 0;
}
