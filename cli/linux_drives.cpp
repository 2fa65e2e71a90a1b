#include "cli/linux_drives.h"

#include <fcntl.h>
#include <scsi/sg.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <utility>

#include "device/linux/drive_nodes.h"
#include "device/linux/sg_io_transport.h"

namespace {

constexpr int kCapSysRawio = 17;

class LinuxOpenDrive : public OpenDrive {
public:
    explicit LinuxOpenDrive(int fd) : fd_(fd), transport_(fd) {}
    ~LinuxOpenDrive() override { ::close(fd_); }
    scsi::Transport& Transport() override { return transport_; }

private:
    int fd_;
    SgIoTransport transport_;
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

LinuxDrives::LinuxDrives(std::string sysfs, std::string dev) : sysfs_(std::move(sysfs)), dev_(std::move(dev)) {}

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

std::unique_ptr<OpenDrive> LinuxDrives::Open(const DriveName& drive, bool write, std::string& error)
{
    // No waiting for a medium: a drive without a disc is still a drive.
    const int fd = ::open(drive.path.c_str(), (write ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int cause = errno;
        error = "cannot open " + drive.path + ": " + std::strerror(cause);
        if (cause == EACCES || cause == EPERM)
            error += " (run as root: WRITE BUFFER through SG_IO needs root or CAP_SYS_RAWIO)";
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
    return std::make_unique<LinuxOpenDrive>(fd);
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
