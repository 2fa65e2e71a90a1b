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

// Sent to the dialog, from the worker as from its own thread, so that focus,
// annotations and sounds are dealt with on the thread that owns the windows.
constexpr UINT kMsgEnableControl = WM_APP + 1; // wParam: id, lParam: enable
constexpr UINT kMsgTextShown = WM_APP + 2;     // wParam: id
constexpr UINT kMsgRunEnded = WM_APP + 3;      // wParam: DriveState, lParam: const std::string*

// The sound of a run's end: the system's information sound for an upgrade;
// its warning where nothing was saved, or where the drive took the image but
// answers with the revision it had; its error where nobody knows what the
// drive holds.
UINT SoundOf(DriveState state)
{
    switch (state) {
    case DriveState::Upgraded:
        return MB_ICONASTERISK;
    case DriveState::SameRevision:
    case DriveState::OldFirmware:
        return MB_ICONEXCLAMATION;
    case DriveState::MayBeProgramming:
    case DriveState::Unknown:
        break;
    }
    return MB_ICONHAND;
}

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Live-region events are heard from Windows 8 (6.2) on; GetVersionEx says at
// least 6.2 on every later system.
bool HasLiveRegions()
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!Ui().GetVersionEx(&version) || version.dwPlatformId != VER_PLATFORM_WIN32_NT)
        return false;
    return version.dwMajorVersion > 6 || (version.dwMajorVersion == 6 && version.dwMinorVersion >= 2);
}

// A change of `control`'s name, spoken where it is a live region.
void Announce(HWND control)
{
    Ui().RaiseEvent(EVENT_OBJECT_NAMECHANGE, control);
    if (HasLiveRegions())
        Ui().RaiseEvent(EVENT_OBJECT_LIVEREGIONCHANGED, control);
}

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
ON_MESSAGE(kMsgEnableControl, &CFlashDlg::OnEnableControl)
ON_MESSAGE(kMsgTextShown, &CFlashDlg::OnTextShown)
ON_MESSAGE(kMsgRunEnded, &CFlashDlg::OnRunEnded)
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
    // Replaced by the images of their own size, where they load.
    ShowIcons(dpi::OfWindow(m_hWnd));
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
        EnableControl(IDC_UPGRADE, false);
        EnableControl(IDC_REVISION, false);
    }

    ReadModelList();
    NameControls();
    return TRUE;
}

void CFlashDlg::NameControls()
{
    const auto name = [](HWND control, const std::string& text) {
        Ui().Annotate(control, accessibility::Property::Name, text);
    };
    // Left alone, the system names each control after the static before it
    // in the template: the log would be "Status:", the progress bar the
    // status text, the logo and its frame nothing.
    name(GetDlgItem(IDC_DRIVE), "Target Drive At");
    Ui().Annotate(GetDlgItem(IDC_DRIVE), accessibility::Property::Description,
                  "The CD-ROM drives found; Upgrade upgrades the one shown here");
    name(GetDlgItem(IDC_REVISION), AccessibleName(IDC_REVISION));
    name(GetDlgItem(IDC_STATUS), AccessibleName(IDC_STATUS));
    name(GetDlgItem(IDC_PROGRESS), "Progress");
    name(GetDlgItem(IDC_LOG), "Log");
    name(FrameControl(), "KAVORA MCU Flash Version 2.70");
    name(LogoControl(), "KAVORA logo");
    // What a run says there is heard as it is said, without moving the focus.
    Ui().MarkLivePolite(GetDlgItem(IDC_STATUS));
    Ui().MarkLivePolite(GetDlgItem(IDC_LOG));
}

std::string CFlashDlg::AccessibleName(int id) const
{
    const char* caption = id == IDC_STATUS ? "Status" : "Device Revision";
    char text[128] = {};
    ::GetDlgItemTextA(m_hWnd, id, text, sizeof text);
    const std::string shown = Trimmed(text);
    return shown.empty() ? caption : std::string(caption) + ": " + shown;
}

void CFlashDlg::EnableControl(int id, bool enable)
{
    SendMessage(kMsgEnableControl, static_cast<WPARAM>(id), enable ? TRUE : FALSE);
}

LRESULT CFlashDlg::OnEnableControl(WPARAM wParam, LPARAM lParam)
{
    HWND control = GetDlgItem(static_cast<int>(wParam));
    if (!lParam && control && ::GetFocus() == control) {
        // Back to the control before it in the tab order: from Upgrade, the log.
        SendMessage(WM_NEXTDLGCTL, TRUE, FALSE);
    }
    ::EnableWindow(control, lParam ? TRUE : FALSE);
    return 0;
}

