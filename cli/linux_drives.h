// The kernel's drives: sysfs lists them, SG_IO reaches them.
#pragma once

#include <string>

#include "cli/drive_access.h"

class LinuxDrives : public DriveAccess {
public:
    // `sysfs` and `dev` stand in for /sys and /dev in tests.
    explicit LinuxDrives(std::string sysfs = "/sys", std::string dev = "/dev");

    std::vector<DriveName> Drives() override;
    bool Find(const std::string& node, DriveName& drive) override;
    std::unique_ptr<OpenDrive> Open(const DriveName& drive, bool write, std::string& error) override;
    bool StillThere(const DriveName& drive) override;
    bool MayWrite(std::string& error) override;

private:
    std::string sysfs_, dev_;
};
