// Several drives at once: each run is its own, in faults, in the stop rule
// and in its status; the program's status is the worst of theirs.
#include <errno.h>
#include <unistd.h>

#include <condition_variable>
#include <mutex>

#include <nlohmann/json.hpp>

#include "cli/stop_signals.h"
#include "tests/linux/cli_fixture.h"

namespace engine_test {
namespace {

constexpr int kFine = 0;
constexpr int kBlockFails = 1;
constexpr int kBusyForEver = 2;
constexpr int kNeverAnswersAgain = 3;

class Tower : public Cli {
protected:
    // One drive per entry, /dev/sr0 on, with the fault the entry names.
    void Lay(const std::vector<int>& faults)
    {
        drives = VirtualDrives();
        for (std::size_t k = 0; k < faults.size(); ++k) {
            VirtualDrive& drive = drives.Add("/dev/sr" + std::to_string(k));
            drive.RaiseUnitAttentions();
            if (faults[k] == kBlockFails)
                drive.FailBlock(1, 6);
            else if (faults[k] == kBusyForEver)
                drive.SetBusyPolls(kForever);
            else if (faults[k] == kNeverAnswersAgain)
                drive.WithholdInquiry(11);
            driveOf.push_back(&drive);
        }
        WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
        WriteFile("KV.bin", MakeImage(3 * 4096));
    }
    std::vector<VirtualDrive*> driveOf;
};

TEST_F(Tower, EachDriveFaresOnItsOwnAndTheWorstIsTheStatus)
{
    struct Case {
        std::vector<int> faults;
        int status;
    } cases[] = {
        {{kFine, kFine, kFine}, kExitUpgraded},
        {{kFine, kBlockFails, kFine}, kExitNotSaved},
        {{kBusyForEver, kFine}, kExitStateUnknown},
        {{kBlockFails, kNeverAnswersAgain}, kExitStateUnknown},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.faults));
        driveOf.clear();
        Lay(c.faults);
        for (const char* file : {"sum.txt", "sum-sr0.txt", "sum-sr1.txt", "sum-sr2.txt"})
            std::remove(file);
        EXPECT_EQ(Run({"upgrade", "--all"}), c.status) << err.str();
        for (std::size_t k = 0; k < c.faults.size(); ++k) {
            const std::string name = "sr" + std::to_string(k);
            const bool saves = c.faults[k] != kBlockFails;
            EXPECT_EQ(driveOf[k]->SavesAccepted(), saves ? 1 : 0) << name;
            EXPECT_TRUE(std::filesystem::exists("sum-" + name + ".txt")) << name;
            // Its log lines under its name, and its line in the table.
            EXPECT_NE(out.str().find(name + ": Please wait a minute....."), std::string::npos) << out.str();
            const char* result = c.faults[k] == kFine               ? "upgraded (exit 0)"
                                 : c.faults[k] == kBlockFails       ? "not saved (exit 2)"
                                 : c.faults[k] == kBusyForEver      ? "never ready (exit 3)"
                                                                    : "never identified (exit 3)";
            EXPECT_NE(err.str().find("/dev/" + name), std::string::npos);
            EXPECT_NE(err.str().find(result), std::string::npos) << name << "\n" << err.str();
        }
        EXPECT_FALSE(std::filesystem::exists("sum.txt"));
    }
}

