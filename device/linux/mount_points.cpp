#include "device/linux/mount_points.h"

#include <fstream>
#include <sstream>

namespace {

// The kernel writes a blank, a tab, a newline and a backslash in a path as
// \040, \011, \012 and \134.
std::string Unescaped(const std::string& field)
{
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        const auto octal = [&](std::size_t at) {
            return at < field.size() && field[at] >= '0' && field[at] <= '7';
        };
        if (field[i] == '\\' && octal(i + 1) && octal(i + 2) && octal(i + 3)) {
            text += static_cast<char>((field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0'));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

} // namespace

std::string MountPointOf(const std::string& mountinfo, unsigned major, unsigned minor)
{
    // "36 35 11:0 / /media/cdrom ro,nosuid - iso9660 /dev/sr0 ro": the
    // third field is the device, the fifth where it is mounted.
    const std::string device = std::to_string(major) + ":" + std::to_string(minor);
    std::istringstream lines(mountinfo);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string id, parent, numbers, root, point;
        if ((fields >> id >> parent >> numbers >> root >> point) && numbers == device)
            return Unescaped(point);
    }
    return {};
}

std::string MountPointOf(unsigned major, unsigned minor)
{
    std::ifstream file("/proc/self/mountinfo");
    std::stringstream text;
    text << file.rdbuf();
    return MountPointOf(text.str(), major, minor);
}
