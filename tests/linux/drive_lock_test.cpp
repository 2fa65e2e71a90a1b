// One writer per drive: the lock named by the drive's host:channel:target:lun
// keeps a second upgrade off whichever node it comes through, says who holds
// it, and goes with its holder.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "cli/linux/linux_drives.h"
#include "device/linux/drive_lock.h"
#include "device/linux/mount_points.h"
#include "tests/support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

class LockFolder : public ::testing::Test {
protected:
    // What this process's lock is said to be, as another run reads it.
    std::string HeldBySelf(const std::string& node, const std::string& hctl) const
    {
        std::string program;
        std::getline(std::ifstream("/proc/self/comm"), program);
        return node + " is being upgraded by another program: " + program + " (process " +
               std::to_string(::getpid()) + ") holds " + folder + "/kavora-cli-" + hctl +
               ".lock; wait for it to finish";
    }

    ScratchFolder scratch_{"kavora_lock"};
    const fs::path root_ = scratch_.Path();
    const std::string folder = (root_ / "run/lock").string(); // made by the first lock
};

TEST_F(LockFolder, ASecondLockOnTheSameDriveIsRefusedAndNamesItsHolder)
{
    DriveLock held;
    std::string error;
    ASSERT_TRUE(held.Take(folder, "0:0:1:0", "/dev/sr1", error)) << error;
    EXPECT_EQ(held.Path(), folder + "/kavora-cli-0:0:1:0.lock");
    EXPECT_EQ(ReadAll(held.Path()), std::to_string(::getpid()) + "\n");

    struct Case {
        const char* hctl;
        bool taken;
    } cases[] = {
        {"0:0:1:0", false}, // the same drive
        {"1:0:1:0", true},  // another host
        {"0:1:1:0", true},  // another channel: a port multiplier's next port
        {"0:0:2:0", true},  // another target
        {"0:0:1:1", true},  // another LUN
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.hctl);
        DriveLock second;
        error.clear();
        EXPECT_EQ(second.Take(folder, c.hctl, "/dev/sg1", error), c.taken);
        EXPECT_EQ(second.Held(), c.taken);
        EXPECT_EQ(error, c.taken ? "" : HeldBySelf("/dev/sg1", c.hctl));
    }
    // The refused run left the holder's id alone.
    EXPECT_EQ(ReadAll(held.Path()), std::to_string(::getpid()) + "\n");
}

TEST_F(LockFolder, TheLockGoesWithItsHolder)
{
    std::string error;
    {
        DriveLock first;
        ASSERT_TRUE(first.Take(folder, "0:0:0:0", "/dev/sr0", error)) << error;
        // Handed on, not let go.
        DriveLock kept = std::move(first);
        EXPECT_FALSE(first.Held());
        DriveLock second;
        EXPECT_FALSE(second.Take(folder, "0:0:0:0", "/dev/sg0", error));
    }
    DriveLock after;
    EXPECT_TRUE(after.Take(folder, "0:0:0:0", "/dev/sg0", error)) << error;
}

// A lock folder that cannot be made is said to be so, and no lock is held.
TEST_F(LockFolder, ALockThatCannotBeMadeIsSaidToBeSo)
{
    std::ofstream(root_ / "run"); // a file where the folder would be
    DriveLock lock;
    std::string error;
    EXPECT_FALSE(lock.Take(folder, "0:0:0:0", "/dev/sr0", error));
    EXPECT_FALSE(lock.Held());
    EXPECT_EQ(error.rfind("cannot open the lock file " + folder + "/kavora-cli-0:0:0:0.lock that keeps a second "
                          "upgrade off /dev/sr0: Not a directory",
                          0),
              0u)
        << error;
}

