// The contract of every transport, through fgExecuteCommand and directly:
// natively the virtual drive's own transport with the rules of either Windows
// path, under Windows the program's real pass-through and ASPI transports
// over the virtual machine. The same expectations hold for all of them.
#include "emu/drive_rig.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

namespace {

using Sense = std::array<std::uint8_t, scsi::kSenseAreaSize>;
using scsi::Direction;

struct Outcome {
    bool ok;
    Sense sense;
    std::array<std::uint8_t, 36> data;
};

Outcome Send(const DriveRig& rig, std::array<std::uint8_t, 12> cdb, Direction direction,
            std::uint32_t length)
{
    Outcome o{};
    o.sense.fill(0xAA);
    o.data.fill(0xCC);
    o.ok = fgExecuteCommand(rig.Transport(), direction, length, o.data.data(), 12, cdb.data(),
                            o.sense.data());
    return o;
}

const std::array<std::uint8_t, 12> kInquiry{0x12, 0, 0, 0, 36};
const std::array<std::uint8_t, 12> kUnsupported{0x28};

class DriveRigTest : public ::testing::TestWithParam<RigTransport> {};

TEST_P(DriveRigTest, DataInArrivesOnSuccessAndSenseIsCleared)
{
    VirtualDrive drive;
    DriveRig rig(drive, GetParam());
    const Outcome o = Send(rig, kInquiry, Direction::In, 36);
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
    const Outcome o = Send(rig, kInquiry, Direction::In, 36);
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
    const Outcome o = Send(rig, kInquiry, Direction::In, 36);
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
    const Outcome o = Send(rig, cdb, Direction::Out, 36);
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
    const Outcome o = Send(rig, kUnsupported, Direction::In, 0);
    EXPECT_FALSE(o.ok);
    EXPECT_EQ(o.sense[2], 0x05);
    EXPECT_EQ(o.sense[12], 0x20);
}

INSTANTIATE_TEST_SUITE_P(BothPaths, DriveRigTest,
                         ::testing::Values(RigTransport::PassThrough, RigTransport::Aspi),
                         [](const auto& info) {
                             return info.param == RigTransport::Aspi ? "Aspi" : "PassThrough";
                         });

// The result keeps a drive's answer apart from a request that never got one.
TEST_P(DriveRigTest, ResultTellsTheDrivesAnswerFromAFailedRequest)
{
    struct Case {
        const char* what;
        void (*setUp)(VirtualDrive&);
        std::array<std::uint8_t, 12> cdb;
        scsi::Outcome outcome;
        scsi::SenseTriple triple;
    } cases[] = {
        {"good", [](VirtualDrive&) {}, kInquiry, scsi::Outcome::Good, {}},
        {"check condition", [](VirtualDrive& d) { d.WithholdInquiry(1, false, {0x02, 0x3A, 0x00}); },
         kInquiry, scsi::Outcome::CheckCondition, {0x02, 0x3A, 0x00}},
        {"unsupported", [](VirtualDrive&) {}, kUnsupported, scsi::Outcome::CheckCondition,
         {0x05, 0x20, 0x00}},
        {"transport", [](VirtualDrive& d) { d.FailTransportAt(0); }, kInquiry,
         scsi::Outcome::TransportFailure, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VirtualDrive drive;
        c.setUp(drive);
        DriveRig rig(drive, GetParam());
        std::array<std::uint8_t, 36> data{};
        scsi::Command command;
        command.cdb = c.cdb.data();
        command.cdbLength = 12;
        command.direction = Direction::In;
        command.data = data.data();
        command.dataLength = c.cdb[0] == 0x12 ? 36 : 0;
        const scsi::Result result = rig.Transport().Execute(command);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.Triple(), c.triple);
        if (c.outcome == scsi::Outcome::CheckCondition) {
            EXPECT_EQ(result.status, scsi::kStatusCheckCondition);
        }
    }
}

} // namespace