// --all takes only the drives the list names and the image is for; the rest
// are named with the reason, and nothing is sent to them but INQUIRY.
TEST_F(Tower, DrivesThatFailACheckAreNamedAndNotTouched)
{
    drives.Add("/dev/sr0");
    DriveIdentity other;
    other.vendor = "OTHER   ";
    drives.Add("/dev/sr1", other);
    DriveIdentity later;
    later.revision = "2.00";
    drives.Add("/dev/sr2", later);
    WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
    WriteFile("KV.bin", MakeImage(5000));
    EXPECT_EQ(Run({"upgrade", "--all", "--json"}), kExitUpgraded);
    EXPECT_NE(err.str().find("kavora-cli: /dev/sr1: not upgraded: it is \"OTHER   CD-ROM VIRTUAL  \""),
              std::string::npos)
        << err.str();
    EXPECT_NE(err.str().find("kavora-cli: /dev/sr2: not upgraded: the image does not carry its model with "
                             "revision \"2.\""),
              std::string::npos);
    for (const auto& request : drives.io.Requests())
        EXPECT_TRUE(request.fd == 100 || request.cdb[0] == 0x12) << "fd " << request.fd;
    // They are in the table and the JSON as refused; drives --all comes
    // across that are not for this upgrade leave the status alone.
    EXPECT_NE(err.str().find("/dev/sr1  \"OTHER   CD-ROM VIRTUAL  \"  1.00           refused (exit 1): it is "),
              std::string::npos)
        << err.str();
    const nlohmann::json table = nlohmann::json::parse(LinesOf(out.str()).back());
    ASSERT_EQ(table["drives"].size(), 3u);
    EXPECT_EQ(table["drives"][0]["node"], "/dev/sr0");
    EXPECT_EQ(table["drives"][0]["result"], "upgraded");
    for (int k : {1, 2}) {
        EXPECT_EQ(table["drives"][k]["node"], "/dev/sr" + std::to_string(k));
        EXPECT_EQ(table["drives"][k]["result"], "refused");
        EXPECT_EQ(table["drives"][k]["exitStatus"], 1);
    }
    EXPECT_EQ(table["drives"][2]["revisionBefore"], "2.00");
    EXPECT_EQ(table["drives"][2]["reason"], "the image does not carry its model with revision \"2.\"");
    EXPECT_EQ(table["exitStatus"], 0);

    EXPECT_EQ(Run({"upgrade", "-d", "/dev/sr1", "-d", "/dev/sr9"}), kExitRefused);
    EXPECT_NE(err.str().find("/dev/sr9: not upgraded: No such file or directory"), std::string::npos);
}

