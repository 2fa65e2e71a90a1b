// What the commands need of the machine's drives: which there are, and a
// transport to one of them. The Linux program uses the kernel's; tests put
// virtual drives here.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "device/scsi_transport.h"

struct DriveName {
    std::string path;  // the node commands go through
    std::string other; // the drive's other node, or empty
    int host = 0, target = 0;
};

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
    // Opens a drive for INQUIRY alone, or for the upgrade (`write`); null
    // with `error` saying why and what to do.
    virtual std::unique_ptr<OpenDrive> Open(const DriveName& drive, bool write, std::string& error) = 0;
    // Whether the drive is still attached (after a run that failed).
    virtual bool StillThere(const DriveName& drive) = 0;
    // Whether this process may send WRITE BUFFER; `error` says what it lacks.
    virtual bool MayWrite(std::string& error) = 0;
};
