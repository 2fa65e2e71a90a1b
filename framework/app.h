// The application object: one static instance whose InitInstance is the
// program. It returns false so that the process ends when it returns.
#pragma once

#include <windows.h>

class CWnd;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    virtual BOOL InitInstance() { return FALSE; }

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
};

CWinApp* AfxGetApp();
// The module that holds the resources.
HINSTANCE AppInstance();
// Runs the application object: the whole program behind WinMain.
int RunApplication(HINSTANCE instance);