void CFlashDlg::TextShown(int id) { SendMessage(kMsgTextShown, static_cast<WPARAM>(id), 0); }

LRESULT CFlashDlg::OnTextShown(WPARAM wParam, LPARAM)
{
    const int id = static_cast<int>(wParam);
    HWND control = GetDlgItem(id);
    Ui().Annotate(control, accessibility::Property::Name, AccessibleName(id));
    if (id == IDC_STATUS)
        Announce(control);
    else
        Ui().RaiseEvent(EVENT_OBJECT_NAMECHANGE, control);
    return 0;
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
        EnableControl(IDC_UPGRADE, false);
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
    TextShown(IDC_REVISION);
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

void CFlashDlg::OnDpiChanged(UINT dpi)
{
    ShowIcons(dpi);
    ShowLogo(dpi);
}

void CFlashDlg::ShowIcons(UINT dpi)
{
    const auto show = [this, dpi](HICON& held, int size, BOOL big) {
        HICON icon = LoadIconForDpi(IDR_MAINFRAME, size, dpi);
        if (!icon)
            return;
        SetIcon(icon, big);
        if (held)
            ::DestroyIcon(held);
        held = icon;
    };
    show(m_hBigIcon, 32, TRUE);
    show(m_hSmallIcon, 16, FALSE);
}

// The logo is the template's one bitmap control, its frame its one group box.
HWND CFlashDlg::LogoControl() const { return FirstChildOfKind(m_hWnd, "Static", SS_TYPEMASK, SS_BITMAP); }

HWND CFlashDlg::FrameControl() const { return FirstChildOfKind(m_hWnd, "Button", BS_TYPEMASK, BS_GROUPBOX); }

void CFlashDlg::ShowLogo(UINT dpi)
{
    HWND control = LogoControl();
    if (!control)
        return;
    HBITMAP logo = LoadBitmapForDpi(IDB_LOGO, IDB_LOGO_2X, dpi);
    if (!logo)
        return;
    ::SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(logo));
    if (m_hLogo)
        ::DeleteObject(m_hLogo);
    m_hLogo = logo;
}

LRESULT CFlashDlg::OnDestroy(WPARAM, LPARAM)
{
    // The annotation service keys its names by window handle, which the
    // system may give to another window later.
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        Ui().ClearAnnotations(child);
    LRESULT result = Default();
    // The control leaves a bitmap it was handed to its owner, and the window
    // the icons.
    if (m_hLogo)
        ::DeleteObject(m_hLogo);
    m_hLogo = nullptr;
    for (HICON* icon : {&m_hBigIcon, &m_hSmallIcon}) {
        if (*icon)
            ::DestroyIcon(*icon);
        *icon = nullptr;
    }
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
    // There is no OK button: Enter on a control that is not a button must
    // not close the program.
    if (IsRunning())
        RequestStop();
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

void CFlashDlg::RunFinished(DriveState state, const std::string& words)
{
    // The run has sent its last command: the drive is free for another.
    m_driveLock.Release();
    SendMessage(kMsgRunEnded, static_cast<WPARAM>(state), reinterpret_cast<LPARAM>(&words));
    // The worker's last touch of the dialog: from here on it may end.
    m_bRunning.store(false);
}

LRESULT CFlashDlg::OnRunEnded(WPARAM wParam, LPARAM lParam)
{
    const auto state = static_cast<DriveState>(wParam);
    const std::string& words = *reinterpret_cast<const std::string*>(lParam);
    HWND close = GetDlgItem(IDCANCEL);
    HWND log = GetDlgItem(IDC_LOG);
    ::EnableWindow(close, TRUE);
    // The user who stepped away, or who cannot see the screen, is told the
    // run is over, and is told what became of the drive: by the sound, by
    // the log's new name spoken as a live region, and on Close, which has
    // the focus now and carries the same words.
    SendMessage(WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(close), TRUE);
    Ui().Annotate(close, accessibility::Property::Description, words);
    Ui().Annotate(log, accessibility::Property::Name, "Log: " + words);
    Announce(log);
    Ui().MessageBeep(SoundOf(state));
    if (Ui().GetForegroundWindow() != m_hWnd)
        Ui().FlashUntilFront(m_hWnd);
    return 0;
}

CAboutDlg::CAboutDlg(CWnd* parent) : CDialog(IDD_ABOUTBOX, parent) {}
