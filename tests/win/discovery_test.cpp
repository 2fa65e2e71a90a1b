// Drive discovery on the three methods, against the virtual machine, and once
// against the real system under Wine.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "device/win/device_io.h"
#include "device/win/drive_table.h"
#include "device/win/scsi_records.h"
#include "tests/support/request_bytes.h"
#include "tests/win/support/machine_scope.h"

namespace {

enum class Method { Direct, DeviceList, Aspi };

const char* Name(Method m)
{
    return m == Method::Direct ? "Direct" : m == Method::DeviceList ? "DeviceList" : "Aspi";
}

DriveIdentity Cd(const std::string& product, const std::string& revision = "1.00")
{
    return {0x05, "KAVORA  ", product, revision};
}

class DiscoveryTest : public ::testing::TestWithParam<Method> {
protected:
    DiscoveryTest() { scope.SetFamily(GetParam() != Method::Aspi, GetParam() == Method::DeviceList); }

    int Scan() { return scope.Scan(); }
    const DriveTable& Table() const { return scope.table; }
    std::vector<std::string> Products() const
    {
        std::vector<std::string> products;
        for (int i = 0; i < Table().m_nDriveCount; ++i)
            products.push_back(std::string(Table().m_pDrives[i]->sModel).substr(8));
        return products;
    }
    HANDLE HandleOf(char letter) const
    {
        const std::string path = std::string("\\\\.\\") + letter + ":";
        for (const auto& open : scope.machine.Opens())
            if (open.path == path)
                return open.result;
        return nullptr;
    }
    bool Opened(char letter) const { return HandleOf(letter) != nullptr; }

    MachineScope scope;
    VirtualMachine& machine = scope.machine;
};

TEST_P(DiscoveryTest, MachineWithoutCdRomGivesNoDrive)
{
    machine.AddHardDisk('c');
    EXPECT_EQ(Scan(), 0);
    EXPECT_EQ(Table().m_pDrives[0], nullptr);
}

TEST_P(DiscoveryTest, FindsCdRomsInItsOrderAndRejectsTheHardDisk)
{
    // Added (and so ASPI adapters numbered) in another order than the letters.
    machine.AddHardDisk('c');
    machine.AddCdRom('h', Cd("CHARLIE         ", "3.00"));
    machine.AddCdRom('d', Cd("ALPHA           ", "1.00"));
    machine.AddCdRom('f', Cd("BRAVO           ", "2.00"));
    ASSERT_EQ(Scan(), 3);

    const bool byLetter = GetParam() != Method::Aspi;
    const std::vector<std::string> expected =
        byLetter ? std::vector<std::string>{"ALPHA           ", "BRAVO           ",
                                            "CHARLIE         "}
                 : std::vector<std::string>{"CHARLIE         ", "ALPHA           ",
                                            "BRAVO           "};
    EXPECT_EQ(Products(), expected);
    const DriveEntry& first = *Table().m_pDrives[0];
    EXPECT_STREQ(first.sModel, byLetter ? "KAVORA  ALPHA           " : "KAVORA  CHARLIE         ");
    EXPECT_STREQ(first.sRevision, byLetter ? "1.00" : "3.00");

    // Each drive's place: its adapter (added c, h, d, f) as the port.
    const std::vector<int> ports = byLetter ? std::vector<int>{2, 3, 1} : std::vector<int>{1, 2, 3};
    const char letters[] = {'d', 'f', 'h'};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const DriveEntry& entry = *Table().m_pDrives[i];
        EXPECT_TRUE(entry.address.bKnown);
        EXPECT_EQ(entry.address.byPort, ports[i]);
        EXPECT_EQ(entry.address.byPath, 0);
        EXPECT_EQ(entry.address.byTarget, 0);
        EXPECT_EQ(entry.address.byLun, 0);
        EXPECT_EQ(entry.cLetter, byLetter ? letters[i] : '\0');
    }

    if (byLetter) {
        EXPECT_EQ(first.hDevice, HandleOf('d'));
        EXPECT_EQ(Table().m_pDrives[2]->hDevice, HandleOf('h'));
        EXPECT_EQ(machine.CloseCount(HandleOf('c')), 1) << "the hard disk's letter is let go";
    } else {
        EXPECT_EQ(first.hDevice, nullptr);
        EXPECT_EQ(Table().m_pDrives[1]->byHaId, 2);
        EXPECT_TRUE(machine.Opens().empty());
    }
}

