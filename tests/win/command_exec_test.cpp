// fgExecuteCommand against the virtual machine: the request records exactly
// as the machine received them, and how each transport reports an outcome.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "device/drive_entry.h"
#include "device/win/aspi_transport.h"
#include "device/win/pass_through.h"
#include "device/win/scsi_records.h"
#include "tests/support/request_bytes.h"
#include "tests/win/support/machine_scope.h"

namespace {

constexpr std::uint8_t kPassThrough = 1;
constexpr std::uint8_t kAspi = 0;

const std::array<std::uint8_t, 12> kInquiry{0x12, 0, 0, 0, 0x24};
const std::array<std::uint8_t, 12> kTestUnitReady{};
const std::array<std::uint8_t, 12> kWriteBlock{0x3B, 0x06, 0x00, 0x00, 0x10, 0x20, 0x00, 0x10};

using scsi::Direction;

struct Call {
    bool ok;
    std::array<std::uint8_t, scsi::kSenseAreaSize> sense;
    Bytes data;
};

// One command through fgExecuteCommand and the transport of the chosen path.
Call Execute(const DriveEntry& entry, Direction direction, std::uint32_t length,
             const std::array<std::uint8_t, 12>& cdb, std::uint8_t transport, Bytes data = {})
{
    Call c{};
    c.sense.fill(0xAA);
    c.data = data.empty() ? Bytes(length, 0xCC) : std::move(data);
    PassThroughTransport passThrough(entry);
    AspiTransport aspi(entry);
    scsi::Transport& path = transport ? static_cast<scsi::Transport&>(passThrough) : aspi;
    c.ok = fgExecuteCommand(path, direction, length, c.data.data(), 12, cdb.data(), c.sense.data());
    return c;
}

// One CD-ROM at d:, opened the way discovery opens it.
class PassThroughTest : public ::testing::Test {
protected:
    PassThroughTest() : drive(scope.machine.AddCdRom('d'))
    {
        entry.hDevice = Dev().CreateFile("\\\\.\\d:", GENERIC_READ | GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
        entry.byHaId = 2;
        entry.byTargetId = 3;
        entry.dwAlignMask = 0x7FF;
    }
    MachineScope scope;
    VirtualDrive& drive;
    DriveEntry entry{};
};

TEST_F(PassThroughTest, RequestRecordByteForByte)
{
    const RecordLayout& layout = ThisLayout();
    struct Case {
        const char* what;
        Direction direction;
        std::uint32_t length;
        std::array<std::uint8_t, 12> cdb;
        std::uint8_t dataIn;
    } cases[] = {
        {"block out", Direction::Out, 4096, kWriteBlock, 0},
        {"inquiry in", Direction::In, 36, kInquiry, 1},
        {"no data", Direction::In, 0, kTestUnitReady, 1},
        {"no direction", Direction::None, 0, kTestUnitReady, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes payload(c.length);
        for (std::size_t i = 0; i < payload.size(); ++i)
            payload[i] = static_cast<std::uint8_t>(i * 7);
        Execute(entry, c.direction, c.length, c.cdb, kPassThrough, payload);

        const auto& call = scope.machine.PassThroughCalls().back();
        EXPECT_EQ(call.device, entry.hDevice);
        EXPECT_EQ(call.inLength, layout.sptdSize);
        EXPECT_EQ(call.outLength, layout.requestSize);
        PassThroughFields fields;
        fields.pathId = 2;
        fields.targetId = 3;
        fields.cdbLength = 12;
        fields.senseInfoLength = 24;
        fields.dataIn = c.dataIn;
        fields.dataLength = c.length;
        fields.timeout = 0xFFFF;
        // The staging address is the program's own choice; its alignment is not.
        fields.dataBuffer = ReadLe(call.record, layout.dataBufferAt, layout.pointerSize);
        std::copy(c.cdb.begin(), c.cdb.end(), fields.cdb.begin());
        EXPECT_EQ(call.record, PassThroughRecord(layout, fields));
        EXPECT_EQ(fields.dataBuffer & 0x7FF, 0u) << "DataBuffer aligned to the drive's mask";
        EXPECT_TRUE(call.accepted);
        if (c.direction == Direction::Out) {
            EXPECT_EQ(call.dataOut, payload);
        }
    }
}

TEST_F(PassThroughTest, DataInArrivesOnSuccess)
{
    const Call c = Execute(entry, Direction::In, 36, kInquiry, kPassThrough);
    ASSERT_TRUE(c.ok);
    EXPECT_EQ(std::memcmp(c.data.data() + 8, "KAVORA  CD-ROM VIRTUAL  1.00", 28), 0);
    EXPECT_EQ(c.sense[0], 0);
    EXPECT_EQ(c.sense[15], 0);
    EXPECT_EQ(c.sense[16], 0xAA) << "only the first 16 sense bytes are cleared";
}

TEST_F(PassThroughTest, FailureCopiesAll32SenseBytesAndLeavesTheData)
{
    drive.WithholdInquiry(1, false, {0x02, 0x3A, 0x01});
    const Call c = Execute(entry, Direction::In, 36, kInquiry, kPassThrough);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.sense[0], 0x70);
    EXPECT_EQ(c.sense[2], 0x02);
    EXPECT_EQ(c.sense[12], 0x3A);
    EXPECT_EQ(c.sense[13], 0x01);
    for (int i = 18; i < 32; ++i)
        EXPECT_EQ(c.sense[i], 0) << "byte " << i;
    EXPECT_EQ(c.data, Bytes(36, 0xCC));
}

TEST_F(PassThroughTest, RequestFailedByTheSystemIsAFailedCommand)
{
    struct Case {
        const char* what;
        void (*fail)(VirtualMachine&, VirtualDrive&);
    } cases[] = {
        {"ioctl refused", [](VirtualMachine& m, VirtualDrive&) { m.FailAllIoctls(true); }},
        {"device gone", [](VirtualMachine&, VirtualDrive& d) { d.FailTransportAt(0, 100); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.fail(scope.machine, drive);
        const Call call = Execute(entry, Direction::In, 36, kInquiry, kPassThrough);
        EXPECT_FALSE(call.ok);
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(call.sense[i], 0) << "byte " << i;
        EXPECT_EQ(call.data, Bytes(36, 0xCC));
        scope.machine.FailAllIoctls(false);
    }
}

TEST_F(PassThroughTest, StagingMeetsAStricterAdapter)
{
    scope.machine.Adapter(0).alignMask = 0xFF;
    entry.dwAlignMask = 0xFF;
    const Call c = Execute(entry, Direction::In, 36, kInquiry, kPassThrough);
    EXPECT_TRUE(c.ok);
    EXPECT_TRUE(scope.machine.PassThroughCalls().back().accepted);
}

// Capabilities come from the adapter's driver, which may answer anything. A
// mask no adapter has must not wrap the staging arithmetic (on 32-bit
// Windows 0xFFFFF000 made a one-byte buffer and an address near zero) nor
// ask for gigabytes; the program aligns to a page instead, which meets the
// strictest mask an adapter really has.
TEST_F(PassThroughTest, StagingSurvivesAMaskNoAdapterHas)
{
    scope.machine.Adapter(0).alignMask = 0xFFF;
    for (std::uint32_t mask : {0xFFFFF000u, 0xFFFFF800u, 0xFFFFFFFFu, 0x80000FFFu, 0x5u, 0x1FFFu}) {
        SCOPED_TRACE(mask);
        entry.dwAlignMask = mask;
        const Call c = Execute(entry, Direction::In, 36, kInquiry, kPassThrough);
        EXPECT_TRUE(c.ok);
        EXPECT_TRUE(scope.machine.PassThroughCalls().back().accepted);
    }
}

// Pass-through demands a handle opened for reading and writing; the device
// list asks for no access at all. A machine that let a read-only handle pass
// would hide a wrong open.
TEST(PassThroughAccess, RequestNeedsAHandleForReadingAndWriting)
{
    struct Case {
        const char* what;
        DWORD access;
        bool sent;
    } cases[] = {
        {"read and write", GENERIC_READ | GENERIC_WRITE, true},
        {"file rights", FILE_READ_DATA | FILE_WRITE_DATA, true},
        {"read only", GENERIC_READ, false},
        {"write only", GENERIC_WRITE, false},
        {"no access", 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MachineScope scope;
        scope.machine.AddCdRom('d');
        DriveEntry entry{};
        entry.hDevice = Dev().CreateFile("\\\\.\\d:", c.access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                         OPEN_EXISTING, 0);
        entry.dwAlignMask = 0x7FF;
        const Call call = Execute(entry, Direction::In, 36, kInquiry, kPassThrough);
        EXPECT_EQ(call.ok, c.sent);
        EXPECT_EQ(scope.machine.PassThroughCalls().size(), c.sent ? 1u : 0u);
        if (!c.sent) {
            EXPECT_EQ(call.data, Bytes(36, 0xCC));
        }
        std::uint8_t list[2048];
        DWORD returned = 0;
        EXPECT_TRUE(Dev().DeviceIoControl(entry.hDevice, scsi::IOCTL_SCSI_GET_INQUIRY_DATA, nullptr,
                                          0, list, sizeof list, &returned));
    }
}

// Adapters 0 and 1; the CD-ROM is target 3 of adapter 1.
class AspiTest : public ::testing::Test {
protected:
    AspiTest()
    {
        scope.machine.AddAdapter();
        const int adapter = scope.machine.AddAdapter();
        drive = &scope.machine.AddDevice(adapter, 0, 3);
        scope.SetFamily(false, false);
        EXPECT_EQ(BindAspiLibrary(scope.table), AspiBinding::Bound);
        entry.byHaId = 1;
        entry.byTargetId = 3;
    }
    MachineScope scope;
    VirtualDrive* drive = nullptr;
    DriveEntry entry{};
};

TEST_F(AspiTest, RequestRecordByteForByte)
{
    const RecordLayout& layout = ThisLayout();
    struct Case {
        const char* what;
        Direction direction;
        std::uint32_t length;
        std::array<std::uint8_t, 12> cdb;
        std::uint8_t flags;
    } cases[] = {
        {"block out", Direction::Out, 4096, kWriteBlock, 0x50},
        {"inquiry in", Direction::In, 36, kInquiry, 0x48},
        {"no data", Direction::In, 0, kTestUnitReady, 0x48},
    };
    for (AspiCompletion mode : {AspiCompletion::AtOnce, AspiCompletion::Pending}) {
        scope.machine.SetAspiCompletion(mode);
        for (const Case& c : cases) {
            SCOPED_TRACE(c.what);
            Call call = Execute(entry, c.direction, c.length, c.cdb, kAspi);
            EXPECT_TRUE(call.ok);
            const Bytes record = scope.machine.AspiCalls().back().record;
            ExecFields fields;
            fields.haId = 1;
            fields.flags = c.flags;
            fields.target = 3;
            fields.bufLength = c.length;
            fields.bufPointer = reinterpret_cast<std::uintptr_t>(call.data.data());
            fields.senseLength = 14;
            fields.cdbLength = 12;
            // The completion event is the program's own.
            fields.postProc = ReadLe(record, layout.postProcAt, layout.pointerSize);
            std::copy(c.cdb.begin(), c.cdb.end(), fields.cdb.begin());
            EXPECT_EQ(record, ExecRecord(layout, fields));
            EXPECT_NE(fields.postProc, 0u) << "an event for the completion";
        }
    }
}

TEST_F(AspiTest, PendingRequestIsWaitedForAndOneAnsweredAtOnceIsNot)
{
    for (AspiCompletion mode : {AspiCompletion::Pending, AspiCompletion::AtOnce}) {
        const bool pending = mode == AspiCompletion::Pending;
        SCOPED_TRACE(pending ? "pending" : "at once");
        scope.machine.SetAspiCompletion(mode);
        const Call c = Execute(entry, Direction::In, 36, kInquiry, kAspi);
        EXPECT_TRUE(c.ok);
        EXPECT_EQ(std::memcmp(c.data.data() + 32, "1.00", 4), 0);
        EXPECT_EQ(scope.machine.AspiCalls().back().pending, pending);
    }
}

TEST_F(AspiTest, FailureCopies16SenseBytesAndKeepsTheRest)
{
    for (AspiCompletion mode : {AspiCompletion::Pending, AspiCompletion::AtOnce}) {
        scope.machine.SetAspiCompletion(mode);
        drive->WithholdInquiry(1, false, {0x02, 0x3A, 0x01});
        const Call c = Execute(entry, Direction::In, 36, kInquiry, kAspi);
        EXPECT_FALSE(c.ok);
        EXPECT_EQ(c.sense[0], 0x70);
        EXPECT_EQ(c.sense[2], 0x02);
        EXPECT_EQ(c.sense[12], 0x3A);
        EXPECT_EQ(c.sense[13], 0x01);
        EXPECT_EQ(c.sense[14], 0x00);
        EXPECT_EQ(c.sense[15], 0x00);
        for (int i = 16; i < 32; ++i)
            EXPECT_EQ(c.sense[i], 0xAA) << "byte " << i;
    }
}

TEST_F(AspiTest, DeviceThatIsNotThereFailsWithoutSense)
{
    entry.byTargetId = 4;
    const Call c = Execute(entry, Direction::In, 36, kInquiry, kAspi);
    EXPECT_FALSE(c.ok);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(c.sense[i], 0) << "byte " << i;
}

} // namespace
