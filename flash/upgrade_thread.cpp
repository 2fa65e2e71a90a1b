#include "flash/upgrade_thread.h"

#include "app/flash_dlg.h"
#include "app/status_log.h"
#include "flash/flash_engine.h"
#include "res/resource.h"

DWORD WINAPI UpgradeThreadProc(LPVOID param)
{
    auto* dialog = static_cast<CFlashDlg*>(param);
    // One upgrade per start of the program.
    ::EnableWindow(g_pFlashDlg->GetDlgItem(IDC_UPGRADE), FALSE);
    CFlashEngine engine(dialog->m_FlashParam);
    engine.Run();
    g_bTerminate.store(0);
    g_pFlashDlg->RunFinished();
    return 0;
}

bool StartUpgradeThread(CFlashDlg* dialog)
{
    DWORD id = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, &UpgradeThreadProc, dialog, 0, &id);
    if (!thread)
        return false;
    // The thread is not waited for; it ends on its own.
    ::CloseHandle(thread);
    return true;
}
