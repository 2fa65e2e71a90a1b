// The kernel's drives: sysfs lists them, SG_IO reaches them.
#pragma once

#include "cli/drive_access.h"

class LinuxDrives : public DriveAccess {
public:
    std::vector<DriveName> Drives() override;
    bool Find(const std::string& node, DriveName& drive) override;
    std::unique_ptr<OpenDrive> Open(const DriveName& drive, bool write, std::string& error) override;
    bool StillThere(const DriveName& drive) override;
    bool MayWrite(std::string& error) override;
};