// Another process holds the drive: a refused run names it; once it has
// ended the drive is free, though its id stays in the file until the next
// holder writes its own.
TEST_F(LockFolder, AnotherProcessHoldsTheDriveUntilItEnds)
{
    int ready[2], go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        DriveLock lock;
        std::string ignored;
        const char taken = lock.Take(folder, "3:0:0:0", "/dev/sr3", ignored) ? 'y' : 'n';
        char byte = 0;
        if (::write(ready[1], &taken, 1) != 1 || ::read(go[0], &byte, 1) < 0)
            ::_exit(2);
        ::_exit(0);
    }
    char taken = 0;
    ASSERT_EQ(::read(ready[0], &taken, 1), 1);
    ASSERT_EQ(taken, 'y');

    DriveLock mine;
    std::string error;
    EXPECT_FALSE(mine.Take(folder, "3:0:0:0", "/dev/sg3", error));
    EXPECT_NE(error.find("/dev/sg3 is being upgraded by another program: "), std::string::npos) << error;
    EXPECT_NE(error.find("(process " + std::to_string(child) + ") holds " + folder + "/kavora-cli-3:0:0:0.lock"),
              std::string::npos)
        << error;

    ASSERT_EQ(::write(go[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
    for (int fd : {ready[0], ready[1], go[0], go[1]})
        ::close(fd);
    EXPECT_TRUE(mine.Take(folder, "3:0:0:0", "/dev/sg3", error)) << error;
    EXPECT_EQ(ReadAll(mine.Path()), std::to_string(::getpid()) + "\n");
}

// The kernel's drives: /dev/sr1 and /dev/sg1 are one drive and share one
// lock; the drive on the next LUN has its own.
TEST_F(LockFolder, BothNodesOfADriveShareItsLock)
{
    const fs::path sys = root_ / "sys", dev = root_ / "dev";
    fs::create_directories(dev);
    for (const auto& [hctl, block, generic] : {std::tuple{"2:0:0:0", "sr1", "sg1"}, {"2:0:0:1", "sr2", "sg2"}}) {
        const fs::path device = sys / "class/scsi_device" / hctl / "device";
        fs::create_directories(device / "block" / block);
        fs::create_directories(device / "scsi_generic" / generic);
        std::ofstream(device / "type") << "5\n";
        std::ofstream(dev / block);
        std::ofstream(dev / generic);
    }
    LinuxDrives drives(sys.string(), dev.string(), folder);
    const auto claim = [&](const std::string& node, DriveClaim& held, std::string& error) {
        DriveName name;
        EXPECT_TRUE(drives.Find(node, name)) << node;
        return drives.Claim(name, held, error);
    };
    std::string error;
    auto first = std::make_unique<DriveClaim>();
    ASSERT_TRUE(claim((dev / "sr1").string(), *first, error)) << error;
    EXPECT_EQ(first->Lock().Path(), folder + "/kavora-cli-2:0:0:0.lock");

    DriveClaim second;
    EXPECT_FALSE(claim((dev / "sg1").string(), second, error));
    EXPECT_EQ(error, HeldBySelf((dev / "sg1").string(), "2:0:0:0"));
    DriveClaim third;
    EXPECT_FALSE(claim((dev / "sr1").string(), third, error));

    DriveClaim nextLun;
    EXPECT_TRUE(claim((dev / "sg2").string(), nextLun, error)) << error;

    first.reset();
    DriveClaim again;
    EXPECT_TRUE(claim((dev / "sg1").string(), again, error)) << error;
}

// A mounted disc is named by where it is mounted: the device's numbers are
// matched whole, and the kernel's escapes in the path are undone.
TEST(MountPoints, TheMountPointOfADeviceFromMountinfo)
{
    const std::string mountinfo =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "40 22 8:16 / /srv rw shared:20 - ext4 /dev/sdb rw\n"
        "41 22 0:45 / /run rw,nosuid shared:5 - tmpfs tmpfs rw\n"
        "55 22 11:1 / /media/user/My\\040Disc\\134x ro,nosuid shared:30 - udf /dev/sr1 ro\n"
        "56 22 11:0 / /media/cdrom ro,nosuid shared:31 - iso9660 /dev/sr0 ro\n"
        "57 22 11:0 / /mnt/again ro shared:31 - iso9660 /dev/sr0 ro\n"
        "58 22 18:1 / /other rw - ext4 /dev/x rw\n";
    struct Case {
        unsigned major, minor;
        const char* point;
    } cases[] = {
        {11, 0, "/media/cdrom"},
        {11, 1, "/media/user/My Disc\\x"},
        {8, 1, "/"},
        {11, 2, ""},
        {1, 1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + ":" + std::to_string(c.minor));
        EXPECT_EQ(MountPointOf(mountinfo, c.major, c.minor), c.point);
    }
    EXPECT_EQ(MountPointOf("", 11, 0), "");
    EXPECT_EQ(MountPointOf("garbage\n12 1\n", 11, 0), "");
}

} // namespace
