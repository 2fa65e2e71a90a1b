// The drives of a Windows system of the NT family, found as the dialog finds
// them (SCSI pass-through on each drive letter) and reached by pass-through,
// named by their letter ("D:") and told apart by their SCSI address. An
// upgrade takes the drive's lock, the one the dialog takes too.
#pragma once

#include <string>
#include <vector>

#include "cli/drive_access.h"
#include "device/drive_entry.h"

class WindowsDrives : public DriveAccess {
public:
    // `nt4`: Windows NT 4, whose drives the dialog finds by the port
    // driver's device lists.
    explicit WindowsDrives(bool nt4 = false);
    ~WindowsDrives() override;
    WindowsDrives(const WindowsDrives&) = delete;
    WindowsDrives& operator=(const WindowsDrives&) = delete;

    std::vector<DriveName> Drives() override;
    bool Find(const std::string& node, DriveName& drive) override;
    std::unique_ptr<OpenDrive> Open(const DriveName& drive, bool write, std::string& error) override;
    bool StillThere(const DriveName& drive) override;
    bool MayWrite(std::string& error) override;
    std::string WhyNotFound(const std::string& node, bool* exists = nullptr) override;

    // "D:" for "d", "d:", "D:\" or "\\.\D:"; empty for anything else.
    static std::string LetterName(const std::string& node);

private:
    void Scan();
    const DriveEntry* EntryOf(const DriveName& drive) const;

    bool nt4_;
    bool scanned_ = false;
    std::vector<DriveEntry*> entries_; // from the scan; each with its letter's handle
    std::vector<DriveName> names_;
};

// Why kavora-cli does not run on this system, or empty: the 9x family
// reaches drives through ASPI only, which the console program does not use.
std::string WhyNotOnThisSystem(unsigned platformId);
