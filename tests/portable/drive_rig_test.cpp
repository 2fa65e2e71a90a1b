// The rig carries commands to its drive with the rules of the transport chosen:
// natively by emulation, under Windows through the real command layer and the
// virtual machine. The same expectations hold for both.
#include "emu/drive_rig.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace {

using Sense = std::array<std::uint8_t, kSenseSize>;

struct Outcome {
    bool ok;
    Sense sense;
    std::array<std::uint8_t, 36> data;
};

Outcome Send(const DriveRig& rig, std::array<std::uint8_t, 12> cdb, std::uint8_t direction,
            std::uint32_t length)
{
    Outcome o{};
    o.sense.fill(0xAA);
    o.data.fill(0xCC);
    o.ok = fgExecuteCommand(&rig.Entry(), direction, length, o.data.data(), 12, cdb.data(),
                            rig.Transport(), o.sense.data());
    return o;
}

const std::array<std::uint8_t, 12> kInquiry{0x12, 0, 0, 0, 36};
const std::array<std::uint8_t, 12> kUnsupported{0x28};

class DriveRigTest : public ::testing::TestWithParam<RigTransport> {};

TEST_P(DriveRigTest, DataInArrivesOnSuccessAndSenseIsCleared)
{
    VirtualDrive drive;
    DriveRig rig(drive, GetParam());
    const Outcome o = Send(rig, kInquiry, SRB_DIR_IN, 36);
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(std::memcmp(o.data.data() + 8, "KAVORA  CD-ROM VIRTUAL  1.00", 28), 0);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(o.sense[i], 0) << i;
    EXPECT_EQ(o.sense[16], 0xAA);
}

TEST_P(DriveRigTest, FailureLeavesDataAndReportsSense)
{
    VirtualDrive drive;
    drive.WithholdInquiry(1, false, {0x02, 0x3A, 0x00});
    DriveRig rig(drive, GetParam());
    const Outcome o = Send(rig, kInquiry, SRB_DIR_IN, 36);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.data[0], 0xCC);
    EXPECT_EQ(o.data[35], 0xCC);
    EXPECT_EQ(o.sense[0], 0x70);
    EXPECT_EQ(o.sense[2], 0x02);
    EXPECT_EQ(o.sense[12], 0x3A);
    EXPECT_EQ(o.sense[13], 0x00);
    if (GetParam() == RigTransport::PassThrough) {
        // 32 bytes copied: 18 from the drive, zeros behind them.
        for (int i = 18; i < 32; ++i)
            EXPECT_EQ(o.sense[i], 0) << i;
    } else {
        // 16 bytes copied; the rest of the caller's area is left alone.
        for (int i = 16; i < 32; ++i)
            EXPECT_EQ(o.sense[i], 0xAA) << i;
    }
}

TEST_P(DriveRigTest, TransportFailureIsAFailureWithoutSense)
{
    VirtualDrive drive;
    drive.FailTransportAt(0);
    DriveRig rig(drive, GetParam());
    const Outcome o = Send(rig, kInquiry, SRB_DIR_IN, 36);
    EXPECT_FALSE(o.ok);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(o.sense[i], 0) << i;
    EXPECT_EQ(o.data[0], 0xCC);
}

TEST_P(DriveRigTest, DataOutReachesTheDrive)
{
    VirtualDrive drive;
    DriveRig rig(drive, GetParam());
    std::array<std::uint8_t, 12> cdb{0x3B, 0x06, 0, 0, 0, 0x20, 0, 0, 36};
    const Outcome o = Send(rig, cdb, SRB_DIR_OUT, 36);
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(drive.DownloadBuffer()[0x20], 0xCC);
    EXPECT_EQ(drive.DownloadBuffer()[0x20 + 35], 0xCC);
    EXPECT_EQ(drive.ImageEnd(), 0x20u + 36);
    ASSERT_EQ(drive.Commands().size(), 1u);
    EXPECT_TRUE(drive.Commands()[0].dataOut);
    EXPECT_EQ(drive.Commands()[0].cdbLength, 12);
}

TEST_P(DriveRigTest, UnsupportedCommandIsACheckCondition)
{
    VirtualDrive drive;
    DriveRig rig(drive, GetParam());
    const Outcome o = Send(rig, kUnsupported, SRB_DIR_IN, 0);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.sense[2], 0x05);
    EXPECT_EQ(o.sense[12], 0x20);
}

INSTANTIATE_TEST_SUITE_P(BothTransports, DriveRigTest,
                         ::testing::Values(RigTransport::PassThrough, RigTransport::Aspi),
                         [](const auto& info) {
                             return info.param == RigTransport::Aspi ? "Aspi" : "PassThrough";
                         });

TEST(DriveRig, TransportFlagFollowsTheChoice)
{
    VirtualDrive drive;
    DriveRig pt(drive, RigTransport::PassThrough);
    EXPECT_NE(pt.Transport(), 0);
    DriveRig aspi(drive, RigTransport::Aspi);
    EXPECT_EQ(aspi.Transport(), 0);
}

} // namespace
