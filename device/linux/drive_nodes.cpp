#include "device/linux/drive_nodes.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

constexpr int kCdDvdType = 5;

// The one entry of a folder such as device/block, or empty.
std::string OnlyEntry(const fs::path& folder)
{
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(folder, ignored))
        return entry.path().filename().string();
    return {};
}

// "1:0:10:2" compared number by number.
bool HctlBefore(const std::string& a, const std::string& b)
{
    auto numbers = [](const std::string& text) {
        std::vector<long> parts;
        std::stringstream in(text);
        for (std::string part; std::getline(in, part, ':');)
            parts.push_back(std::strtol(part.c_str(), nullptr, 10));
        return parts;
    };
    return numbers(a) < numbers(b);
}

bool SameDeviceNode(const std::string& a, const std::string& b)
{
    struct stat sa{}, sb{};
    if (a.empty() || b.empty() || ::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0)
        return false;
    return (S_ISBLK(sa.st_mode) || S_ISCHR(sa.st_mode)) && (sa.st_mode & S_IFMT) == (sb.st_mode & S_IFMT) &&
           sa.st_rdev == sb.st_rdev;
}

} // namespace

std::vector<DriveNode> FindCdDrives(const std::string& sysfs, const std::string& dev)
{
    std::vector<DriveNode> drives;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(fs::path(sysfs) / "class/scsi_device", ignored)) {
        const fs::path device = entry.path() / "device";
        int type = -1;
        std::ifstream(device / "type") >> type;
        if (type != kCdDvdType)
            continue;
        DriveNode node;
        node.hctl = entry.path().filename().string();
        const std::string block = OnlyEntry(device / "block");
        const std::string generic = OnlyEntry(device / "scsi_generic");
        if (!block.empty())
            node.block = dev + "/" + block;
        if (!generic.empty())
            node.generic = dev + "/" + generic;
        if (!node.Path().empty())
            drives.push_back(node);
    }
    std::sort(drives.begin(), drives.end(),
              [](const DriveNode& a, const DriveNode& b) { return HctlBefore(a.hctl, b.hctl); });
    return drives;
}

const DriveNode* DriveOfNode(const std::vector<DriveNode>& drives, const std::string& node)
{
    for (const DriveNode& drive : drives)
        if (node == drive.block || node == drive.generic)
            return &drive;
    for (const DriveNode& drive : drives)
        if (SameDeviceNode(node, drive.block) || SameDeviceNode(node, drive.generic))
            return &drive;
    return nullptr;
}
