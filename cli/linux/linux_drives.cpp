#include "cli/linux/linux_drives.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>

#include "device/linux/drive_lock.h"
#include "device/linux/drive_nodes.h"
#include "device/linux/sg_io_transport.h"

namespace {

constexpr int kCapSysRawio = 17;

class LinuxOpenDrive : public OpenDrive {
public:
    LinuxOpenDrive(int fd, std::unique_ptr<DriveClaim> claim)
        : fd_(fd), transport_(fd), claim_(std::move(claim))
    {
    }
    ~LinuxOpenDrive() override { ::close(fd_); }
    scsi::Transport& Transport() override { return transport_; }

private:
    int fd_;
    SgIoTransport transport_;
    std::unique_ptr<DriveClaim> claim_; // the upgrade's, or null
};

DriveName NameOf(const DriveNode& node)
{
    DriveName name;
    name.path = node.Path();
    name.other = node.block.empty() ? std::string() : node.generic;
    name.ReadHctl(node.hctl);
    return name;
}

bool HasEffectiveCapability(int capability)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("CapEff:", 0) == 0) {
            const unsigned long long mask = std::strtoull(line.c_str() + 7, nullptr, 16);
            return (mask >> capability) & 1u;
        }
    }
    return false;
}

} // namespace

LinuxDrives::LinuxDrives(std::string sysfs, std::string dev, std::string lockFolder)
    : sysfs_(std::move(sysfs)), dev_(std::move(dev)), lockFolder_(std::move(lockFolder))
{
}

std::vector<DriveName> LinuxDrives::Drives()
{
    std::vector<DriveName> names;
    for (const DriveNode& node : FindCdDrives(sysfs_, dev_))
        names.push_back(NameOf(node));
    return names;
}

bool LinuxDrives::Find(const std::string& node, DriveName& drive)
{
    const std::vector<DriveNode> nodes = FindCdDrives(sysfs_, dev_);
    const DriveNode* found = DriveOfNode(nodes, node);
    if (!found)
        return false;
    drive = NameOf(*found);
    drive.path = node; // commands go through the node the user named
    return true;
}

bool LinuxDrives::Claim(const DriveName& drive, DriveClaim& claim, std::string& error)
{
    const std::vector<DriveNode> nodes = FindCdDrives(sysfs_, dev_);
    const DriveNode* found = DriveOfNode(nodes, drive.path);
    DriveName now;
    if (!found || !now.ReadHctl(found->hctl) || !SameDrive(now, drive)) {
        error = drive.path + " is no longer the drive at " + drive.Hctl() +
                " (is the drive still attached? 'kavora-cli list' shows the drives there are)";
        return false;
    }
    return claim.Take(lockFolder_, drive.Hctl(), found->block, drive.path, error);
}

std::unique_ptr<OpenDrive> LinuxDrives::Open(const DriveName& drive, bool write, std::string& error)
{
    // The claim before the node: a drive another run holds gets nothing
    // from this one.
    std::unique_ptr<DriveClaim> claim;
    if (write) {
        claim = std::make_unique<DriveClaim>();
        if (!Claim(drive, *claim, error))
            return nullptr;
    }
    // No waiting for a medium: a drive without a disc is still a drive.
    const int fd = ::open(drive.path.c_str(), (write ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int cause = errno;
        error = "cannot open " + drive.path + ": " + std::strerror(cause);
        // Reading a drive's identity needs only read access to its node;
        // the upgrade needs more.
        if ((cause == EACCES || cause == EPERM) && write)
            error += " (run as root: WRITE BUFFER through SG_IO needs root or CAP_SYS_RAWIO)";
        else if (cause == EACCES || cause == EPERM)
            error += " (reading the drive's identity needs read access to its node: be in the group that "
                     "owns it, often cdrom, or root)";
        else if (cause == ENOENT || cause == ENXIO || cause == ENODEV)
            error += " (is the drive still attached? 'kavora-cli list' shows the drives there are)";
        return nullptr;
    }
    int version = 0;
    if (::ioctl(fd, SG_GET_VERSION_NUM, &version) != 0) {
        ::close(fd);
        error = drive.path + " is not a SCSI device that SG_IO reaches";
        return nullptr;
    }
    return std::make_unique<LinuxOpenDrive>(fd, std::move(claim));
}

bool LinuxDrives::StillThere(const DriveName& drive)
{
    DriveName found;
    return Find(drive.path, found);
}

bool LinuxDrives::MayWrite(std::string& error)
{
    if (::geteuid() == 0 || HasEffectiveCapability(kCapSysRawio))
        return true;
    error = "WRITE BUFFER through SG_IO needs root or the CAP_SYS_RAWIO capability: "
            "run kavora-cli upgrade as root (sudo)";
    return false;
}

std::string LinuxDrives::WhyNotFound(const std::string& node, bool* exists)
{
    struct stat info{};
    const bool there = ::stat(node.c_str(), &info) == 0;
    const int cause = errno;
    if (exists)
        *exists = there;
    return there ? "not a CD/DVD-class SCSI device (peripheral type 05h) of this system" : std::strerror(cause);
}
