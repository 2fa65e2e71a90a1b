#include "app/flash_dlg.h"

#include <cstdio>
#include <cstring>

#include "app/aspi_messages.h"
#include "app/status_log.h"
#include "controls/scaled_bitmap.h"
#include "framework/app.h"
#include "framework/dpi.h"
#include "framework/ui_seam.h"
#include "res/resource.h"

namespace {

// The status line's answer to a stop request after the last block.
constexpr char kTooLateToStop[] = "Drive programming; too late to stop";

} // namespace

CFlashDlg* g_pFlashDlg = nullptr;

BEGIN_MESSAGE_MAP(CFlashDlg, CDialog)
ON_MESSAGE(WM_SYSCOMMAND, &CFlashDlg::OnSysCommand)
ON_MESSAGE(WM_PAINT, &CFlashDlg::OnPaint)
ON_MESSAGE(WM_QUERYDRAGICON, &CFlashDlg::OnQueryDragIcon)
ON_BN_CLICKED(IDC_UPGRADE, &CFlashDlg::OnUpgrade)
ON_MESSAGE(WM_DESTROY, &CFlashDlg::OnDestroy)
ON_MESSAGE(WM_CLOSE, &CFlashDlg::OnClose)
ON_MESSAGE(WM_QUERYENDSESSION, &CFlashDlg::OnQueryEndSession)
ON_MESSAGE(WM_POWERBROADCAST, &CFlashDlg::OnPowerBroadcast)
ON_CBN_SELENDOK(IDC_DRIVE, &CFlashDlg::OnDriveSelected)
END_MESSAGE_MAP()

CFlashDlg::CFlashDlg(CWnd* parent) : CDialog(IDD_KAVORA_DIALOG, parent)
{
    m_hIcon = ::LoadIconA(AppInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    m_bWarning = 0;
}

void CFlashDlg::DoDataExchange()
{
    DDX_Control(IDC_LOG, m_editLog);
    DDX_Control(IDC_REVISION, m_lblRevision);
    DDX_Control(IDC_DRIVE, m_cbDrive);
}

BOOL CFlashDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_lblRevision.UseParentFont();

    if (HMENU menu = ::GetSystemMenu(m_hWnd, FALSE)) {
        char about[128] = {};
        ::LoadStringA(AppInstance(), IDS_ABOUTBOX, about, sizeof about);
        if (about[0]) {
            ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    // The template's bitmap is the 100 % one.
    if (const UINT scale = dpi::OfWindow(m_hWnd); scale != dpi::kBase)
        ShowLogo(scale);

    g_pFlashDlg = this;

    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    Ui().GetVersionEx(&version);
    if (version.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        m_bIsNT = true;
        m_bNT4 = version.dwMajorVersion <= 4;
    } else {
        m_bIsNT = false;
        m_bNT4 = false;
    }

    ::SetDlgItemTextA(m_hWnd, IDC_STATUS, "");
    ::SetDlgItemTextA(m_hWnd, IDC_REVISION, "");
    ::SendDlgItemMessageA(m_hWnd, IDC_PROGRESS, PBM_SETPOS, 0, 0);

    if (LoadAspiLibrary()) {
        ScanDrives();
        FillDriveList();
    } else {
        ::EnableWindow(GetDlgItem(IDC_UPGRADE), FALSE);
        ::EnableWindow(GetDlgItem(IDC_REVISION), FALSE);
    }

    ReadModelList();
    return TRUE;
}

void CFlashDlg::FillDriveList()
{
    for (std::uint8_t i = 0; i < m_nDriveCount; ++i) {
        DriveEntry* drive = m_pDrives[i];
        // The suffix keeps two drives of one model apart; it stays in the
        // entry, so every later comparison sees the suffixed text.
        char suffix[8];
        std::snprintf(suffix, sizeof suffix, "(%d)", i);
        size_t used = std::strlen(drive->sModel);
        std::snprintf(drive->sModel + used, sizeof drive->sModel - used, "%s", suffix);

        m_cbDrive.SetWindowText(drive->sModel);
        ::SetDlgItemTextA(m_hWnd, IDC_REVISION, drive->sRevision);
        m_cbDrive.AddString(drive->sModel);
    }
}

void CFlashDlg::ReadModelList()
{
    const ModelListRead read = ReadModelListFile("IDString.txt", *this);

    if (read == ModelListRead::Missing) {
        Ui().MessageBox(m_hWnd, "The IDString.txt doesn't exist!!", "Error!!", MB_OK | MB_ICONSTOP);
        return;
    }
    // A file the system cannot read (a directory) has no quote to start with.
    if (read == ModelListRead::BadStart || read == ModelListRead::Unreadable) {
        Ui().MessageBox(m_hWnd, "Input file context is incorrect!!", "Error!!", MB_OK | MB_ICONSTOP);
        return;
    }

    CBShowMessage(this, "It's only for");
    for (int k = 0; k < m_nModelCount; ++k) {
        char line[64];
        std::snprintf(line, sizeof line, "(%d) %s.", k + 1, m_szModel[k]);
        CBShowMessage(this, line);
    }
    MatchModels();
}

void CFlashDlg::MatchModels()
{
    bool matched = false;
    for (int i = 0; i < m_nDriveCount; ++i) {
        if (ListedAt(*this, m_pDrives[i]->sModel) >= 0) {
            matched = true;
            m_cbDrive.SetWindowText(m_pDrives[i]->sModel);
            ::SetDlgItemTextA(m_hWnd, IDC_REVISION, m_pDrives[i]->sRevision);
        }
    }
    if (!matched) {
        CBShowMessage(this, "CD-ROM drive model doesn't match!!");
        ::EnableWindow(GetDlgItem(IDC_UPGRADE), FALSE);
    }
}

void CFlashDlg::OnDriveSelected()
{
    char chosen[512] = " ";
    int index = m_cbDrive.GetCurSel();
    if (index != CB_ERR) {
        int length = m_cbDrive.GetLBTextLen(index);
        if (length >= 0 && length < static_cast<int>(sizeof chosen))
            m_cbDrive.SendMessage(CB_GETLBTEXT, static_cast<WPARAM>(index),
                                  reinterpret_cast<LPARAM>(chosen));
    }
    ::SetDlgItemTextA(m_hWnd, IDC_REVISION, "    ");
    for (int i = 0; i < m_nDriveCount; ++i) {
        if (std::strcmp(m_pDrives[i]->sModel, chosen) == 0)
            ::SetDlgItemTextA(m_hWnd, IDC_REVISION, m_pDrives[i]->sRevision);
    }
}

bool CFlashDlg::LoadAspiLibrary() { return ::LoadAspiLibrary(*this, m_hWnd); }

bool CFlashDlg::ReleaseDriveAccess() { return ::ReleaseDriveAccess(*this); }

void CFlashDlg::ScanDrives() { ::ScanDrives(*this); }

LRESULT CFlashDlg::OnSysCommand(WPARAM wParam, LPARAM)
{
    if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.DoModal();
        return 0;
    }
    return Default();
}

LRESULT CFlashDlg::OnPaint(WPARAM, LPARAM)
{
    if (!IsIconic())
        return Default();
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    int cxIcon = ::GetSystemMetrics(SM_CXICON);
    int cyIcon = ::GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    int x = (rect.right - rect.left - cxIcon + 1) / 2;
    int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
    return 0;
}

LRESULT CFlashDlg::OnQueryDragIcon(WPARAM, LPARAM) { return reinterpret_cast<LRESULT>(m_hIcon); }

void CFlashDlg::OnDpiChanged(UINT dpi) { ShowLogo(dpi); }

void CFlashDlg::ShowLogo(UINT dpi)
{
    // The logo's frame is the template's one bitmap control.
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        char kind[16] = {};
        ::GetClassNameA(child, kind, sizeof kind);
        if (::lstrcmpiA(kind, "Static") != 0 || (::GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_BITMAP)
            continue;
        HBITMAP logo = LoadBitmapForDpi(IDB_LOGO, IDB_LOGO_2X, dpi);
        if (!logo)
            return;
        ::SendMessageA(child, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo));
        if (m_hLogo)
            ::DeleteObject(m_hLogo);
        m_hLogo = logo;
        return;
    }
}