// Every drive the user named is accounted for: one that is not there, or is
// not for this upgrade, has its line in the table and its entry in the JSON,
// and the status is at least 1 for it, whatever the others did.
TEST_F(Tower, EveryNamedDriveIsAccountedFor)
{
    VirtualDrive& first = drives.Add("/dev/sr0");
    DriveIdentity other;
    other.vendor = "OTHER   ";
    drives.Add("/dev/sr1", other);
    WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
    WriteFile("KV.bin", MakeImage(5000));

    EXPECT_EQ(Run({"upgrade", "--json", "-d", "/dev/sr0", "-d", "/dev/missing", "-d", "/dev/sr1", "-d",
                   "/dev/missing"}),
              kExitRefused);
    EXPECT_EQ(first.SavesAccepted(), 1);
    EXPECT_NE(err.str().find("upgraded (exit 0)"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("/dev/missing" + std::string(43, ' ') +
                             "missing (exit 1): No such file or directory"),
              std::string::npos)
        << err.str();
    EXPECT_NE(err.str().find("refused (exit 1): it is \"OTHER   CD-ROM VIRTUAL  \", not the model the list names"),
              std::string::npos)
        << err.str();
    const nlohmann::json table = nlohmann::json::parse(LinesOf(out.str()).back());
    EXPECT_EQ(table["exitStatus"], kExitRefused);
    ASSERT_EQ(table["drives"].size(), 3u) << table.dump(); // the missing one once
    EXPECT_EQ(table["drives"][0]["node"], "/dev/sr0");
    EXPECT_EQ(table["drives"][0]["result"], "upgraded");
    EXPECT_EQ(table["drives"][0]["exitStatus"], 0);
    const nlohmann::json missing = {{"node", "/dev/missing"},   {"model", ""},
                                    {"revisionBefore", ""},     {"result", "missing"},
                                    {"exitStatus", kExitRefused}, {"reason", "No such file or directory"}};
    EXPECT_EQ(table["drives"][1], missing);
    EXPECT_EQ(table["drives"][2]["node"], "/dev/sr1");
    EXPECT_EQ(table["drives"][2]["result"], "refused");
    EXPECT_EQ(table["drives"][2]["model"], "OTHER   CD-ROM VIRTUAL  ");

    // None of them there: nothing to upgrade, as before.
    EXPECT_EQ(Run({"upgrade", "--json", "-d", "/dev/missing", "-d", "/dev/sr9"}), kExitRefused);
    EXPECT_NE(err.str().find("kavora-cli: no drive to upgrade"), std::string::npos) << err.str();
    EXPECT_EQ(out.str().find("\"drives\""), std::string::npos) << out.str();
}

// Behind a SATA port multiplier two drives share host and target and differ
// by channel; a target can hold two LUNs. Each is a drive of its own, and a
// drive named by both its nodes is one. LUNs of one target are parts of one
// device, where a download to one raises unit attentions on the other: they
// are upgraded one after the other.
TEST_F(Tower, DrivesTellApartByTheirWholeAddress)
{
    struct Case {
        const char* name;
        const char* second; // the second drive's host:channel:target:lun
        std::vector<const char*> words;
        bool oneTarget;
    } cases[] = {
        {"--all, by channel", "0:1:0:0", {"upgrade", "--all"}, false},
        {"--all, by LUN", "0:0:0:1", {"upgrade", "--all"}, true},
        {"named, by channel", "0:1:0:0", {"upgrade", "-d", "/dev/sr0", "-d", "/dev/sr1"}, false},
        {"named, by LUN", "0:0:0:1", {"upgrade", "-d", "/dev/sr0", "-d", "/dev/sr1"}, true},
        {"named by both nodes", "0:0:0:1", {"upgrade", "-d", "/dev/sr0", "-d", "/dev/sg0", "-d", "/dev/sr1"},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        drives = VirtualDrives();
        VirtualDrive& first = drives.Add("/dev/sr0", {}, "0:0:0:0");
        VirtualDrive& second = drives.Add("/dev/sr1", {}, c.second);
        drives.Alias("/dev/sg0", "/dev/sr0");
        WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
        WriteFile("KV.bin", MakeImage(5000));
        EXPECT_EQ(Run(c.words), kExitUpgraded) << err.str();
        EXPECT_EQ(first.SavesAccepted(), 1);
        EXPECT_EQ(second.SavesAccepted(), 1);
        EXPECT_NE(err.str().find(c.oneTarget ? "upgrading 2 drives (LUNs of one target one after another): "
                                               "/dev/sr0 /dev/sr1"
                                             : "upgrading 2 drives at once: /dev/sr0 /dev/sr1"),
                  std::string::npos)
            << err.str();
        if (c.oneTarget) {
            // Every WRITE BUFFER of one drive before any of the other's.
            std::vector<int> writers;
            for (const VirtualSgIo::Request& r : drives.io.Requests())
                if (!r.cdb.empty() && r.cdb[0] == 0x3B && (writers.empty() || writers.back() != r.fd))
                    writers.push_back(r.fd);
            EXPECT_EQ(writers.size(), 2u);
        }
    }
}

// Under a tower every -v line names its drive, as its log lines do, and a
// tower of one drive is one drive.
TEST_F(Tower, TraceLinesNameTheirDrive)
{
    Lay({kFine, kFine});
    drives.Alias("/dev/sg0", "/dev/sr0");
    ASSERT_EQ(Run({"upgrade", "-v", "--all"}), kExitUpgraded) << err.str();
    int traced = 0;
    for (const std::string& line : LinesOf(err.str())) {
        if (line.find("cdb: ") == std::string::npos && line.find(", time-out ") == std::string::npos)
            continue;
        ++traced;
        EXPECT_TRUE(line.rfind("sr0:     ", 0) == 0 || line.rfind("sr1:     ", 0) == 0) << line;
    }
    EXPECT_GT(traced, 8);
    EXPECT_NE(err.str().find("\nsr1:     Write buffer, download microcode with offsets and activate cdb: 3b 06"),
              std::string::npos)
        << err.str();

    ASSERT_EQ(Run({"upgrade", "-d", "/dev/sr0", "-d", "/dev/sg0"}), kExitUpgraded) << err.str();
    EXPECT_NE(err.str().find("kavora-cli: upgrading 1 drive: /dev/sr0\n"), std::string::npos) << err.str();
}

// In a tower too, a drive another run holds gets nothing but INQUIRY; it is
// in the table and the JSON as refused, and the status is at least 1 for
// it. The drives this run took are held until they are done.
TEST_F(Tower, ADriveAnotherRunHoldsIsRefused)
{
    drives.lockFolder = Path("lock");
    VirtualDrive& held = drives.Add("/dev/sr0");
    VirtualDrive& free = drives.Add("/dev/sr1");
    WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
    WriteFile("KV.bin", MakeImage(5000));
    DriveLock other;
    std::string error;
    ASSERT_TRUE(other.Take(drives.lockFolder, "0:0:0:0", "/dev/sr0", error)) << error;

    bool heldDuringSave = false;
    drives.io.onSubmit = [&](int fd, const sg_io_hdr_t& r) {
        if (fd == 101 && r.cmdp[0] == 0x3B && r.cmdp[1] == 0x07) {
            DriveLock second;
            std::string ignored;
            heldDuringSave = !second.Take(drives.lockFolder, "0:0:1:0", "/dev/sr1", ignored);
        }
    };
    EXPECT_EQ(Run({"upgrade", "--all", "--json"}), kExitRefused);
    EXPECT_EQ(Writes(held), 0);
    EXPECT_EQ(free.SavesAccepted(), 1);
    EXPECT_TRUE(heldDuringSave);
    const std::string holds = "kavora-cli: /dev/sr0: not upgraded: /dev/sr0 is being upgraded by another "
                              "program: " +
                              std::string(::program_invocation_short_name).substr(0, 15) + " (process " +
                              std::to_string(::getpid()) + ") holds " + drives.lockFolder +
                              "/kavora-cli-0:0:0:0.lock; wait for it to finish";
    EXPECT_NE(err.str().find(holds), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("refused (exit 1): /dev/sr0 is being upgraded by another program"), std::string::npos)
        << err.str();
    const nlohmann::json table = nlohmann::json::parse(LinesOf(out.str()).back());
    ASSERT_EQ(table["drives"].size(), 2u);
    EXPECT_EQ(table["drives"][1]["node"], "/dev/sr0");
    EXPECT_EQ(table["drives"][1]["result"], "refused");
    EXPECT_EQ(table["drives"][1]["model"], kModel);
    EXPECT_EQ(table["exitStatus"], kExitRefused);
    EXPECT_TRUE(other.Take(drives.lockFolder, "0:0:1:0", "/dev/sr1", error)) << error;
}

// Ctrl-C while one drive takes its last block and another is still at its
// first: the first goes on to its end, the second stops before its save.
TEST_F(Tower, StopReachesEveryDriveThatCanStillStop)
{
    Lay({kFine, kFine});
    std::mutex mutex;
    std::condition_variable raised;
    bool done = false;
    bool heldSecond = false;
    drives.io.onSubmit = [&](int fd, const sg_io_hdr_t& r) {
        const bool block = r.cmdp[0] == 0x3B && r.cmdp[1] == 0x06 && r.dxfer_len == 4096;
        if (!block)
            return;
        const std::uint32_t offset = (r.cmdp[3] << 16) | (r.cmdp[4] << 8) | r.cmdp[5];
        std::unique_lock<std::mutex> hold(mutex);
        if (fd == 100 && offset == 0x20 + 2 * 4096 && !done) {
            // The second drive is at its first block by now.
            raised.wait_for(hold, std::chrono::seconds(10), [&] { return heldSecond; });
            std::raise(SIGINT);
            done = true;
            raised.notify_all();
        } else if (fd == 101 && !heldSecond) {
            heldSecond = true;
            raised.notify_all();
            raised.wait_for(hold, std::chrono::seconds(10), [&] { return done; });
        }
    };
    EXPECT_EQ(Run({"upgrade", "--all"}), kExitNotSaved);
    EXPECT_EQ(driveOf[0]->SavesAccepted(), 1);
    EXPECT_EQ(driveOf[1]->SavesAccepted(), 0);
    EXPECT_NE(err.str().find("kavora-cli: sr0: stop request ignored"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("sr1: stopped before the save command"), std::string::npos);
    EXPECT_NE(err.str().find("stopped (exit 2)"), std::string::npos);
    EXPECT_NE(err.str().find("upgraded (exit 0)"), std::string::npos);
}

// The signals reach a fixed number of runs: a tower of more drives is refused
// before anything is sent, and the signals refuse to take more stops.
TEST_F(Tower, MoreDrivesThanTheSignalsCanStopAreRefusedAtTheStart)
{
    Lay(std::vector<int>(StopOnSignals::kMaxStops + 1, kFine));
    EXPECT_EQ(Run({"upgrade", "--all", "--yes"}), kExitRefused);
    EXPECT_NE(err.str().find("65 drives to upgrade, more than the 64 one run of the program can take at once"),
              std::string::npos)
        << err.str();
    for (const VirtualDrive* drive : driveOf)
        EXPECT_EQ(Writes(*drive), 0);

    std::vector<StopRequest> requests(StopOnSignals::kMaxStops + 1);
    std::vector<StopRequest*> stops;
    for (StopRequest& request : requests)
        stops.push_back(&request);
    EXPECT_THROW(StopOnSignals{stops}, std::length_error);
    stops.pop_back();
    EXPECT_NO_THROW(StopOnSignals{stops});
}

// On a terminal each drive has its progress line under the log; every write
// takes the lines away first, and at the end they go for good, before the
// table.
TEST_F(Tower, ProgressLinesStayUnderTheLogAndGoAtTheEnd)
{
    Lay({kFine, kFine});
    outputIsTerminal = true;
    ASSERT_EQ(Run({"upgrade", "-d", "/dev/sr0", "-d", "/dev/sr1"}), kExitUpgraded) << err.str();
    const std::string text = err.str();
    const std::string away = "\r\033[2A\033[J";
    for (const char* bar : {"sr0 [", "sr1 ["})
        EXPECT_NE(text.find(bar), std::string::npos) << text;
    // Each note arrives with the two lines taken away before it and drawn after it.
    const std::size_t note = text.find("kavora-cli: sr0: ");
    ASSERT_NE(note, std::string::npos);
    EXPECT_EQ(text.rfind(away, note) + away.size(), note) << text;
    // Nothing is drawn after the board ends: the table is the last word.
    const std::size_t table = text.find("node      model");
    ASSERT_NE(table, std::string::npos);
    EXPECT_EQ(text.find("\033[K\n", table), std::string::npos);
    EXPECT_EQ(text.find(" [#", table), std::string::npos);

    // Each line within the terminal's width, less its last column: a line
    // that wrapped would not be taken away whole.
    columns = 45;
    ASSERT_EQ(Run({"upgrade", "-d", "/dev/sr0", "-d", "/dev/sr1"}), kExitUpgraded) << err.str();
    const std::string narrow = err.str();
    int lines = 0;
    for (std::size_t end = narrow.find("\033[K\n"); end != std::string::npos; end = narrow.find("\033[K\n", end + 1)) {
        const std::size_t newline = narrow.rfind('\n', end);
        const std::size_t cleared = narrow.rfind("\033[J", end);
        const std::size_t from = std::max(newline == std::string::npos ? 0 : newline + 1,
                                          cleared == std::string::npos ? 0 : cleared + 3);
        ++lines;
        EXPECT_LT(end - from, 45u) << narrow.substr(from, end - from);
    }
    EXPECT_GT(lines, 4);
}

} // namespace
} // namespace engine_test