// Where the drive sits: bus and target from the port (direct method) or the
// device list, the port behind the letter; ASPI knows adapter and target
// alone. Where the port does not tell, the letter stands in.
TEST_P(DiscoveryTest, RecordsWhereTheDriveSits)
{
    struct Expect {
        bool known;
        std::uint8_t path, target;
        char letter;
        std::uint8_t haId, targetId; // what commands are addressed with, unchanged
    };
    const Method m = GetParam();
    for (bool told : {true, false}) {
        SCOPED_TRACE(told ? "address told" : "address not told");
        MachineScope local;
        local.SetFamily(m != Method::Aspi, m == Method::DeviceList);
        local.machine.AddHardDisk('c');
        const int adapter = local.machine.AddAdapter();
        local.machine.AddDevice(adapter, 1, 4, Cd("BEHIND A BUS    "));
        local.machine.MapLetter('e', adapter, 0);
        if (!told)
            local.machine.FailIoctl(scsi::IOCTL_SCSI_GET_ADDRESS);
        ASSERT_EQ(local.Scan(), 1);

        const Expect expect = m == Method::Direct
                                  ? (told ? Expect{true, 1, 4, 'e', 0, 0} : Expect{false, 0, 0, 'e', 0, 0})
                              : m == Method::DeviceList ? Expect{told, 1, 4, 'e', 1, 4}
                                                        : Expect{true, 0, 4, '\0', 1, 4};
        const DriveEntry& entry = *local.table.m_pDrives[0];
        EXPECT_EQ(entry.address.bKnown, expect.known);
        if (expect.known) {
            EXPECT_EQ(entry.address.byPort, adapter);
        }
        EXPECT_EQ(entry.address.byPath, expect.path);
        EXPECT_EQ(entry.address.byTarget, expect.target);
        EXPECT_EQ(entry.address.byLun, 0);
        EXPECT_EQ(entry.cLetter, expect.letter);
        EXPECT_EQ(entry.byHaId, expect.haId);
        EXPECT_EQ(entry.byTargetId, expect.targetId);
    }
}

TEST_P(DiscoveryTest, RejectsADeviceWhoseQualifierIsNotZero)
{
    machine.AddCdRom('d', {0x25, "KAVORA  ", "ABSENT          ", "1.00"});
    machine.AddCdRom('e', Cd("PRESENT         "));
    ASSERT_EQ(Scan(), 1);
    EXPECT_EQ(Products(), std::vector<std::string>{"PRESENT         "});
}

TEST_P(DiscoveryTest, CutsModelAndRevisionAtAZeroByte)
{
    machine.AddCdRom('d', {0x05, std::string("KAV\0RA  ", 8), "CD-ROM VIRTUAL  ",
                           std::string("1\0" "00", 4)});
    ASSERT_EQ(Scan(), 1);
    const DriveEntry& entry = *Table().m_pDrives[0];
    EXPECT_STREQ(entry.sModel, "KAV");
    EXPECT_STREQ(entry.sRevision, "1");
    const char zeros[32] = {};
    EXPECT_EQ(std::memcmp(entry.sModel + 3, zeros, sizeof entry.sModel - 3), 0)
        << "nothing of the text behind the zero byte";
}

TEST_P(DiscoveryTest, EntersNoMoreThanEightDrives)
{
    for (char letter = 'd'; letter <= 'l'; ++letter)
        machine.AddCdRom(letter, Cd(std::string("DRIVE ") + letter + "         "));
    EXPECT_EQ(Scan(), kMaxDrives);
    EXPECT_EQ(Products().back(), "DRIVE k         ");
}

