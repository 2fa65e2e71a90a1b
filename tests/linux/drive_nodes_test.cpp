// Drives as sysfs lists them: each is known by its whole
// host:channel:target:lun, so two drives behind one port multiplier, or on
// two LUNs of one target, are two drives.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "cli/linux/linux_drives.h"
#include "device/linux/drive_nodes.h"
#include "tests/support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

struct Device {
    const char* hctl;
    int type;
    const char* block;   // or empty
    const char* generic; // or empty
};

class SysfsTree : public ::testing::Test {
protected:
    // A tree as the kernel lays it out, with the nodes in a /dev of its own.
    void Lay(const std::vector<Device>& devices)
    {
        fs::remove_all(root_);
        fs::create_directories(Dev());
        for (const Device& d : devices) {
            const fs::path device = fs::path(Sys()) / "class/scsi_device" / d.hctl / "device";
            fs::create_directories(device);
            std::ofstream(device / "type") << d.type << "\n";
            if (*d.block) {
                fs::create_directories(device / "block" / d.block);
                std::ofstream(fs::path(Dev()) / d.block);
            }
            if (*d.generic) {
                fs::create_directories(device / "scsi_generic" / d.generic);
                std::ofstream(fs::path(Dev()) / d.generic);
            }
        }
    }
    std::string Sys() const { return (root_ / "sys").string(); }
    std::string Dev() const { return (root_ / "dev").string(); }

    ScratchFolder scratch_{"kavora_sysfs"};
    const fs::path root_ = scratch_.Path();
};

TEST_F(SysfsTree, DrivesThatDifferOnlyByChannelOrLunAreTwoDrives)
{
    struct Case {
        const char* name;
        std::vector<Device> devices;
    } cases[] = {
        {"by channel: two ports of a port multiplier",
         {{"4:1:0:0", 5, "sr1", "sg2"}, {"4:0:0:0", 5, "sr0", "sg1"}, {"4:0:1:0", 0, "sda", "sg0"}}},
        {"by LUN", {{"4:0:0:1", 5, "sr1", "sg2"}, {"4:0:0:0", 5, "sr0", "sg1"}, {"4:0:1:0", 0, "sda", "sg0"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Lay(c.devices);
        const std::vector<DriveNode> nodes = FindCdDrives(Sys(), Dev());
        ASSERT_EQ(nodes.size(), 2u);
        EXPECT_EQ(nodes[0].hctl, "4:0:0:0");
        EXPECT_EQ(nodes[1].hctl, c.devices[0].hctl);

        LinuxDrives drives(Sys(), Dev());
        const std::vector<DriveName> names = drives.Drives();
        ASSERT_EQ(names.size(), 2u);
        EXPECT_EQ(names[0].path, Dev() + "/sr0");
        EXPECT_EQ(names[0].other, Dev() + "/sg1");
        EXPECT_EQ(names[0].Hctl(), "4:0:0:0");
        EXPECT_EQ(names[1].path, Dev() + "/sr1");
        EXPECT_EQ(names[1].Hctl(), c.devices[0].hctl);
        EXPECT_FALSE(SameDrive(names[0], names[1]));

        // Either node of the second drive finds it, and only it.
        for (const char* node : {"/sr1", "/sg2"}) {
            DriveName found;
            ASSERT_TRUE(drives.Find(Dev() + node, found)) << node;
            EXPECT_EQ(found.path, Dev() + node);
            EXPECT_TRUE(SameDrive(found, names[1])) << node;
            EXPECT_FALSE(SameDrive(found, names[0])) << node;
        }
        DriveName disk;
        EXPECT_FALSE(drives.Find(Dev() + "/sg0", disk));
    }
}

TEST(DriveNames, HctlReadAndWrittenWhole)
{
    DriveName name;
    ASSERT_TRUE(name.ReadHctl("10:2:300:4"));
    EXPECT_EQ(name.host, 10);
    EXPECT_EQ(name.channel, 2);
    EXPECT_EQ(name.target, 300);
    EXPECT_EQ(name.lun, 4);
    EXPECT_EQ(name.Hctl(), "10:2:300:4");
    for (const char* bad : {"", "1:2:3", "1:2:3:4x", "a:b:c:d", "1:2:3:4:5"}) {
        DriveName other = name;
        EXPECT_FALSE(other.ReadHctl(bad)) << bad;
        EXPECT_EQ(other.Hctl(), "10:2:300:4") << bad;
    }
}

} // namespace
