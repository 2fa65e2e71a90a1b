// The Upgrade command: everything a run needs is settled here, before any
// command reaches the drive. Every refusal gives the Close button back.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "app/flash_dlg.h"
#include "app/status_log.h"
#include "app/warning_dlg.h"
#include "app/upgrade_thread.h"
#include "flash/image_kind.h"
#include "framework/ui_seam.h"
#include "res/resource.h"

namespace {

constexpr int kComboTextChars = 512;
constexpr int kLabelTextChars = 8;

void ShowError(HWND owner, const char* text, UINT extraStyle = 0)
{
    Ui().MessageBox(owner, text, "Error!!", MB_OK | MB_ICONSTOP | extraStyle);
}

// Why the drive cannot be had now, and what to do about it.
std::string DriveBusyText(const LockOutcome& outcome)
{
    constexpr char kWait[] = "\n\nWait until it has finished, then press Upgrade again.";
    char text[512];
    switch (outcome.kind) {
    case LockOutcome::Kind::Upgrading: {
        const LockHolder& holder = outcome.holder;
        const unsigned long process = holder.dwProcessId;
        if (!holder.program.empty())
            std::snprintf(text, sizeof text,
                          "This drive is being upgraded by another program: %s (process %lu).%s",
                          holder.program.c_str(), process, kWait);
        else if (process)
            std::snprintf(text, sizeof text,
                          "This drive is being upgraded by another program (process %lu).%s",
                          process, kWait);
        else
            std::snprintf(text, sizeof text, "This drive is being upgraded by another program.%s",
                          kWait);
        break;
    }
    case LockOutcome::Kind::ExclusiveUse:
        if (!outcome.caller.empty())
            std::snprintf(text, sizeof text,
                          "This drive is in exclusive use by another program: %s.%s",
                          outcome.caller.c_str(), kWait);
        else
            std::snprintf(text, sizeof text, "This drive is in exclusive use by another program.%s",
                          kWait);
        break;
    default:
        std::snprintf(text, sizeof text,
                      "The drive could not be reserved for the upgrade (system error %lu).\n\n"
                      "Nothing was sent to the drive.",
                      static_cast<unsigned long>(outcome.error));
        break;
    }
    return text;
}

} // namespace

void CFlashDlg::Refuse() { EnableControl(IDCANCEL, true); }

bool CFlashDlg::TakeDrive()
{
    const LockOutcome outcome = m_driveLock.Take(m_FlashParam.drive, ThisProgram());
    if (outcome.kind == LockOutcome::Kind::Taken)
        return true;
    Ui().MessageBox(m_hWnd, DriveBusyText(outcome).c_str(), "KAVORA", MB_OK | MB_ICONSTOP);
    return false;
}

void CFlashDlg::PrepareParam()
{
    m_FlashParam.drive.byHaId = 255;
    m_FlashParam.drive.byTargetId = 255;

    char chosen[kComboTextChars] = {};
    m_cbDrive.GetWindowText(chosen, sizeof chosen);
    for (int i = 0; i < m_nDriveCount; ++i) {
        if (std::strcmp(m_pDrives[i]->sModel, chosen) == 0) {
            m_FlashParam.drive = *m_pDrives[i];
            break;
        }
    }

    m_FlashParam.m_bHexFile = 1;
    // The worker adds its own routines for the run's steps and failure words.
    m_FlashParam.callbacks = {CBShowMessage, CBShowStatus,   CBSetRevision, CBSetDriveName,
                              CBSetProgress, CBIfTerminated, this,          nullptr,
                              nullptr};
    m_FlashParam.bIsNT = m_bIsNT ? 1 : 0;
    m_FlashParam.pStop = &g_bTerminate;
}

void CFlashDlg::OnUpgrade()
{
    // Upgrade stays enabled until the worker's first act, and a click can
    // still be on its way: a second press must neither rewrite the parameters
    // the worker is copying nor start a second run on the same drive.
    if (IsRunning())
        return;
    g_pFlashDlg = this;
    EnableControl(IDCANCEL, false);

    PrepareParam();

    if (ListedAt(*this, m_FlashParam.drive.sModel) < 0) {
        CBShowMessage(this, "Drive model doesn't match!");
        Refuse();
        return;
    }

    char comboText[kComboTextChars] = {};
    char labelText[kLabelTextChars] = {};
    m_cbDrive.GetWindowText(comboText, sizeof comboText);
    ::GetDlgItemTextA(m_hWnd, IDC_REVISION, labelText, sizeof labelText);
    g_strModel = comboText;
    g_strRevision = labelText;
    std::memset(m_FlashParam.szModel, 0, sizeof m_FlashParam.szModel);
    std::memset(m_FlashParam.szRevision, 0, sizeof m_FlashParam.szRevision);

    if (m_bWarning == 1) {
        CWarningDlg warning;
        if (warning.DoModal() != IDOK) {
            Refuse();
            return;
        }
    }

    char directory[MAX_PATH] = {};
    DWORD length = Ui().GetCurrentDirectory(MAX_PATH, directory);
    // A directory longer than the buffer is not in it: as unreadable as none.
    if (length == 0 || length >= MAX_PATH) {
        Ui().MessageBox(m_hWnd, "Can't retrieves the current directory.",
                        "GetCurrentDirectory Error !!", MB_OK | MB_ICONSTOP | MB_SYSTEMMODAL);
        Refuse();
        return;
    }

    m_cbDrive.GetWindowText(m_FlashParam.szModel, kComboTextChars);
    ::GetDlgItemTextA(m_hWnd, IDC_REVISION, m_FlashParam.szRevision, kLabelTextChars);

    const int listed = ListedAt(*this, m_FlashParam.szModel);
    if (listed >= 0)
        std::snprintf(m_FlashParam.szImagePath, sizeof m_FlashParam.szImagePath, "%s\\%s", directory,
                      m_szFile[listed]);

    if (m_FlashParam.szImagePath[0] == '\0') {
        ShowError(m_hWnd, "Update file name is not assigned.");
        Refuse();
        return;
    }

    if (char* extension = std::strrchr(m_FlashParam.szImagePath, '.'))
        ::CharLowerA(extension);
    const ImageKind kind = ImageKindOf(m_FlashParam.szImagePath);
    if (kind == ImageKind::Hex) {
        m_FlashParam.m_bHexFile = 1;
    } else if (kind == ImageKind::Raw) {
        m_FlashParam.m_bHexFile = 0;
    } else {
        ShowError(m_hWnd, "Input file format mismatched.");
        Refuse();
        return;
    }

    if (m_FlashParam.drive.byHaId == 255 || m_FlashParam.drive.byTargetId == 255) {
        ShowError(m_hWnd, "No Target Drive.");
        Refuse();
        return;
    }

    // The last check, since it holds the drive from here on: another run
    // writing the same drive would leave it half flashed.
    if (!TakeDrive()) {
        Refuse();
        return;
    }

    // A run starts with no stop request, whatever came before; from here a
    // request may come before the worker has taken the run up.
    g_bTerminate.Clear();
    m_bRunning.store(true);
    if (!StartUpgradeThread(this)) {
        m_bRunning.store(false);
        m_driveLock.Release();
        ShowError(m_hWnd, "The upgrade could not be started.");
        Refuse();
    }
}
