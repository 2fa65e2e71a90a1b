#include "tests/win/support/dialog_harness.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/status_log.h"
#include "device/win/device_io.h"
#include "device/win/scsi_records.h"
#include "res/resource.h"

DWORD HarnessUi::GetCurrentDirectory(DWORD length, char* buffer)
{
    if (directoryFails)
        return 0;
    return UiSeam::GetCurrentDirectory(length, buffer);
}

void HarnessUi::DialogShown(CDialog& dialog)
{
    dialogsShown.push_back(dialog.TemplateId());
    if (dialog.TemplateId() != IDD_KAVORA_DIALOG && onDialog)
        onDialog(dialog);
}

GatedMachine::GatedMachine()
    : reached_(::CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      release_(::CreateEventA(nullptr, TRUE, FALSE, nullptr))
{
}

GatedMachine::~GatedMachine()
{
    ::SetEvent(release_);
    ::CloseHandle(reached_);
    ::CloseHandle(release_);
}

void GatedMachine::GateAt(std::vector<std::uint8_t> cdbPrefix, int occurrence)
{
    prefix_ = std::move(cdbPrefix);
    occurrence_ = occurrence;
    seen_ = 0;
}

bool GatedMachine::Reached() const { return ::WaitForSingleObject(reached_, 0) == WAIT_OBJECT_0; }

void GatedMachine::Release() { ::SetEvent(release_); }

BOOL GatedMachine::DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inLength, void* out,
                                   DWORD outLength, DWORD* returned)
{
    // The command block stands where this architecture's record puts it.
    constexpr size_t kCdbOffset = offsetof(scsi::SCSI_PASS_THROUGH_DIRECT, Cdb);
    if (code == scsi::IOCTL_SCSI_PASS_THROUGH_DIRECT && !prefix_.empty() && in &&
        inLength >= kCdbOffset + sizeof scsi::SCSI_PASS_THROUGH_DIRECT::Cdb) {
        const auto* cdb = static_cast<const std::uint8_t*>(in) + kCdbOffset;
        if (std::equal(prefix_.begin(), prefix_.end(), cdb) && ++seen_ == occurrence_) {
            ::SetEvent(reached_);
            ::WaitForSingleObject(release_, 30000);
        }
    }
    return VirtualMachine::DeviceIoControl(device, code, in, inLength, out, outLength, returned);
}

DialogHarness::DialogHarness()
{
    SetDeviceIo(&machine);
    SetClock(&clock);
    RemoveFile("sum.txt");
}

DialogHarness::~DialogHarness()
{
    for (std::unique_ptr<CFlashDlg>& dialog : dialogs_) {
        // A run still going would use the dialog: let it end first.
        PumpUntil([&] { return !dialog->IsRunning(); });
        if (dialog->m_hWnd)
            ::DestroyWindow(dialog->m_hWnd);
        dialog.reset();
    }
    g_pFlashDlg = nullptr;
    g_bTerminate.Clear();
    SetClock(nullptr);
    SetDeviceIo(nullptr);
}

void DialogHarness::WriteModelList(const char* content)
{
    if (!content) {
        RemoveFile("IDString.txt");
        return;
    }
    std::ofstream("IDString.txt", std::ios::binary) << content;
}

void DialogHarness::WriteFile(const char* name, const std::vector<unsigned char>& bytes)
{
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void DialogHarness::RemoveFile(const char* name) { std::remove(name); }

std::string DialogHarness::ReadFile(const char* name)
{
    std::ifstream in(name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

CFlashDlg& DialogHarness::Open()
{
    switch (ui.family) {
    case Family::NT5:
        ui.SetVersion(VER_PLATFORM_WIN32_NT, 5, 1);
        break;
    case Family::NT4:
        ui.SetVersion(VER_PLATFORM_WIN32_NT, 4);
        break;
    case Family::Win9x:
        ui.SetVersion(VER_PLATFORM_WIN32_WINDOWS, 4, 10);
        break;
    }
    dialogs_.push_back(std::make_unique<CFlashDlg>());
    dialog_ = dialogs_.back().get();
    dialog_->Create(nullptr);
    PumpUntil([] { return false; }, 0);
    return *dialog_;
}

std::string DialogHarness::Text(int id) const
{
    HWND control = id == 0 ? dialog_->m_hWnd : ::GetDlgItem(dialog_->m_hWnd, id);
    char text[4096] = {};
    ::GetWindowTextA(control, text, sizeof text);
    return text;
}

bool DialogHarness::Enabled(int id) const
{
    return ::IsWindowEnabled(::GetDlgItem(dialog_->m_hWnd, id)) != FALSE;
}

std::vector<std::string> DialogHarness::LogLines() const
{
    HWND log = ::GetDlgItem(dialog_->m_hWnd, IDC_LOG);
    std::string text(static_cast<size_t>(::GetWindowTextLengthA(log)) + 1, '\0');
    ::GetWindowTextA(log, text.data(), static_cast<int>(text.size()));
    text.resize(text.size() - 1);
    std::vector<std::string> lines;
    if (text.empty())
        return lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find("\r\n", start);
        lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            break;
        start = end + 2;
    }
    return lines;
}

std::string DialogHarness::ClosingLine() const
{
    const std::vector<std::string> lines = LogLines();
    return lines.size() < 2 ? std::string() : lines[lines.size() - 2];
}

std::vector<std::string> DialogHarness::ComboItems() const
{
    std::vector<std::string> items;
    for (int i = 0; i < dialog_->m_cbDrive.GetCount(); ++i)
        items.push_back(dialog_->m_cbDrive.GetLBText(i));
    return items;
}

int DialogHarness::Progress() const
{
    return static_cast<int>(::SendDlgItemMessageA(dialog_->m_hWnd, IDC_PROGRESS, PBM_GETPOS, 0, 0));
}

void DialogHarness::Choose(int index)
{
    HWND combo = ::GetDlgItem(dialog_->m_hWnd, IDC_DRIVE);
    ::SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    ::SendMessageA(dialog_->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_DRIVE, CBN_SELENDOK),
                   reinterpret_cast<LPARAM>(combo));
}

void DialogHarness::Type(const char* text)
{
    HWND combo = ::GetDlgItem(dialog_->m_hWnd, IDC_DRIVE);
    ::SetWindowTextA(combo, text);
    ::SendMessageA(dialog_->m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_DRIVE, CBN_EDITCHANGE),
                   reinterpret_cast<LPARAM>(combo));
}

void DialogHarness::Click(int id)
{
    ::SendMessageA(dialog_->m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(dialog_->m_hWnd, id)));
}

bool DialogHarness::PumpUntil(const std::function<bool()>& done, int limitMs)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        if (done())
            return true;
        if (static_cast<int>(::GetTickCount() - start) >= limitMs)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

bool DialogHarness::UpgradeAndWait()
{
    Click(IDC_UPGRADE);
    return PumpUntil([&] { return !dialog_->IsRunning(); });
}