TEST_P(DiscoveryTest, TriesLetterZOnTheDirectMethodOnly)
{
    machine.AddCdRom('z', Cd("LAST            "));
    const bool direct = GetParam() == Method::Direct;
    EXPECT_EQ(Scan(), GetParam() == Method::DeviceList ? 0 : 1);
    EXPECT_EQ(Opened('z'), direct);
    if (GetParam() != Method::Aspi) {
        ASSERT_FALSE(machine.Opens().empty());
        const auto& first = machine.Opens().front();
        EXPECT_EQ(first.path, "\\\\.\\c:");
        EXPECT_EQ(first.access, DWORD(GENERIC_READ | GENERIC_WRITE));
        EXPECT_EQ(first.share, DWORD(FILE_SHARE_READ | FILE_SHARE_WRITE));
        EXPECT_EQ(first.disposition, DWORD(OPEN_EXISTING));
        EXPECT_EQ(first.flags, 0u);
        EXPECT_EQ(machine.Opens().back().path, direct ? "\\\\.\\z:" : "\\\\.\\y:");
    }
}

INSTANTIATE_TEST_SUITE_P(AllMethods, DiscoveryTest,
                         ::testing::Values(Method::Direct, Method::DeviceList, Method::Aspi),
                         [](const auto& info) { return Name(info.param); });

// The device-list method reports the whole adapter behind each letter.
class DeviceListTest : public ::testing::Test {
protected:
    DeviceListTest() { scope.SetFamily(true, true); }
    MachineScope scope;
    VirtualMachine& machine = scope.machine;
};

TEST_F(DeviceListTest, SameTwoDrivesAreEnteredOncePerLetter)
{
    const int adapter = machine.AddAdapter({0xF, 0x20000});
    machine.AddDevice(adapter, 0, 1, Cd("FIRST           "));
    machine.AddDevice(adapter, 1, 4, Cd("SECOND          "));
    machine.MapLetter('d', adapter, 0);
    machine.MapLetter('e', adapter, 1);
    ASSERT_EQ(scope.Scan(), 4);

    const DriveTable& t = scope.table;
    const HANDLE d = t.m_pDrives[0]->hDevice;
    const HANDLE e = t.m_pDrives[2]->hDevice;
    EXPECT_NE(d, e);
    struct Expect {
        HANDLE handle;
        char letter;
        std::uint8_t path, target;
        const char* product;
    } expected[] = {{d, 'd', 0, 1, "FIRST           "}, {d, 'd', 1, 4, "SECOND          "},
                    {e, 'e', 0, 1, "FIRST           "}, {e, 'e', 1, 4, "SECOND          "}};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const DriveEntry& entry = *t.m_pDrives[i];
        EXPECT_EQ(entry.hDevice, expected[i].handle);
        EXPECT_EQ(entry.byHaId, expected[i].path);
        EXPECT_EQ(entry.byTargetId, expected[i].target);
        // One drive has one address through either letter.
        EXPECT_TRUE(entry.address.bKnown);
        EXPECT_EQ(entry.address.byPort, adapter);
        EXPECT_EQ(entry.address.byPath, expected[i].path);
        EXPECT_EQ(entry.address.byTarget, expected[i].target);
        EXPECT_EQ(entry.address.byLun, 0);
        EXPECT_EQ(entry.cLetter, expected[i].letter);
        EXPECT_EQ(std::string(entry.sModel + 8), expected[i].product);
        EXPECT_EQ(entry.dwAlignMask, 0xFu);
        EXPECT_EQ(entry.dwMaxTransfer, 0x20000u);
    }
}

TEST_F(DeviceListTest, DriveIsCountedWhenCapabilitiesFail)
{
    const int adapter = machine.AddAdapter({0xF, 0x20000, 8, true});
    machine.AddDevice(adapter, 0, 0, Cd("NO CAPS         "));
    machine.MapLetter('d', adapter, 0);
    ASSERT_EQ(scope.Scan(), 1);
    EXPECT_EQ(scope.table.m_pDrives[0]->dwAlignMask, 0u);
    EXPECT_EQ(scope.table.m_pDrives[0]->dwMaxTransfer, 0u);
}

TEST_F(DeviceListTest, LetterWhoseListFailsIsSkipped)
{
    machine.AddCdRom('d', Cd("UNLISTED        "));
    machine.FailIoctl(scsi::IOCTL_SCSI_GET_INQUIRY_DATA);
    EXPECT_EQ(scope.Scan(), 0);
}

