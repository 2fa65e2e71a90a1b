// The dialog says in words what a failed run means, on the line after the
// error line, and "sum.txt" says the same: the drive's answer in the T10
// wording, a request that never reached the drive, the system's refusal.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/failure_words.h"
#include "app/flash_dlg.h"
#include "device/win/scsi_records.h"
#include "res/resource.h"
#include "tests/portable/engine_fixture.h"
#include "tests/win/support/dialog_harness.h"

namespace {

using namespace engine_test;
using Lines = std::vector<std::string>;

struct WordsCase {
    const char* name;
    std::function<void(VirtualDrive&, VirtualMachine&)> fault;
    const char* errorLine; // how the run's own error line starts
    std::vector<const char*> words; // what the next line holds
};

class FailureWordsTest : public ::testing::TestWithParam<WordsCase> {};

TEST_P(FailureWordsTest, FollowTheErrorLineInTheLogAndInSumTxt)
{
    const WordsCase& c = GetParam();
    DialogHarness h;
    DialogHarness::RemoveFile("sum.txt");
    VirtualDrive& drive = h.machine.AddCdRom('d');
    DialogHarness::WriteFile("fw.bin", MakeImage(3 * 4096));
    DialogHarness::WriteModelList("\"KAVORA  CD-ROM VIRTUAL  \" \"fw.bin\" \"N\"\n");
    h.Open();
    c.fault(drive, h.machine);
    ASSERT_TRUE(h.UpgradeAndWait());

    // The error line, these words, the closing line, and what became of the
    // drive.
    const Lines log = h.LogLines();
    ASSERT_GE(log.size(), 4u);
    const std::string& error = log[log.size() - 4];
    const std::string& words = log[log.size() - 3];
    EXPECT_EQ(error.rfind(c.errorLine, 0), 0u) << error;
    for (const char* part : c.words)
        EXPECT_NE(words.find(part), std::string::npos) << words;
    EXPECT_EQ(log[log.size() - 2], "Flashing is incorrect!!");
    EXPECT_NE(DialogHarness::ReadFile("sum.txt").find(words + "\r\n"), std::string::npos);
}

const WordsCase kCases[] = {
    {"MediumError", [](VirtualDrive& d, VirtualMachine&) { d.FailBlock(1, 6); }, "Execute command errorA!!  3/ C/ 0",
     {"The drive answered: Medium Error, ", "(03/0C/00)", "a fault of its own"}},
    {"DownloadRefused", [](VirtualDrive& d, VirtualMachine&) { d.FailBlock(0, 6, {0x05, 0x20, 0x00}); },
     "Execute command errorA!!  5/20/ 0",
     {"Illegal Request, Invalid command operation code (05/20/00)",
      "The drive refuses firmware downloads: this image is not for this drive, or it needs another program."}},
    {"HeaderRefused", [](VirtualDrive& d, VirtualMachine&) { d.RefuseHeader(); }, "Execute command errorB!!",
     {"Illegal Request, Invalid field in parameter list (05/26/00)", "The drive refused the image"}},
    {"SaveRefused", [](VirtualDrive& d, VirtualMachine&) { d.RefuseSave(); }, "Execute command errorC!!",
     {"(05/2C/00)"}},
    {"UnitAttentionBeyondTheResends",
     [](VirtualDrive& d, VirtualMachine&) { d.FailBlock(2, 6, {0x06, 0x29, 0x00}); }, "Execute command errorA!!  6/29/ 0",
     {"Unit Attention, ", "(06/29/00)", "did not carry the command out"}},
    {"TransportFailure", [](VirtualDrive& d, VirtualMachine&) { d.FailTransportAt(1, 6); },
     "Execute command errorA!!  0/ 0/ 0",
     {"The request did not reach the drive: the adapter, its bus or its driver failed it", "(error 1117)"}},
    {"DriveGone",
     [](VirtualDrive&, VirtualMachine& m) {
         m.SetIoctlError(ERROR_DEV_NOT_EXIST);
         m.FailIoctl(scsi::IOCTL_SCSI_PASS_THROUGH_DIRECT);
     },
     "Execute command errorA!!  0/ 0/ 0",
     {"The system refused the request: ", "(error 55)", "The drive is gone: do not power off"}},
    {"RequestRefused",
     [](VirtualDrive&, VirtualMachine& m) {
         m.SetIoctlError(ERROR_ACCESS_DENIED);
         m.FailIoctl(scsi::IOCTL_SCSI_PASS_THROUGH_DIRECT);
     },
     "Execute command errorA!!  0/ 0/ 0", {"The system refused the request: ", "(error 5)"}},
};

INSTANTIATE_TEST_SUITE_P(Failures, FailureWordsTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Whatever the sense key, the whole line as the user reads it: the key's
// T10 name, the code's meaning, the codes, and the hint where one helps.
TEST(FailureWords, NameEverySenseKey)
{
    const std::string notReady = ", Logical unit not ready, cause not reportable (";
    const std::string ownFault = " The drive reports a fault of its own.";
    const std::string kLines[16] = {
        "",
        "The drive answered: Recovered Error" + notReady + "01/04/00).",
        "The drive answered: Not Ready" + notReady + "02/04/00).",
        "The drive answered: Medium Error" + notReady + "03/04/00)." + ownFault,
        "The drive answered: Hardware Error" + notReady + "04/04/00)." + ownFault,
        "The drive answered: Illegal Request" + notReady + "05/04/00).",
        "The drive answered: Unit Attention" + notReady +
            "06/04/00). The drive kept reporting a changed state and did not carry the command out: restart "
            "the computer and run the program again.",
        "The drive answered: Data Protect" + notReady + "07/04/00).",
        "The drive answered: Blank Check" + notReady + "08/04/00).",
        "The drive answered: Vendor specific(9)" + notReady + "09/04/00).",
        "The drive answered: Copy Aborted" + notReady + "0A/04/00).",
        "The drive answered: Aborted Command" + notReady + "0B/04/00).",
        "The drive answered: Equal" + notReady + "0C/04/00).",
        "The drive answered: Volume Overflow" + notReady + "0D/04/00).",
        "The drive answered: Miscompare" + notReady + "0E/04/00).",
        "The drive answered: Completed" + notReady + "0F/04/00).",
    };
    for (unsigned key = 1; key < 16; ++key) {
        RunOutcome outcome;
        outcome.end = RunEnd::NotSaved;
        outcome.failed = DriveCommand::Block;
        outcome.result.outcome = scsi::Outcome::CheckCondition;
        outcome.result.sense[2] = static_cast<std::uint8_t>(key);
        outcome.result.sense[12] = 0x04;
        EXPECT_EQ(FailureWords(outcome, true), kLines[key]) << "sense key " << key;
        // The flag bits beside the key change neither its name nor its codes.
        outcome.result.sense[2] = static_cast<std::uint8_t>(key | scsi::kSenseFlagBits);
        EXPECT_EQ(FailureWords(outcome, true), kLines[key]) << "sense key " << key << " with its flags";
    }
}

} // namespace

namespace {

// Through ASPI (9x) the failures that are not the drive's are the adapter's
// or the ASPI manager's, in their own codes.
TEST(FailureWords, AspiFailuresInTheirOwnCodes)
{
    RunOutcome outcome;
    outcome.end = RunEnd::NotSaved;
    outcome.failed = DriveCommand::Header;
    outcome.result.outcome = scsi::Outcome::TransportFailure;
    outcome.result.hostStatus = 0x11;
    EXPECT_EQ(FailureWords(outcome, false),
              "The request did not reach the drive: the host adapter failed it (ASPI adapter status 11h).");
    outcome.result.outcome = scsi::Outcome::SystemFailure;
    outcome.result.systemError = 0x81;
    EXPECT_EQ(FailureWords(outcome, false), "The ASPI manager refused the request (status 81h).");
}

} // namespace
