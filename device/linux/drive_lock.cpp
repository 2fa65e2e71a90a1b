#include "device/linux/drive_lock.h"

#include "device/linux/mount_points.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <utility>

namespace {

// Who holds the lock open as `fd`: "kavora-cli (process 1234)", or less
// when the file or the process says less.
std::string HolderOf(int fd)
{
    char text[32] = {};
    const ssize_t got = ::pread(fd, text, sizeof text - 1, 0);
    char* end = nullptr;
    const long pid = got > 0 ? std::strtol(text, &end, 10) : 0;
    if (pid <= 0 || end == text)
        return "another process";
    std::string program;
    std::getline(std::ifstream("/proc/" + std::to_string(pid) + "/comm"), program);
    const std::string process = "process " + std::to_string(pid);
    return program.empty() ? process : program + " (" + process + ")";
}

// A path as a shell takes it: as it is when that is safe, or in quotes.
std::string ShellWord(const std::string& path)
{
    if (path.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+:@%,") ==
        std::string::npos)
        return path;
    std::string word = "'";
    for (char c : path)
        word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return word + "'";
}

} // namespace

std::string DriveLockPath(const std::string& folder, const std::string& hctl)
{
    return folder + "/kavora-cli-" + hctl + ".lock";
}

DriveLock::DriveLock(DriveLock&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), path_(std::move(other.path_))
{
}

DriveLock& DriveLock::operator=(DriveLock&& other) noexcept
{
    if (this != &other) {
        Release();
        fd_ = std::exchange(other.fd_, -1);
        path_ = std::move(other.path_);
    }
    return *this;
}

DriveLock::~DriveLock() { Release(); }

void DriveLock::Release()
{
    // Closing the file drops the lock. The file is not removed: a run that
    // opened it a moment ago would lock a file nobody else can find.
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool DriveLock::Take(const std::string& folder, const std::string& hctl, const std::string& node,
                     std::string& error)
{
    Release();
    path_ = DriveLockPath(folder, hctl);
    std::error_code made;
    std::filesystem::create_directories(folder, made);
    const int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW;
    int fd = ::open(path_.c_str(), flags | O_CREAT, 0644);
    // In a sticky folder the system refuses O_CREAT on a file someone else
    // made (fs.protected_regular); the file is there, so open it as it is.
    if (fd < 0 && errno == EACCES)
        fd = ::open(path_.c_str(), flags);
    if (fd < 0) {
        const int cause = errno;
        error = "cannot open the lock file " + path_ + " that keeps a second upgrade off " + node + ": " +
                std::strerror(cause) + (made ? " (" + folder + ": " + made.message() + ")" : "");
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int cause = errno;
        if (cause == EWOULDBLOCK)
            error = node + " is being upgraded by another program: " + HolderOf(fd) + " holds " + path_ +
                    "; wait for it to finish";
        else
            error = "cannot lock " + path_ + " to keep a second upgrade off " + node + ": " + std::strerror(cause);
        ::close(fd);
        return false;
    }
    // The holder's id, for the refusal of a second run. Should it not be
    // written, the lock still keeps others off and that refusal says
    // "another process".
    const std::string pid = std::to_string(::getpid()) + "\n";
    // Half an id would name the wrong process: then none.
    if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size()) &&
        ::ftruncate(fd, 0) != 0) {
        // The lock holds all the same; a second run is told "another process".
    }
    fd_ = fd;
    return true;
}

DriveClaim::~DriveClaim()
{
    if (block_ >= 0)
        ::close(block_);
}

bool DriveClaim::Take(const std::string& lockFolder, const std::string& hctl, const std::string& block,
                      const std::string& node, std::string& error)
{
    if (!lock_.Take(lockFolder, hctl, node, error))
        return false;
    if (block.empty())
        return true;
    // O_NONBLOCK: a drive without a disc opens all the same. Programs that
    // probe a drive at a media event (udev's cdrom_id among them) open it
    // exclusively for a moment, so a busy drive is tried again for a second
    // before it counts as held.
    int cause = 0;
    for (int tries = 0; tries < 10; ++tries) {
        if (tries > 0)
            ::usleep(100 * 1000);
        block_ = ::open(block.c_str(), O_RDONLY | O_NONBLOCK | O_EXCL | O_CLOEXEC);
        if (block_ >= 0)
            return true;
        cause = errno;
        if (cause != EBUSY)
            break;
    }
    lock_ = DriveLock();
    const std::string through = node == block ? "" : " (" + block + ")";
    struct stat info{};
    std::string point;
    if (cause == EBUSY && ::stat(block.c_str(), &info) == 0)
        point = MountPointOf(major(info.st_rdev), minor(info.st_rdev));
    if (!point.empty())
        error = "the disc in " + node + through + " is mounted on " + point + "; unmount it (umount " +
                ShellWord(point) + ") and run the upgrade again";
    else if (cause == EBUSY)
        error = "another program holds " + node + through +
                " exclusively; close it, then run the upgrade again";
    else
        error = "cannot open " + block + ": " + std::strerror(cause);
    return false;
}
