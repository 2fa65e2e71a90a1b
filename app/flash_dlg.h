// The main dialog "KAVORA": the drive list, the log, the progress display and
// the Upgrade command. It owns the drive table, the model list and the
// parameters of the one upgrade a start of the program allows.
#pragma once

#include <windows.h>

#include <atomic>

#include "flash/model_list.h"
#include "controls/rich_label.h"
#include "device/win/drive_lock.h"
#include "device/win/drive_table.h"
#include "flash/flash_param.h"
#include "framework/controls.h"
#include "framework/dialog.h"

class CFlashDlg : public CDialog, public DriveTable, public ModelList {
public:
    explicit CFlashDlg(CWnd* parent = nullptr);
    ~CFlashDlg() override = default;

    CEdit m_editLog;
    CRichLabel m_lblRevision;
    CComboBox m_cbDrive;
    FlashParam m_FlashParam{};
    HICON m_hIcon = nullptr;

    bool LoadAspiLibrary();
    bool ReleaseDriveAccess();
    void ScanDrives();
    void OnUpgrade();
    void PrepareParam();
    void OnDriveSelected();

    // True from the start of a worker until it has given Close back.
    bool IsRunning() const { return m_bRunning.load(); }
    // Called by the worker as its last act on the dialog.
    void RunFinished();

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange() override;
    void OnOK() override;
    void OnCancel() override;
    void OnDpiChanged(UINT dpi) override;

    LRESULT OnSysCommand(WPARAM wParam, LPARAM lParam);
    LRESULT OnPaint(WPARAM wParam, LPARAM lParam);
    LRESULT OnQueryDragIcon(WPARAM wParam, LPARAM lParam);
    LRESULT OnDestroy(WPARAM wParam, LPARAM lParam);
    LRESULT OnClose(WPARAM wParam, LPARAM lParam);
    LRESULT OnQueryEndSession(WPARAM wParam, LPARAM lParam);
    LRESULT OnPowerBroadcast(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    void FillDriveList();
    void ReadModelList();
    void MatchModels();
    // A request to end the dialog while a run is in progress.
    void RequestStop();
    // Ends an Upgrade command that stops before a run: Close comes back.
    void Refuse();
    // Holds the target drive for the run; false, with the user told who has
    // it, when another run or program does.
    bool TakeDrive();
    // Puts the logo in its frame at the dialog's scale.
    void ShowLogo(UINT dpi);

    std::atomic<bool> m_bRunning{false};
    // Held from just before the worker starts until its last act.
    DriveLock m_driveLock;
    HBITMAP m_hLogo = nullptr;
};

extern CFlashDlg* g_pFlashDlg;

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(CWnd* parent = nullptr);
};