TEST(DirectMethod, SendsTheInquiryRecordAndRecordsTheDirectMask)
{
    MachineScope scope;
    scope.machine.AddCdRom('d');
    ASSERT_EQ(scope.Scan(), 1);
    EXPECT_EQ(scope.table.m_pDrives[0]->dwAlignMask, 0x7FFu);
    EXPECT_EQ(scope.table.m_pDrives[0]->dwMaxTransfer, 0u);

    const RecordLayout& layout = ThisLayout();
    const auto& call = scope.machine.PassThroughCalls().front();
    EXPECT_EQ(call.inLength, layout.requestSize);
    EXPECT_EQ(call.outLength, layout.requestSize);
    PassThroughFields fields;
    fields.cdbLength = 6;
    fields.senseInfoLength = 24;
    fields.dataIn = 1;
    fields.dataLength = 2048;
    fields.timeout = 2;
    fields.dataBuffer = ReadLe(call.record, layout.dataBufferAt, layout.pointerSize);
    fields.cdb = {0x12, 0, 0, 0, 0x7F, 0};
    Bytes expected = PassThroughRecord(layout, fields);
    expected.resize(layout.requestSize, 0); // filler and sense buffer, cleared
    EXPECT_EQ(call.record, expected);
    EXPECT_NE(fields.dataBuffer, 0u);
}

TEST(DirectMethod, EveryLetterIsAskedAndOnlyDataFromTheDriveCounts)
{
    // d answers; e's INQUIRY ends with CHECK CONDITION, so no data comes back
    // although the request itself succeeds: what d sent must not stand in.
    MachineScope scope;
    scope.machine.AddHardDisk('c');
    scope.machine.AddCdRom('d', Cd("ANSWERS         "));
    scope.machine.AddCdRom('e', Cd("SILENT          ")).WithholdInquiry(kForever, false);
    ASSERT_EQ(scope.Scan(), 1);
    EXPECT_STREQ(scope.table.m_pDrives[0]->sModel, "KAVORA  ANSWERS         ");

    const auto& calls = scope.machine.PassThroughCalls();
    ASSERT_EQ(calls.size(), 3u) << "the hard disk is sent the INQUIRY too";
    const char letters[] = {'c', 'd', 'e'};
    for (std::size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(letters[i]);
        EXPECT_TRUE(calls[i].accepted);
        EXPECT_EQ(calls[i].device, scope.machine.Opens()[i].result);
    }
}

TEST_F(DeviceListTest, AsksForTheListAndTheCapabilitiesWithTheirSizes)
{
    machine.AddHardDisk('c');
    machine.AddCdRom('d');
    ASSERT_EQ(scope.Scan(), 1);
    const HANDLE c = machine.Opens()[0].result;
    const HANDLE d = scope.table.m_pDrives[0]->hDevice;
    struct Expect {
        HANDLE device;
        DWORD code, outLength;
    } expected[] = {{c, scsi::IOCTL_SCSI_GET_INQUIRY_DATA, 2048},
                    {d, scsi::IOCTL_SCSI_GET_INQUIRY_DATA, 2048},
                    {d, scsi::IOCTL_SCSI_GET_CAPABILITIES, 24},
                    {d, scsi::IOCTL_SCSI_GET_ADDRESS, 8}};
    const auto& calls = machine.IoctlCalls();
    ASSERT_EQ(calls.size(), std::size(expected));
    for (std::size_t i = 0; i < calls.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(calls[i].device, expected[i].device);
        EXPECT_EQ(calls[i].code, expected[i].code);
        EXPECT_FALSE(calls[i].hasIn);
        EXPECT_EQ(calls[i].inLength, 0u);
        EXPECT_TRUE(calls[i].hasOut);
        EXPECT_EQ(calls[i].outLength, expected[i].outLength);
    }
}

// The ASPI method walks adapters and their targets.
class AspiMethodTest : public ::testing::Test {
protected:
    AspiMethodTest() { scope.SetFamily(false, false); }
    std::vector<int> TargetsAsked() const
    {
        std::vector<int> targets;
        for (const auto& call : scope.machine.AspiCalls())
            if (call.record[0] == scsi::SC_GET_DEV_TYPE)
                targets.push_back(call.record[8]);
        return targets;
    }
    MachineScope scope;
    VirtualMachine& machine = scope.machine;
};

