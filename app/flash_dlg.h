// The main dialog "KAVORA": the drive list, the log, the progress display and
// the Upgrade command. It owns the drive table, the model list and the
// parameters of the one upgrade a start of the program allows.
#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "flash/model_list.h"
#include "controls/rich_label.h"
#include "device/win/drive_lock.h"
#include "device/win/drive_table.h"
#include "flash/flash_param.h"
#include "flash/run_words.h"
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
    // Called by the worker as its last act on the dialog, with what became
    // of the drive and the words that said so.
    void RunFinished(DriveState state, const std::string& words);

    // Enables or disables control `id`, from any thread. A control that is
    // disabled while it has the focus hands it on first: a disabled window
    // with the focus leaves Tab and Escape dead.
    void EnableControl(int id, bool enable);
    // The status line or the revision label was given a new text (from any
    // thread): screen readers are given its new name, and told of a status.
    void TextShown(int id);

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
    LRESULT OnEnableControl(WPARAM wParam, LPARAM lParam);
    LRESULT OnTextShown(WPARAM wParam, LPARAM lParam);
    LRESULT OnRunEnded(WPARAM wParam, LPARAM lParam);

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
    // Gives the caption and the taskbar the icon's own images for the
    // dialog's scale: m_hIcon is the 32-pixel one, blurred when the system
    // shrinks it to 16 or blows it up at 200 %.
    void ShowIcons(UINT dpi);
    // The template's controls without an id of their own.
    HWND LogoControl() const;
    HWND FrameControl() const;
    // Gives every control the name, description and live setting screen
    // readers need beyond what the system finds out by itself.
    void NameControls();
    // The name screen readers are given for the status line or the revision
    // label: its caption, then the text it shows.
    std::string AccessibleName(int id) const;

    std::atomic<bool> m_bRunning{false};
    // Held from just before the worker starts until its last act.
    DriveLock m_driveLock;
    HBITMAP m_hLogo = nullptr;
    HICON m_hBigIcon = nullptr;
    HICON m_hSmallIcon = nullptr;
};

extern CFlashDlg* g_pFlashDlg;

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(CWnd* parent = nullptr);
};
