// The SG_IO transport against the virtual drive, natively: the request it
// hands the kernel, the result it makes of the kernel's answer, and a whole
// upgrade through it.
#include <gtest/gtest.h>

#include <array>
#include <cerrno>

#include "tests/linux/virtual_sg_io.h"
#include "tests/portable/engine_drive.h"

namespace {

using scsi::Direction;
using scsi::Outcome;

constexpr int kFd = 7;

scsi::Result Send(SgIoTransport& transport, std::array<std::uint8_t, 12> cdb, Direction direction,
                  std::uint8_t* data, std::uint32_t length)
{
    scsi::Command command;
    command.cdb = cdb.data();
    command.cdbLength = 12;
    command.direction = direction;
    command.data = data;
    command.dataLength = length;
    return transport.Execute(command);
}

const std::array<std::uint8_t, 12> kInquiry{0x12, 0, 0, 0, 36};

TEST(SgIoTransport, RequestCarriesTheCommandDirectionAndTimeOut)
{
    VirtualDrive drive;
    VirtualSgIo io;
    io.Attach(kFd, drive);
    SgIoTransport transport(kFd, io);
    std::uint8_t data[4096] = {};
    struct Case {
        const char* what;
        std::array<std::uint8_t, 12> cdb;
        Direction direction;
        std::uint32_t length;
        int sgDirection;
        std::size_t sent; // the command's own length, as sg3_utils sends it
    } cases[] = {
        {"data in", kInquiry, Direction::In, 36, SG_DXFER_FROM_DEV, 6},
        {"data out", {0x3B, 0x06, 0, 0, 0, 0x20, 0, 0x10, 0}, Direction::Out, 4096, SG_DXFER_TO_DEV, 10},
        {"no data, asked as data in", {}, Direction::In, 0, SG_DXFER_NONE, 6},
        {"no data", {}, Direction::None, 0, SG_DXFER_NONE, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Send(transport, c.cdb, c.direction, data, c.length);
        const VirtualSgIo::Request& r = io.Requests().back();
        EXPECT_EQ(r.fd, kFd);
        EXPECT_EQ(r.cdb, std::vector<std::uint8_t>(c.cdb.begin(), c.cdb.begin() + c.sent));
        EXPECT_EQ(r.direction, c.sgDirection);
        EXPECT_EQ(r.dataLength, c.length);
        EXPECT_EQ(r.timeout, 0xFFFFu * 1000u) << "the engine's 65535 seconds";
        EXPECT_EQ(r.senseRoom, scsi::kSenseAreaSize);
    }
}

// Each kind of answer lands in its own outcome: the drive's answers with
// their sense, the adapter's and the system's failures with theirs.
TEST(SgIoTransport, OutcomesKeepTheDrivesAnswersApartFromFailures)
{
    struct Case {
        const char* what;
        void (*setUp)(VirtualDrive&, VirtualSgIo&);
        Outcome outcome;
        scsi::SenseTriple triple;
        unsigned hostStatus;
        std::uint32_t systemError;
        bool timedOut, gone;
    } cases[] = {
        {"good", [](VirtualDrive&, VirtualSgIo&) {}, Outcome::Good, {}, 0, 0, false, false},
        {"check condition", [](VirtualDrive& d, VirtualSgIo&) { d.WithholdInquiry(1, false, {0x02, 0x3A, 0x00}); },
         Outcome::CheckCondition, {0x02, 0x3A, 0x00}, 0, 0, false, false},
        {"adapter error", [](VirtualDrive& d, VirtualSgIo& io) { d.FailTransportAt(0); io.transportHostStatus = 0x07; },
         Outcome::TransportFailure, {}, 0x07, 0, false, false},
        {"nothing at that address",
         [](VirtualDrive& d, VirtualSgIo& io) { d.FailTransportAt(0); io.transportHostStatus = 0x01; },
         Outcome::TransportFailure, {}, 0x01, 0, false, true},
        {"time-out", [](VirtualDrive& d, VirtualSgIo& io) { d.FailTransportAt(0); io.transportHostStatus = 0x03; },
         Outcome::TransportFailure, {}, 0x03, 0, true, false},
        {"vanished", [](VirtualDrive&, VirtualSgIo& io) { io.FailFrom(0, ENODEV); }, Outcome::SystemFailure, {},
         0, ENODEV, false, true},
        {"refused", [](VirtualDrive&, VirtualSgIo& io) { io.FailFrom(0, EPERM); }, Outcome::SystemFailure, {},
         0, EPERM, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VirtualDrive drive;
        VirtualSgIo io;
        io.Attach(kFd, drive);
        c.setUp(drive, io);
        SgIoTransport transport(kFd, io);
        std::array<std::uint8_t, 36> data{};
        data.fill(0xCC);
        const scsi::Result r = Send(transport, kInquiry, Direction::In, data.data(), 36);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.Triple(), c.triple);
        EXPECT_EQ(r.hostStatus, c.hostStatus);
        EXPECT_EQ(r.systemError, c.systemError);
        EXPECT_EQ(r.timedOut, c.timedOut);
        EXPECT_EQ(r.deviceGone, c.gone);
        EXPECT_EQ(r.senseLength, c.outcome == Outcome::CheckCondition ? scsi::kSenseAreaSize : 0u);
        if (c.outcome == Outcome::Good) {
            EXPECT_EQ(std::string(reinterpret_cast<char*>(data.data()) + 8, 28), "KAVORA  CD-ROM VIRTUAL  1.00");
        }
    }
}

// A target that answers in descriptor format is read as the program reads
// every sense: key, ASC and ASCQ at bytes 2, 12 and 13.
TEST(SgIoTransport, DescriptorSenseIsHandedBackInFixedFormat)
{
    class DescriptorSense : public SgIo {
    public:
        int Submit(int, sg_io_hdr_t& r) override
        {
            const std::uint8_t sense[8] = {0x72, 0x06, 0x29, 0x02, 0, 0, 0, 0};
            std::memcpy(r.sbp, sense, sizeof sense);
            r.sb_len_wr = sizeof sense;
            r.status = 0x02;
            r.driver_status = 0x08;
            r.host_status = 0;
            return 0;
        }
    } io;
    SgIoTransport transport(kFd, io);
    const scsi::Result r = Send(transport, {}, Direction::None, nullptr, 0);
    EXPECT_EQ(r.outcome, Outcome::CheckCondition);
    EXPECT_EQ(r.sense[0], 0x70);
    EXPECT_EQ(r.Triple(), (scsi::SenseTriple{0x06, 0x29, 0x02}));
}

TEST(SgIoTransport, DriverTimeOutIsATransportFailureWhateverTheStatus)
{
    class TimedOut : public SgIo {
    public:
        int Submit(int, sg_io_hdr_t& r) override
        {
            r.status = 0;
            r.host_status = 0;
            r.driver_status = 0x06; // DRIVER_TIMEOUT
            r.sb_len_wr = 0;
            return 0;
        }
    } io;
    SgIoTransport transport(kFd, io);
    const scsi::Result r = Send(transport, {}, Direction::None, nullptr, 0);
    EXPECT_EQ(r.outcome, Outcome::TransportFailure);
    EXPECT_TRUE(r.timedOut);
    EXPECT_STREQ(DriverStatusName(r.driverStatus), "DRIVER_TIMEOUT");
    EXPECT_STREQ(HostStatusName(0x01), "DID_NO_CONNECT");
}

// The engine over SG_IO, against a drive that raises a unit attention after
// every download, as the kernel's scsi_debug does.
class SgIoUpgrade : public engine_test::EngineTest {};

TEST_F(SgIoUpgrade, WholeUpgradeThroughTheSgIoTransport)
{
    using namespace engine_test;
    VirtualDrive drive;
    drive.RaiseUnitAttentions();
    drive.SetBusyPolls(2);
    VirtualSgIo io;
    io.Attach(kFd, drive);
    SgIoTransport transport(kFd, io);
    CFlashEngine engine(Param(WriteFile("image.hex", ToHex(MakeImage(0x12000))), true), transport);
    ASSERT_TRUE(engine.Run().Succeeded());
    EXPECT_EQ(drive.SavesAccepted(), 1);
    EXPECT_EQ(Calls().messages.back(), "Please Restart Your Computer.");
}

} // namespace
