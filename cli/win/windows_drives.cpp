#include "cli/win/windows_drives.h"

#include <windows.h>

#include <cctype>
#include <memory>

#include "device/win/device_io.h"
#include "device/win/drive_lock.h"
#include "device/win/drive_table.h"
#include "device/win/pass_through.h"
#include "device/win/scsi_records.h"
#include "device/win/system_text.h"

namespace {

constexpr DWORD kShareBoth = FILE_SHARE_READ | FILE_SHARE_WRITE;

std::string DevicePath(const std::string& letterName) { return "\\\\.\\" + letterName; }

DriveName NameOf(const DriveEntry& entry)
{
    DriveName name;
    name.path = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(entry.cLetter)))) + ":";
    name.host = entry.address.byPort;
    name.channel = entry.address.byPath;
    name.target = entry.address.byTarget;
    name.lun = entry.address.byLun;
    name.addressKnown = entry.address.bKnown;
    // What a letter does not tell: where the drive sits, as "list" shows it
    // beside the letter, in the place of Linux's other node.
    if (name.addressKnown)
        name.other = "SCSI " + name.Hctl();
    return name;
}

class WindowsOpenDrive : public OpenDrive {
public:
    WindowsOpenDrive(const DriveEntry& entry, std::unique_ptr<DriveLock> lock)
        : transport_(entry), lock_(std::move(lock))
    {
    }
    scsi::Transport& Transport() override { return transport_; }

private:
    PassThroughTransport transport_;
    std::unique_ptr<DriveLock> lock_; // the upgrade's, or null
};

// Why the lock was not had, in the words of a refusal.
std::string LockRefusal(const std::string& path, const LockOutcome& outcome)
{
    switch (outcome.kind) {
    case LockOutcome::Kind::Upgrading: {
        std::string holder = outcome.holder.program.empty() ? std::string("another program")
                                                            : "another program: " + outcome.holder.program;
        if (outcome.holder.dwProcessId)
            holder += " (process " + std::to_string(outcome.holder.dwProcessId) + ")";
        return path + " is being upgraded by " + holder + "; wait for it to finish";
    }
    case LockOutcome::Kind::ExclusiveUse:
        return path + " is in exclusive use by another program" +
               (outcome.caller.empty() ? std::string() : ": " + outcome.caller) + "; wait for it to finish";
    case LockOutcome::Kind::Failed:
    case LockOutcome::Kind::Taken:
        break;
    }
    return "cannot lock " + path + " to keep a second upgrade off it: " + SystemText(outcome.error);
}

} // namespace

WindowsDrives::WindowsDrives(bool nt4) : nt4_(nt4) {}

WindowsDrives::~WindowsDrives()
{
    // Entries of one letter's device list share its handle: each closed once.
    std::vector<HANDLE> closed;
    for (DriveEntry* entry : entries_) {
        HANDLE handle = entry->hDevice;
        bool again = false;
        for (HANDLE h : closed)
            again = again || h == handle;
        if (!again && handle && handle != INVALID_HANDLE_VALUE) {
            Dev().CloseHandle(handle);
            closed.push_back(handle);
        }
        ::HeapFree(::GetProcessHeap(), 0, entry);
    }
}

void WindowsDrives::Scan()
{
    if (scanned_)
        return;
    scanned_ = true;
    char from = 'c';
    for (;;) {
        DriveTable table;
        table.m_bIsNT = true;
        table.m_bNT4 = nt4_;
        if (nt4_)
            ScanDrives(table);
        else
            ScanLettersFrom(table, from);
        for (int i = 0; i < table.m_nDriveCount; ++i) {
            entries_.push_back(table.m_pDrives[i]);
            names_.push_back(NameOf(*table.m_pDrives[i]));
        }
        // A full table may have left letters unscanned.
        if (nt4_ || table.m_nDriveCount < kMaxDrives)
            break;
        from = static_cast<char>(table.m_pDrives[kMaxDrives - 1]->cLetter + 1);
        if (from > 'z')
            break;
    }
}

std::vector<DriveName> WindowsDrives::Drives()
{
    Scan();
    return names_;
}

