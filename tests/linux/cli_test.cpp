// kavora-cli's commands over virtual drives reached through the SG_IO
// transport: what they print, what they send, and their exit statuses.
#include <errno.h>
#include <unistd.h>

#include "tests/linux/cli_fixture.h"

namespace engine_test {
namespace {

TEST_F(Cli, UpgradePrintsTheDialogsLogLinesAndEndsUpgraded)
{
    VirtualDrive& drive = drives.Add("/dev/sr0");
    drive.RaiseUnitAttentions();
    WriteFile("IDString.txt", ListFor(kModel, "KV.hex"));
    Bytes image = MakeImage(0x8000);
    WriteFile("KV.hex", ToHex(image));

    EXPECT_EQ(Run({"upgrade"}), kExitUpgraded);
    const std::vector<std::string> lines = LinesOf(out.str());
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "It's only for");
    EXPECT_EQ(lines[1], std::string("(1) ") + kModel + ".");
    EXPECT_EQ(lines[2].rfind("Check Sum : ", 0), 0u);
    EXPECT_EQ(lines[3], "Please wait a minute.....");
    EXPECT_EQ(lines.back(), "Please Restart Your Computer.");
    EXPECT_NE(err.str().find("revision 1.10"), std::string::npos) << err.str();
    EXPECT_EQ(drive.SavesAccepted(), 1);
    EXPECT_FALSE(SumLines().empty());
}

// Every refusal comes before the first WRITE BUFFER, with status 1.
TEST_F(Cli, RefusalsWriteNothingAndExitWithOne)
{
    struct Case {
        const char* name;
        std::string list;
        Bytes image;        // written as KV.hex
        std::vector<const char*> words;
        bool mayWrite;
        const char* says;   // in the output or the notes
    } cases[] = {
        {"no list", "", MakeImage(0x1000), {"upgrade"}, true, "doesn't exist"},
        {"no matching drive", ListFor("OTHER   MODEL           ", "KV.hex"), MakeImage(0x1000), {"upgrade"},
         true, "CD-ROM drive model doesn't match!!"},
        {"named drive of another model", ListFor("OTHER   MODEL           ", "KV.hex"), MakeImage(0x1000),
         {"upgrade", "--drive", "/dev/sr0"}, true, "Drive model doesn't match!"},
        {"not a drive of this system", ListFor(kModel, "KV.hex"), MakeImage(0x1000),
         {"upgrade", "--drive", "/dev/null"}, true, "not a CD/DVD-class SCSI device"},
        {"no such node", ListFor(kModel, "KV.hex"), MakeImage(0x1000),
         {"upgrade", "--drive=/dev/sr9"}, true, "/dev/sr9: No such file or directory"},
        {"image for another revision", ListFor(kModel, "KV.hex"), MakeImage(0x1000, 0x100, "2.10"), {"upgrade"},
         true, "It is an incorrect firmware version!"},
        {"image of another kind", ListFor(kModel, "KV.img"), MakeImage(0x1000), {"upgrade"}, true,
         "Input file format mismatched."},
        {"missing image", ListFor(kModel, "none.hex"), MakeImage(0x1000), {"upgrade"}, true,
         "ERR: fail to open input file!"},
        {"no permission", ListFor(kModel, "KV.hex"), MakeImage(0x1000), {"upgrade"}, false, "CAP_SYS_RAWIO"},
        {"confirmation without a terminal", ListFor(kModel, "KV.hex", "Y"), MakeImage(0x1000), {"upgrade"}, true,
         "give --yes"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        drives = VirtualDrives();
        VirtualDrive& used = drives.Add("/dev/sr0");
        drives.mayWrite = c.mayWrite;
        std::remove("IDString.txt");
        if (!c.list.empty())
            WriteFile("IDString.txt", c.list);
        WriteFile("KV.hex", ToHex(c.image));
        EXPECT_EQ(Run(c.words), kExitRefused);
        EXPECT_EQ(Writes(used), 0);
        EXPECT_NE((out.str() + err.str()).find(c.says), std::string::npos) << out.str() << err.str();
    }
}

// A drive another run holds, through whichever of its nodes: refused after
// INQUIRY, naming the holder. A run holds its drive while it sends, and lets
// it go at its end.
TEST_F(Cli, ADriveAnotherRunHoldsIsRefused)
{
    drives.lockFolder = Path("lock");
    VirtualDrive& drive = drives.Add("/dev/sr0");
    drives.Alias("/dev/sg0", "/dev/sr0");
    WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
    WriteFile("KV.bin", MakeImage(5000));
    DriveLock other;
    std::string error;
    ASSERT_TRUE(other.Take(drives.lockFolder, "0:0:0:0", "/dev/sr0", error)) << error;
    const std::string holder = std::string(::program_invocation_short_name).substr(0, 15) + " (process " +
                               std::to_string(::getpid()) + ") holds " + drives.lockFolder +
                               "/kavora-cli-0:0:0:0.lock; wait for it to finish";
    for (const char* node : {"/dev/sg0", "/dev/sr0", ""}) {
        SCOPED_TRACE(node);
        std::vector<const char*> words = {"upgrade"};
        if (*node) {
            words.push_back("--drive");
            words.push_back(node);
        }
        EXPECT_EQ(Run(words), kExitRefused);
        EXPECT_NE(err.str().find(std::string("kavora-cli: ") + (*node ? node : "/dev/sr0") +
                                 " is being upgraded by another program: " + holder),
                  std::string::npos)
            << err.str();
    }
    EXPECT_EQ(Writes(drive), 0);
    for (const auto& request : drives.io.Requests())
        EXPECT_EQ(request.cdb[0], 0x12);

    other = DriveLock();
    bool heldDuringSave = false;
    drives.io.onSubmit = [&](int, const sg_io_hdr_t& r) {
        if (r.cmdp[0] == 0x3B && r.cmdp[1] == 0x07) {
            DriveLock second;
            std::string ignored;
            heldDuringSave = !second.Take(drives.lockFolder, "0:0:0:0", "/dev/sr0", ignored);
        }
    };
    EXPECT_EQ(Run({"upgrade", "--drive", "/dev/sg0"}), kExitUpgraded) << err.str();
    EXPECT_EQ(drive.SavesAccepted(), 1);
    EXPECT_TRUE(heldDuringSave);
    EXPECT_TRUE(other.Take(drives.lockFolder, "0:0:0:0", "/dev/sr0", error)) << error;
}

TEST_F(Cli, TwoDrivesOfTheListedModelNeedDrive)
{
    drives.Add("/dev/sr0");
    VirtualDrive& second = drives.Add("/dev/sr1");
    WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
    WriteFile("KV.bin", MakeImage(5000));
    EXPECT_EQ(Run({"upgrade"}), kExitRefused);
    EXPECT_NE(err.str().find("--drive"), std::string::npos);
    EXPECT_EQ(Run({"upgrade", "--drive", "/dev/sr1"}), kExitUpgraded);
    EXPECT_EQ(second.SavesAccepted(), 1);
}

TEST_F(Cli, ConfirmationOnTheTerminal)
{
    VirtualDrive& drive = drives.Add("/dev/sr0");
    WriteFile("IDString.txt", ListFor(kModel, "KV.bin", "Y"));
    WriteFile("KV.bin", MakeImage(5000));
    terminal = true;
    in.str("n\n");
    EXPECT_EQ(Run({"upgrade"}), kExitRefused);
    EXPECT_NE(err.str().find("Despite the above warning"), std::string::npos);
    EXPECT_EQ(Writes(drive), 0);
    in.clear();
    in.str("y\n");
    EXPECT_EQ(Run({"upgrade"}), kExitUpgraded);
    terminal = false;
    EXPECT_EQ(Run({"upgrade", "--yes"}), kExitUpgraded);
    EXPECT_EQ(drive.SavesAccepted(), 2);
}

// The dialog asks only for a field ending in Y or y; kavora-cli asks for
// anything but a plain Y or N, and says why.
TEST_F(Cli, ConfirmationFieldThatIsNotPlainlyYOrNAsks)
{
    const std::string noField = std::string("\"") + kModel + "\" \"KV.bin\"\n";
    struct Case {
        const char* name;
        std::string list;
        bool asks;
        const char* warning; // none: no word about the field
    } cases[] = {
        {"yes", ListFor(kModel, "KV.bin", "yes"), true,
         "kavora-cli: warning: IDString.txt:1: the confirmation field is \"yes\", not Y or N; an upgrade asks for "
         "confirmation"},
        {"Y and a blank", ListFor(kModel, "KV.bin", "Y "), true,
         "IDString.txt:1: the confirmation field is \"Y \", not Y or N; an upgrade asks for confirmation"},
        {"no field", noField, true,
         "IDString.txt:1: the line has no confirmation field; an upgrade asks for confirmation"},
        {"unclosed", noField.substr(0, noField.size() - 1) + " \"N\n", true,
         "IDString.txt:1: the confirmation field \"N\" has no closing quote; an upgrade asks for confirmation"},
        {"empty", ListFor(kModel, "KV.bin", ""), true, "the confirmation field is \"\", not Y or N"},
        {"N", ListFor(kModel, "KV.bin", "N"), false, nullptr},
        {"n", ListFor(kModel, "KV.bin", "n"), false, nullptr},
        {"Y", ListFor(kModel, "KV.bin", "Y"), true, nullptr},
        {"y", ListFor(kModel, "KV.bin", "y"), true, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        drives = VirtualDrives();
        VirtualDrive& drive = drives.Add("/dev/sr0");
        WriteFile("IDString.txt", c.list);
        WriteFile("KV.bin", MakeImage(5000));
        terminal = true;
        in.clear();
        in.str("n\n");
        EXPECT_EQ(Run({"upgrade"}), c.asks ? kExitRefused : kExitUpgraded);
        EXPECT_EQ(err.str().find("Despite the above warning") != std::string::npos, c.asks) << err.str();
        EXPECT_EQ(Writes(drive) == 0, c.asks);
        if (c.warning) {
            EXPECT_NE(err.str().find(c.warning), std::string::npos) << err.str();
        } else {
            EXPECT_EQ(err.str().find("confirmation field"), std::string::npos) << err.str();
        }
        // --yes still answers for the user.
        EXPECT_EQ(Run({"upgrade", "--yes"}), kExitUpgraded);
        EXPECT_EQ(err.str().find("Despite the above warning"), std::string::npos);
    }
}

// After a write, the status says whether the drive can still have its old
// firmware (2) or may be half way through taking the new one (3); a failure
// of the transport or of the system is told in words, never as drive sense.
TEST_F(Cli, FailuresAfterTheFirstWriteSayWhetherTheSaveWasTaken)
{
    struct Case {
        const char* name;
        std::function<void(VirtualDrive&, VirtualSgIo&)> inject;
        int status;
        const char* explains;
    } cases[] = {
        {"block refused six times", [](VirtualDrive& d, VirtualSgIo&) { d.FailBlock(1, 6); }, kExitNotSaved,
         "drive's sense 03/0C/00: Medium Error"},
        {"header refused", [](VirtualDrive& d, VirtualSgIo&) { d.RefuseHeader(1); }, kExitNotSaved,
         "drive's sense 05/26/00: Illegal Request"},
        {"adapter fails every block", [](VirtualDrive& d, VirtualSgIo&) { d.FailTransportAt(1, 6); },
         kExitNotSaved, "transport failure, not an answer of the drive: host status 0x07 (DID_ERROR)"},
        {"drive vanishes in the transfer", [](VirtualDrive&, VirtualSgIo& io) { io.FailFrom(3, ENODEV); },
         kExitNotSaved, "the drive is gone from the system"},
        {"drive unplugged in the transfer",
         [this](VirtualDrive& d, VirtualSgIo&) {
             d.FailTransportAt(2, 10);
             drives.gone.insert("/dev/sr0");
         },
         kExitNotSaved, "/dev/sr0 is gone from the system"},
        {"save lost in transport", [](VirtualDrive& d, VirtualSgIo&) { d.FailTransportAt(4, 3); },
         kExitStateUnknown, "the save command got no answer"},
        {"busy for ever after the save", [](VirtualDrive& d, VirtualSgIo&) { d.SetBusyPolls(kForever); },
         kExitStateUnknown, "the drive had not said it was ready when the program stopped waiting: it may still be "
                            "programming its flash. Do not power it off"},
        {"save never answered in its time",
         [](VirtualDrive& d, VirtualSgIo& io) {
             io.transportHostStatus = 0x03; // DID_TIME_OUT: the kernel gave up waiting
             d.FailTransportAt(4); // after INQUIRY, two blocks and the header
         },
         kExitStateUnknown, "the save command failed: transport failure, not an answer of the drive: host "
                            "status 0x03 (DID_TIME_OUT), driver status 0x00 (DRIVER_OK); the drive did not "
                            "answer within the command's time-out of 300 s"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        drives = VirtualDrives();
        VirtualDrive& drive = drives.Add("/dev/sr0");
        c.inject(drive, drives.io);
        WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
        WriteFile("KV.bin", MakeImage(5000)); // two blocks
        EXPECT_EQ(Run({"upgrade"}), c.status);
        EXPECT_NE((out.str() + err.str()).find(c.explains), std::string::npos) << out.str() << err.str();
        EXPECT_EQ(LinesOf(out.str()).back(), "Flashing is incorrect!!");
        if (c.status == kExitNotSaved) {
            EXPECT_EQ(drive.SavesAccepted(), 0);
        }
    }
}

// Ctrl-C before the last block stops the run before anything is saved; after
// it, the run goes on to its end.
TEST_F(Cli, StopRequestHonouredOnlyBeforeTheLastBlock)
{
    struct Case {
        const char* name;
        std::size_t atRequest; // INQUIRY is request 0, the blocks follow
        int status;
    } cases[] = {
        {"during the transfer", 2, kExitNotSaved},
        {"at the header", 4, kExitUpgraded},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        drives = VirtualDrives();
        VirtualDrive& drive = drives.Add("/dev/sr0");
        drives.io.onRequest = [&](std::size_t index) {
            if (index == c.atRequest)
                std::raise(SIGINT);
        };
        WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
        WriteFile("KV.bin", MakeImage(3 * 4096));
        EXPECT_EQ(Run({"upgrade"}), c.status);
        const std::vector<std::string> lines = LinesOf(out.str());
        if (c.status == kExitNotSaved) {
            EXPECT_EQ(lines[lines.size() - 2], "ERR: terminate upgrade/backup flash!");
            EXPECT_EQ(drive.SavesAccepted(), 0);
            EXPECT_NE(err.str().find("stopped before the save command"), std::string::npos);
        } else {
            EXPECT_EQ(lines.back(), "Please Restart Your Computer.");
            EXPECT_NE(err.str().find("Do not power it off"), std::string::npos);
            EXPECT_EQ(drive.SavesAccepted(), 1);
        }
    }
}

// The drive took the save and finished programming, then never identified
// itself again: the dialog's log says the run went well, but nobody knows
// what firmware the drive now runs.
TEST_F(Cli, DriveThatNeverAnswersAgainIsInAnUnknownState)
{
    VirtualDrive& drive = drives.Add("/dev/sr0");
    drive.WithholdInquiry(11);
    WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
    WriteFile("KV.bin", MakeImage(5000));
    EXPECT_EQ(Run({"upgrade"}), kExitStateUnknown);
    EXPECT_EQ(LinesOf(out.str()).back(), "Please Restart Your Computer.");
    EXPECT_NE(err.str().find("did not answer INQUIRY again. Its state is unknown: shut the computer down"),
              std::string::npos)
        << err.str();
    EXPECT_NE(err.str().find("'kavora-cli list' shows the revision it reports"), std::string::npos) << err.str();
    EXPECT_EQ(err.str().find("upgraded"), std::string::npos) << err.str();
}

// No command may hold the terminal for the Windows program's 18 hours: each
// goes with a time-out that fits it, the save with the longest.
TEST_F(Cli, EachCommandGoesWithATimeOutThatFitsIt)
{
    drives.Add("/dev/sr0").RaiseUnitAttentions();
    WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
    WriteFile("KV.bin", MakeImage(5000));
    ASSERT_EQ(Run({"upgrade"}), kExitUpgraded);
    std::map<std::string, std::set<unsigned>> seen;
    for (const VirtualSgIo::Request& r : drives.io.Requests()) {
        const std::string kind = r.cdb[0] == 0x12   ? "inquiry"
                                 : r.cdb[0] == 0x00 ? "ready poll"
                                 : r.cdb[1] == 0x07 ? "save"
                                                    : "write";
        seen[kind].insert(r.timeout);
    }
    EXPECT_EQ(seen, (std::map<std::string, std::set<unsigned>>{
                        {"inquiry", {20000}}, {"ready poll", {20000}}, {"write", {60000}}, {"save", {300000}}}));
}

// On a terminal the bar follows the run's plan: its figure never goes back,
// through a resent block and unit attentions, and reaches 100 at the end.
TEST_F(Cli, ProgressBarNeverGoesBack)
{
    VirtualDrive& drive = drives.Add("/dev/sr0");
    drive.FailBlock(2, 2);
    drive.RaiseUnitAttentions();
    drive.SetBusyPolls(3);
    WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
    WriteFile("KV.bin", MakeImage(0x20000));
    outputIsTerminal = true;
    ASSERT_EQ(Run({"upgrade"}), kExitUpgraded);
    std::vector<int> shown;
    const std::string text = err.str();
    for (std::size_t at = text.find("] "); at != std::string::npos; at = text.find("] ", at + 1))
        shown.push_back(std::atoi(text.c_str() + at + 2));
    ASSERT_GT(shown.size(), 32u);
    for (std::size_t k = 1; k < shown.size(); ++k)
        EXPECT_GE(shown[k], shown[k - 1]) << "at bar " << k;
    EXPECT_EQ(shown.back(), 100);
}

TEST_F(Cli, ListShowsEveryDriveAndMarksTheListedOnes)
{
    drives.Add("/dev/sr0");
    DriveIdentity other;
    other.vendor = "OTHER";
    other.product = std::string("DRIVE\0X", 7);
    other.revision = "2.00";
    drives.Add("/dev/sr1", other);
    WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
    EXPECT_EQ(Run({"list"}), 0);
    EXPECT_EQ(LinesOf(out.str()),
              (std::vector<std::string>{"/dev/sr0  \"KAVORA  CD-ROM VIRTUAL  \"  1.00  <- IDString.txt",
                                        "/dev/sr1  \"OTHER   DRIVE\\x00X         \"  2.00"}));
}

TEST_F(Cli, CheckSendsNothingButInquiry)
{
    VirtualDrive& drive = drives.Add("/dev/sr0");
    WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
    WriteFile("KV.bin", MakeImage(5000));
    WriteFile("old.bin", MakeImage(5000, 0x100, "0.90"));
    EXPECT_EQ(Run({"check"}), kExitUpgraded);
    EXPECT_NE(out.str().find("Check Sum : "), std::string::npos);
    EXPECT_EQ(Run({"check", "old.bin"}), kExitRefused);
    EXPECT_NE(out.str().find("It is an incorrect firmware version!"), std::string::npos);
    for (const ReceivedCommand& c : drive.Commands())
        EXPECT_EQ(c.cdb[0], 0x12);
}

TEST(CliOptions, FormsOfTheCommandLine)
{
    struct Case {
        std::vector<const char*> words;
        bool ok;
        CliCommand command;
    } cases[] = {
        {{"list"}, true, CliCommand::List},
        {{"list", "--list", "x.txt"}, true, CliCommand::List},
        {{"list", "--drive", "/dev/sr0"}, false, CliCommand::None},
        {{"check", "--drive", "/dev/sg1", "fw.hex"}, true, CliCommand::Check},
        {{"upgrade", "--yes", "fw.bin"}, true, CliCommand::Upgrade},
        {{"upgrade", "a.bin", "b.bin"}, false, CliCommand::None},
        {{"upgrade", "--drive"}, false, CliCommand::None},
        {{"flash"}, false, CliCommand::None},
        {{"--frobnicate"}, false, CliCommand::None},
        {{}, false, CliCommand::None},
        {{"upgrade", "--help"}, true, CliCommand::Help},
        {{"upgrade", "-a", "-y"}, true, CliCommand::Upgrade},
        {{"upgrade", "-d", "/dev/sr0", "--drive=/dev/sr1"}, true, CliCommand::Upgrade},
    };
    for (Case& c : cases) {
        c.words.insert(c.words.begin(), "kavora-cli");
        CliOptions options;
        std::string error;
        EXPECT_EQ(ParseOptions(static_cast<int>(c.words.size()), c.words.data(), options, error), c.ok)
            << error;
        if (c.ok) {
            EXPECT_EQ(options.command, c.command);
        } else {
            EXPECT_FALSE(error.empty());
        }
    }
}

} // namespace
} // namespace engine_test
