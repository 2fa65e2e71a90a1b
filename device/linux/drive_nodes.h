// The CD/DVD-class SCSI devices the kernel knows (peripheral type 05h), as
// sysfs lists them, each with the device nodes through which it is reached.
#pragma once

#include <string>
#include <vector>

struct DriveNode {
    std::string hctl;   // host:channel:target:lun, as sysfs names the device
    std::string block;  // "/dev/sr0", or empty
    std::string generic; // "/dev/sg0", or empty
    // The node to use: the block device when there is one.
    const std::string& Path() const { return block.empty() ? generic : block; }
};

// In host, channel, target, lun order. `sysfs` and `dev` stand in for "/sys"
// and "/dev" in tests.
std::vector<DriveNode> FindCdDrives(const std::string& sysfs = "/sys", const std::string& dev = "/dev");

// The drive a device node belongs to: its block or generic node, by path or
// by the device number behind the path; null when none of `drives` is it.
const DriveNode* DriveOfNode(const std::vector<DriveNode>& drives, const std::string& node);