std::string WindowsDrives::LetterName(const std::string& node)
{
    std::string text = node;
    if (text.rfind("\\\\.\\", 0) == 0)
        text.erase(0, 4);
    if (text.size() == 3 && (text[2] == '\\' || text[2] == '/'))
        text.pop_back();
    if (text.size() == 2 && text[1] == ':')
        text.pop_back();
    if (text.size() != 1 || !std::isalpha(static_cast<unsigned char>(text[0])))
        return "";
    return std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])))) + ":";
}

bool WindowsDrives::Find(const std::string& node, DriveName& drive)
{
    const std::string letter = LetterName(node);
    for (const DriveName& name : Drives()) {
        if (!letter.empty() && name.path == letter) {
            drive = name;
            return true;
        }
    }
    return false;
}

const DriveEntry* WindowsDrives::EntryOf(const DriveName& drive) const
{
    for (std::size_t k = 0; k < names_.size(); ++k)
        if (names_[k].path == drive.path)
            return entries_[k];
    return nullptr;
}

std::unique_ptr<OpenDrive> WindowsDrives::Open(const DriveName& drive, bool write, std::string& error)
{
    Scan();
    const DriveEntry* entry = EntryOf(drive);
    if (!entry) {
        error = drive.path + " is not one of this system's CD/DVD-class drives "
                             "('kavora-cli list' shows the drives there are)";
        return nullptr;
    }
    // The lock before any command of the upgrade: a drive another run holds,
    // of this program or of kavora.exe, gets nothing from this one.
    std::unique_ptr<DriveLock> lock;
    if (write) {
        lock = std::make_unique<DriveLock>();
        const LockOutcome outcome = lock->Take(*entry, ThisProgram());
        if (outcome.kind != LockOutcome::Kind::Taken) {
            error = LockRefusal(drive.path, outcome);
            return nullptr;
        }
    }
    return std::make_unique<WindowsOpenDrive>(*entry, std::move(lock));
}

bool WindowsDrives::StillThere(const DriveName& drive)
{
    HANDLE handle =
        Dev().CreateFile(DevicePath(drive.path).c_str(), GENERIC_READ | GENERIC_WRITE, kShareBoth, OPEN_EXISTING, 0);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    bool same = true;
    if (drive.addressKnown) {
        scsi::SCSI_ADDRESS address{};
        DWORD returned = 0;
        if (Dev().DeviceIoControl(handle, scsi::IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address, sizeof address,
                                  &returned))
            same = address.PortNumber == drive.host && address.PathId == drive.channel &&
                   address.TargetId == drive.target && address.Lun == drive.lun;
    }
    Dev().CloseHandle(handle);
    return same;
}

bool WindowsDrives::MayWrite(std::string&)
{
    // Pass-through asks for a handle opened for reading and writing, which
    // the scan has: a user who may not have one has no drives to upgrade,
    // and WhyNotFound says so when one is named.
    return true;
}

std::string WindowsDrives::WhyNotFound(const std::string& node, bool* exists)
{
    if (exists)
        *exists = false;
    const std::string letter = LetterName(node);
    if (letter.empty())
        return "not a drive letter; name a drive by its letter, as D:";
    HANDLE handle =
        Dev().CreateFile(DevicePath(letter).c_str(), GENERIC_READ | GENERIC_WRITE, kShareBoth, OPEN_EXISTING, 0);
    const DWORD error = handle == INVALID_HANDLE_VALUE ? ::GetLastError() : ERROR_SUCCESS;
    if (handle != INVALID_HANDLE_VALUE)
        Dev().CloseHandle(handle);
    if (error == ERROR_ACCESS_DENIED) {
        if (exists)
            *exists = true;
        return "a drive this program may not open for SCSI pass-through (" + SystemText(error) +
               "): run kavora-cli from a console opened as administrator";
    }
    if (error != ERROR_SUCCESS)
        return "no such drive: " + SystemText(error);
    if (exists)
        *exists = true;
    return "not a CD/DVD-class drive (peripheral type 05h) that answers SCSI pass-through";
}

std::string WhyNotOnThisSystem(unsigned platformId)
{
    if (platformId == VER_PLATFORM_WIN32_NT)
        return "";
    return "this program reaches drives by SCSI pass-through, which Windows 95, 98 and Me do not have; "
           "on them, use kavora.exe, which reaches drives through ASPI";
}
