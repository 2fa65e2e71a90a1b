#include "emu/machine_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

bool Parse(const std::string& text, MachineSpec& description, std::string& error)
{
    std::istringstream in(text);
    return ParseMachineFile(in, description, error);
}

MachineSpec Parsed(const std::string& text)
{
    MachineSpec description;
    std::string error;
    EXPECT_TRUE(Parse(text, description, error)) << error;
    return description;
}

TEST(MachineFile, DefaultIsOneCdRomAtDWithTheDefaultIdentity)
{
    const MachineSpec description = DefaultMachine();
    ASSERT_EQ(description.drives.size(), 1u);
    EXPECT_EQ(description.drives[0].letter, 'd');
    EXPECT_EQ(description.drives[0].kind, DriveKind::CdRom);
    EXPECT_EQ(VirtualDrive(description.drives[0].identity).ModelText(), "KAVORA  CD-ROM VIRTUAL  ");
    EXPECT_EQ(description.drives[0].identity.revision, "1.00");
    EXPECT_EQ(description.aspi, AspiLibrary::Present);
}

TEST(MachineFile, ReadsDrivesIdentitiesAndTheAspiLibrary)
{
    const MachineSpec description = Parsed(R"(# two drives
aspi only-support-info
aspi-answers at-once
drive C disk
drive e cdrom      # the one to upgrade
  vendor "KAV\0RA"
  product "CD-ROM \"X\"  "
  revision "2.0"
  type 25
)");
    ASSERT_EQ(description.drives.size(), 2u);
    EXPECT_EQ(description.drives[0].letter, 'c');
    EXPECT_EQ(description.drives[0].kind, DriveKind::HardDisk);
    EXPECT_EQ(description.drives[0].identity.deviceType, 0);
    const DriveIdentity& id = description.drives[1].identity;
    EXPECT_EQ(id.vendor, std::string("KAV\0RA", 6));
    EXPECT_EQ(id.product, "CD-ROM \"X\"  ");
    EXPECT_EQ(id.revision, "2.0");
    EXPECT_EQ(id.deviceType, 0x25);
    EXPECT_EQ(description.aspi, AspiLibrary::OnlySupportInfo);
    EXPECT_FALSE(description.aspiPending);
}

TEST(MachineFile, ReadsEveryFault)
{
    const MachineSpec description = Parsed(R"(drive d cdrom
busy forever
fail-block 2 5 03/0C/02
fail-write 0x20 1
refuse-header
refuse-save 2 04/44/00
sense-after-save 06/29/00
withhold-inquiry 3 from-start
transport-failure 7 2
unit-attentions
)");
    const DriveFaults& f = description.drives.at(0).faults;
    EXPECT_EQ(f.busyPolls, kForever);
    ASSERT_EQ(f.writes.size(), 3u);
    EXPECT_EQ(f.writes[0].offset, 0x2020u);
    EXPECT_EQ(f.writes[0].times, 5);
    EXPECT_EQ(f.writes[0].sense, (SenseTriple{0x03, 0x0C, 0x02}));
    EXPECT_EQ(f.writes[1].offset, 0x20u);
    EXPECT_EQ(f.writes[1].sense, WriteFault{}.sense);
    EXPECT_EQ(f.writes[2].offset, 0u);
    EXPECT_EQ(f.writes[2].times, kForever);
    EXPECT_EQ(f.saveRefusals, 2);
    EXPECT_EQ(f.saveSense, (SenseTriple{0x04, 0x44, 0x00}));
    EXPECT_EQ(f.senseAfterSaveTimes, 1);
    EXPECT_EQ(f.senseAfterSave, (SenseTriple{0x06, 0x29, 0x00}));
    EXPECT_EQ(f.inquiryFailures, 3);
    EXPECT_FALSE(f.inquiryFailuresAfterSaveOnly);
    EXPECT_EQ(f.transportFailures, (std::vector<std::size_t>{7, 8}));
    EXPECT_TRUE(f.unitAttentions);
    EXPECT_FALSE(Parsed("drive d cdrom\n").drives.at(0).faults.unitAttentions);
}

TEST(MachineFile, ErrorsNameTheLineAndLeaveTheMachineAlone)
{
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"drive d cdrom\nfrobnicate\n", "line 2: unknown keyword 'frobnicate'"},
        {"vendor \"X\"\n", "line 1: 'vendor' before any drive line"},
        {"drive b cdrom\n", "line 1: drive letter 'b' is not one of c to z"},
        {"drive d cdrom\n\ndrive D disk\n", "line 3: drive letter d is given twice"},
        {"drive d floppy\n", "line 1: drive kind 'floppy' is neither cdrom nor disk"},
        {"drive d cdrom\nvendor \"KAVORA 123\"\n", "line 2: vendor is longer than 8 characters"},
        {"drive d cdrom\nproduct \"open\n", "line 2: unterminated string"},
        {"drive d cdrom\nfail-block 1 2 3/0C\n",
         "line 2: bad sense '3/0C' (want KEY/ASC/ASCQ in hex, e.g. 03/0C/00)"},
        {"drive d cdrom\nbusy\n", "line 2: busy wants a count (a number or forever)"},
        {"drive d cdrom\nfail-write\n", "line 2: fail-write wants a buffer offset first"},
        {"aspi sometimes\n",
         "line 1: aspi wants present, missing, only-support-info or only-send-command"},
    };
    for (const Case& c : cases) {
        MachineSpec description = DefaultMachine();
        std::string error;
        EXPECT_FALSE(Parse(c.text, description, error)) << c.text;
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(description.drives.size(), 1u) << "unchanged after an error";
    }
}

TEST(MachineFile, EmptyFileIsAMachineWithoutDrives)
{
    EXPECT_TRUE(Parsed("# nothing here\r\n\r\n").drives.empty());
}

TEST(MachineFile, FaultsReachTheDrive)
{
    const MachineSpec description = Parsed("drive d cdrom\nwithhold-inquiry 1 from-start 02/3A/00\n");
    VirtualDrive drive(description.drives[0].identity);
    drive.Faults() = description.drives[0].faults;
    const std::uint8_t inquiry[12] = {0x12, 0, 0, 0, 36};
    std::uint8_t data[36], sense[32] = {};
    EXPECT_EQ(drive.Execute(inquiry, 12, false, data, 36, sense, 32), TargetAnswer::CheckCondition);
    EXPECT_EQ(sense[12], 0x3A);
    EXPECT_EQ(drive.Execute(inquiry, 12, false, data, 36, sense, 32), TargetAnswer::Good);
}

TEST(MachineFile, TheExampleFileParses)
{
    // The sources are compiled by absolute path; the example sits two up.
    std::string root = __FILE__;
    root.erase(root.rfind("tests"));
    std::ifstream in(root + "examples/machine.txt");
    ASSERT_TRUE(in) << "examples/machine.txt";
    MachineSpec description;
    std::string error;
    EXPECT_TRUE(ParseMachineFile(in, description, error)) << error;
    EXPECT_FALSE(description.drives.empty());
}

} // namespace