LRESULT CFlashDlg::OnDestroy(WPARAM, LPARAM)
{
    LRESULT result = Default();
    // The control leaves a bitmap it was handed to its owner.
    if (m_hLogo)
        ::DeleteObject(m_hLogo);
    m_hLogo = nullptr;
    if (m_bIsNT)
        ReleaseDriveAccess();
    return result;
}

void CFlashDlg::RequestStop()
{
    // The worker uses the dialog until its last message, so the dialog stays.
    // While the image loads or blocks go out the request stops the run; once
    // the last block has gone to the drive it is too late, and the user is
    // told why the window does not close, once.
    if (g_bTerminate.Request() == StopRequest::Answer::TooLate && g_bTerminate.LateRequests() == 1)
        CBShowStatus(this, kTooLateToStop);
}

void CFlashDlg::OnOK()
{
    if (IsRunning())
        RequestStop();
    else
        CDialog::OnOK();
}

void CFlashDlg::OnCancel()
{
    if (IsRunning())
        RequestStop();
    else
        CDialog::OnCancel();
}

LRESULT CFlashDlg::OnClose(WPARAM, LPARAM)
{
    if (IsRunning()) {
        RequestStop();
        return 0;
    }
    return Default();
}

LRESULT CFlashDlg::OnQueryEndSession(WPARAM, LPARAM)
{
    // Ending the session would kill the worker in the middle of the drive's
    // download or programming.
    if (IsRunning())
        return FALSE;
    return Default();
}

LRESULT CFlashDlg::OnPowerBroadcast(WPARAM wParam, LPARAM)
{
    // Systems that still ask before they sleep are told no during a run;
    // the others are held awake by the worker itself.
    if (IsRunning() && (wParam == PBT_APMQUERYSUSPEND || wParam == PBT_APMQUERYSTANDBY))
        return BROADCAST_QUERY_DENY;
    return Default();
}

void CFlashDlg::RunFinished()
{
    // The run has sent its last command: the drive is free for another.
    m_driveLock.Release();
    ::EnableWindow(GetDlgItem(IDCANCEL), TRUE);
    // The worker's last touch of the dialog: from here on it may end.
    m_bRunning.store(false);
}

CAboutDlg::CAboutDlg(CWnd* parent) : CDialog(IDD_ABOUTBOX, parent) {}
