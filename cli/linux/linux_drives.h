// The kernel's drives: sysfs lists them, SG_IO reaches them.
#pragma once

#include <string>

#include "cli/drive_access.h"

class DriveClaim;

class LinuxDrives : public DriveAccess {
public:
    // `sysfs`, `dev` and `lockFolder` stand in for /sys, /dev and /run/lock
    // in tests.
    explicit LinuxDrives(std::string sysfs = "/sys", std::string dev = "/dev",
                         std::string lockFolder = "/run/lock");

    std::vector<DriveName> Drives() override;
    bool Find(const std::string& node, DriveName& drive) override;
    std::unique_ptr<OpenDrive> Open(const DriveName& drive, bool write, std::string& error) override;
    bool StillThere(const DriveName& drive) override;
    bool MayWrite(std::string& error) override;
    std::string WhyNotFound(const std::string& node, bool* exists = nullptr) override;

    // What an upgrade of `drive` holds for its whole run, whichever of the
    // drive's nodes it goes through: the drive's lock and its block node.
    bool Claim(const DriveName& drive, DriveClaim& claim, std::string& error);

private:
    std::string sysfs_, dev_, lockFolder_;
};