TEST_F(AspiMethodTest, AdapterReportingNoTargetsIsSearchedOnTargetsZeroAndOne)
{
    const int adapter = machine.AddAdapter({0x3, 0x10000, 0});
    machine.AddDevice(adapter, 0, 1, Cd("ON ONE          "));
    machine.AddDevice(adapter, 0, 2, Cd("ON TWO          "));
    ASSERT_EQ(scope.Scan(), 1);
    EXPECT_EQ(TargetsAsked(), (std::vector<int>{0, 1}));
    EXPECT_EQ(scope.table.m_pDrives[0]->byTargetId, 1);
}

TEST_F(AspiMethodTest, FailedInquiryLeavesItsSlotToTheNextDrive)
{
    const int adapter = machine.AddAdapter({0x1FF, 0x12345, 2});
    machine.AddDevice(adapter, 0, 0, Cd("SILENT          "))
        .WithholdInquiry(kForever, false);
    machine.AddDevice(adapter, 0, 1, Cd("TALKING         "));
    ASSERT_EQ(scope.Scan(), 1);
    const DriveEntry& entry = *scope.table.m_pDrives[0];
    EXPECT_STREQ(entry.sModel, "KAVORA  TALKING         ");
    EXPECT_EQ(entry.byTargetId, 1);
    EXPECT_EQ(entry.dwAlignMask, 0xFFu) << "the low byte of the adapter's mask alone";
    EXPECT_EQ(entry.dwMaxTransfer, 0x12345u);
    EXPECT_EQ(scope.table.m_pDrives[1], nullptr);
}

TEST_F(AspiMethodTest, RequestRecordsAsTheScanSendsThem)
{
    const int adapter = machine.AddAdapter({0x3, 0x10000, 2});
    machine.AddDevice(adapter, 0, 1, Cd("ON ONE          "));
    ASSERT_EQ(scope.Scan(), 1);

    const auto calls = machine.AspiCalls();
    ASSERT_EQ(calls.size(), 4u);
    Bytes haInquiry(60, 0);
    EXPECT_EQ(calls[0].record, haInquiry);
    for (std::uint8_t target = 0; target < 2; ++target) {
        SCOPED_TRACE(int(target));
        EXPECT_EQ(calls[1 + target].record, (Bytes{0x01, 0, 0, 0, 0, 0, 0, 0, target, 0, 0, 0}));
    }

    // INQUIRY of 36 bytes, data in, ASPI sense length, a 12-byte block.
    const RecordLayout& layout = ThisLayout();
    const Bytes& exec = calls[3].record;
    ExecFields fields;
    fields.flags = 0x48;
    fields.target = 1;
    fields.bufLength = 36;
    fields.senseLength = 14;
    fields.cdbLength = 12;
    fields.bufPointer = ReadLe(exec, layout.bufPointerAt, layout.pointerSize);
    fields.postProc = ReadLe(exec, layout.postProcAt, layout.pointerSize);
    fields.cdb = {0x12, 0, 0, 0, 0x24};
    EXPECT_EQ(exec, ExecRecord(layout, fields));
    EXPECT_NE(fields.bufPointer, 0u);
    EXPECT_NE(fields.postProc, 0u) << "a completion event";
}

TEST_F(AspiMethodTest, ManagerWithoutAdaptersGivesNoDrive)
{
    machine.AddCdRom('d');
    machine.SetAspiSupportStatus(scsi::SS_NO_ADAPTERS);
    EXPECT_EQ(scope.Scan(), 0);
    EXPECT_TRUE(machine.AspiCalls().empty());
}

TEST_F(AspiMethodTest, AnsweredAtOnceOrPendingFindsTheSameDrive)
{
    for (AspiCompletion mode : {AspiCompletion::AtOnce, AspiCompletion::Pending}) {
        MachineScope local;
        local.SetFamily(false, false);
        local.machine.SetAspiCompletion(mode);
        local.machine.AddCdRom('d');
        EXPECT_EQ(local.Scan(), 1);
    }
}

// No seam: the program's own view of the system Wine gives it.
TEST(RealSystem, DiscoveryRunsAndFindsNoDrive)
{
    for (bool nt4 : {false, true}) {
        DriveTable table;
        table.m_bIsNT = true;
        table.m_bNT4 = nt4;
        ScanDrives(table);
        EXPECT_EQ(table.m_nDriveCount, 0) << (nt4 ? "device list" : "direct");
        EXPECT_TRUE(ReleaseDriveAccess(table));
    }
}

} // namespace
