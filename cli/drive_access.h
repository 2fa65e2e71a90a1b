// What the commands need of the machine's drives: which there are, and a
// transport to one of them. Each system's program has its own; tests put
// virtual drives here.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "device/scsi_transport.h"

struct DriveName {
    std::string path;  // the node commands go through
    std::string other; // the drive's other node, or empty; on Windows its SCSI address
    // Where the drive sits: behind a port multiplier two drives share host
    // and target and differ by channel, and one target can hold several LUNs.
    // On Windows: port, bus, target and unit. A system that does not tell
    // (`addressKnown` false) leaves the drive told apart by its name alone.
    int host = 0, channel = 0, target = 0, lun = 0;
    bool addressKnown = true;

    // "0:0:1:0", as sysfs names the device.
    std::string Hctl() const
    {
        return std::to_string(host) + ":" + std::to_string(channel) + ":" + std::to_string(target) + ":" +
               std::to_string(lun);
    }
    // Takes the four numbers from sysfs' name of the device.
    bool ReadHctl(const std::string& text)
    {
        unsigned h = 0, c = 0, t = 0, l = 0;
        char tail = 0;
        if (std::sscanf(text.c_str(), "%u:%u:%u:%u%c", &h, &c, &t, &l, &tail) != 4)
            return false;
        host = static_cast<int>(h);
        channel = static_cast<int>(c);
        target = static_cast<int>(t);
        lun = static_cast<int>(l);
        return true;
    }
};

// LUNs of one target are parts of one device.
inline bool SameTarget(const DriveName& a, const DriveName& b)
{
    if (!a.addressKnown || !b.addressKnown)
        return a.path == b.path;
    return a.host == b.host && a.channel == b.channel && a.target == b.target;
}

// One drive, whichever of its nodes each name goes through.
inline bool SameDrive(const DriveName& a, const DriveName& b)
{
    return SameTarget(a, b) && (!a.addressKnown || !b.addressKnown || a.lun == b.lun);
}

class OpenDrive {
public:
    virtual ~OpenDrive() = default;
    virtual scsi::Transport& Transport() = 0;
};

class DriveAccess {
public:
    virtual ~DriveAccess() = default;
    // Every CD/DVD-class SCSI device the system lists.
    virtual std::vector<DriveName> Drives() = 0;
    // The drive behind a node a user named, if it is one of Drives().
    virtual bool Find(const std::string& node, DriveName& drive) = 0;
    // Opens a drive for INQUIRY alone, or for the upgrade (`write`): then
    // this process is the drive's one writer until the drive is closed, or
    // it is refused. Null with `error` saying why and what to do.
    virtual std::unique_ptr<OpenDrive> Open(const DriveName& drive, bool write, std::string& error) = 0;
    // Whether the drive is still attached (after a run that failed).
    virtual bool StillThere(const DriveName& drive) = 0;
    // Whether this process may send WRITE BUFFER; `error` says what it lacks.
    virtual bool MayWrite(std::string& error) = 0;
    // Why a name a user gave is none of Drives(); `exists`: something is
    // there by that name, but not one of them.
    virtual std::string WhyNotFound(const std::string& node, bool* exists = nullptr) = 0;
};
