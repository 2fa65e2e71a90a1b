// What kavora-cli says a run came to: from what the drive reports after the
// save, compared with what it reported before, and along the way every
// resend and every file it cannot write.
#include <filesystem>

#include <nlohmann/json.hpp>

#include "cli/verdict.h"
#include "tests/linux/cli_fixture.h"

namespace engine_test {
namespace {

// The identity the drive answers with after programming decides the result,
// not the closing line alone.
TEST_F(Cli, ResultComesFromTheIdentityTheDriveReportsAfterTheSave)
{
    struct Case {
        const char* name;
        const char* imageRevision;
        const char* productAfterSave; // empty: the product stays
        int status;
        const char* result;
        const char* says;
    } cases[] = {
        {"another revision", "1.10", "", kExitUpgraded, "upgraded",
         "kavora-cli: upgraded: the drive now reports revision 1.10; it reported 1.00 before."},
        {"the same revision", "1.00", "", kExitUpgraded, "same revision",
         "the drive took the image but still reports revision 1.00, as before"},
        {"another model", "1.10", "OTHER DRIVE     ", kExitStateUnknown, "another model",
         "now answers as another model, \"KAVORA  OTHER DRIVE     \" revision 1.10. Its state is unknown"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        drives = VirtualDrives();
        VirtualDrive& drive = drives.Add("/dev/sr0");
        drive.Faults().productAfterSave = c.productAfterSave;
        WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
        WriteFile("KV.bin", MakeImage(5000, 0x100, c.imageRevision));
        EXPECT_EQ(Run({"upgrade", "--json"}), c.status);
        EXPECT_NE(err.str().find(c.says), std::string::npos) << err.str();
        // With --json the log goes with the notes; the summary is all
        // standard output holds.
        EXPECT_NE(err.str().find("\nPlease Restart Your Computer.\n"), std::string::npos) << err.str();
        EXPECT_EQ(jsonKind, CliJsonKind::Upgrade);
        const nlohmann::json summary = nlohmann::json::parse(out.str());
        EXPECT_EQ(summary["result"], c.result);
        EXPECT_EQ(summary["model"], kModel) << "the model the run began with";
        EXPECT_EQ(summary["modelAfter"], drive.ModelText());
        EXPECT_EQ(summary["exitStatus"], c.status);
    }
}

// A run the engine refused says why in its summary, never an empty
// explanation: a script must not be left to guess.
TEST(CliSummary, ARefusedRunSaysWhy)
{
    Chosen drive;
    drive.name.path = "/dev/sr0";
    for (const RefusalReason reason : {RefusalReason::None, RefusalReason::ImageUnreadable,
                                       RefusalReason::ImageFormat, RefusalReason::NoMemory,
                                       RefusalReason::WrongImage}) {
        RunOutcome outcome;
        outcome.end = RunEnd::Refused;
        outcome.refusal = reason;
        const nlohmann::json summary = SummaryJson(outcome, drive, kExitRefused);
        EXPECT_EQ(summary["result"], "refused");
        EXPECT_EQ(summary["explanation"].get<std::string>().rfind("refused before anything was sent: ", 0), 0u)
            << summary;
        EXPECT_GT(summary["explanation"].get<std::string>().size(), 34u) << summary;
    }
}

// Each command sent again after a failure is said, with the answer that
// made it go again; the resend after a unit attention, which conforming
// drives raise after every download, is routine and goes without a word.
TEST_F(Cli, EveryResendIsSaidWithItsReason)
{
    VirtualDrive& drive = drives.Add("/dev/sr0");
    drive.FailBlock(1, 2, {0x03, 0x0C, 0x00});
    drive.RefuseSave(1, {0x06, 0x29, 0x00});
    WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
    WriteFile("KV.bin", MakeImage(5000));
    EXPECT_EQ(Run({"upgrade"}), kExitUpgraded);
    for (const char* said : {
             "kavora-cli: resending the block at image offset 0x1000, 2 of 6: drive's sense 03/0C/00: Medium Error, "
             "Write error\n",
             "kavora-cli: resending the block at image offset 0x1000, 3 of 6: "})
        EXPECT_NE(err.str().find(said), std::string::npos) << said << "\n" << err.str();
    EXPECT_EQ(err.str().find("4 of 6"), std::string::npos);
    EXPECT_EQ(err.str().find("resending the save command"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("kavora-cli: 1 command was sent again after a unit attention"), std::string::npos)
        << err.str();
    EXPECT_EQ(drive.SavesAccepted(), 1);
}

// The diagnostics file is the user's record, not a condition of the run:
// one that cannot be opened is named with the cause, and the run goes on.
TEST_F(Cli, DiagnosticsFileThatCannotBeOpenedIsNamedAndTheRunGoesOn)
{
    VirtualDrive& drive = drives.Add("/dev/sr0");
    std::filesystem::create_directory("sum.txt");
    WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
    WriteFile("KV.bin", MakeImage(5000));
    EXPECT_EQ(Run({"upgrade"}), kExitUpgraded);
    EXPECT_NE(err.str().find("kavora-cli: warning: cannot open the diagnostics file sum.txt (Is a directory); the "
                             "upgrade goes on without it"),
              std::string::npos)
        << err.str();
    EXPECT_EQ(drive.SavesAccepted(), 1);
}

} // namespace
} // namespace engine_test
