// One writer per drive. Whichever node an upgrade goes through (/dev/sr1 or
// /dev/sg1), it first takes an exclusive lock on a file named by the drive's
// host:channel:target:lun in the system's lock folder, so a second run on the
// same drive is refused before it sends anything but INQUIRY. The file holds
// the holder's process id, so that the refusal can say who it is. Programs
// that know nothing of that file are kept off by the block node, opened
// exclusively: the kernel refuses that while the disc is mounted or another
// program has it open exclusively, and refuses them while we hold it.
#pragma once

#include <string>

class DriveLock {
public:
    DriveLock() = default;
    DriveLock(DriveLock&& other) noexcept;
    DriveLock& operator=(DriveLock&& other) noexcept;
    DriveLock(const DriveLock&) = delete;
    DriveLock& operator=(const DriveLock&) = delete;
    ~DriveLock(); // releases the lock; the file stays for the next holder

    // Takes the lock of the drive at `hctl` ("0:0:1:0") in `folder` (made
    // when missing), for the upgrade through `node`. False with `error`
    // saying who holds it, or why it could not be taken.
    bool Take(const std::string& folder, const std::string& hctl, const std::string& node, std::string& error);
    bool Held() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }

private:
    void Release();

    int fd_ = -1;
    std::string path_;
};

// "/run/lock/kavora-cli-0:0:1:0.lock"
std::string DriveLockPath(const std::string& folder, const std::string& hctl);

// A drive's one writer: its lock, then its block node opened exclusively,
// both kept until the claim ends.
class DriveClaim {
public:
    DriveClaim() = default;
    DriveClaim(const DriveClaim&) = delete;
    DriveClaim& operator=(const DriveClaim&) = delete;
    ~DriveClaim();

    // `block` is the drive's block node, or empty for a drive without one;
    // `node` the node the upgrade goes through. False with `error` saying
    // who or what holds the drive and what to do.
    bool Take(const std::string& lockFolder, const std::string& hctl, const std::string& block,
              const std::string& node, std::string& error);
    const DriveLock& Lock() const { return lock_; }

private:
    DriveLock lock_;
    int block_ = -1;
};
