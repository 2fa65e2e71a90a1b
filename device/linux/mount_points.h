// Where a block device is mounted, as the kernel's mountinfo tells it: a
// drive whose disc is mounted is not taken from under its file system.
#pragma once

#include <string>

// The first mount point of device `major`:`minor` in `mountinfo`, a text in
// the form of /proc/self/mountinfo; empty when it is not mounted there.
std::string MountPointOf(const std::string& mountinfo, unsigned major, unsigned minor);

// The same, from this process's /proc/self/mountinfo.
std::string MountPointOf(unsigned major, unsigned minor);
