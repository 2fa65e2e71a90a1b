#include "fuzz/cli_upgrade.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "cli/commands.h"
#include "device/linux/sg_io_transport.h"
#include "fuzz/fuzzed_sg_io.h"
#include "fuzz/require.h"
#include "fuzz/upgrade_watch.h"

namespace {

// One drive, /dev/sr0, behind the fuzzed kernel.
class FuzzedDrives : public DriveAccess {
public:
    explicit FuzzedDrives(SgIo& io) : io_(io) { drive_.path = "/dev/sr0"; }

    std::vector<DriveName> Drives() override { return {drive_}; }
    bool Find(const std::string& node, DriveName& drive) override
    {
        drive = drive_;
        return node == drive_.path;
    }
    std::unique_ptr<OpenDrive> Open(const DriveName&, bool, std::string&) override
    {
        class Opened : public OpenDrive {
        public:
            explicit Opened(SgIo& io) : transport_(3, io) {}
            scsi::Transport& Transport() override { return transport_; }

        private:
            SgIoTransport transport_;
        };
        return std::make_unique<Opened>(io_);
    }
    bool StillThere(const DriveName&) override { return true; }
    bool MayWrite(std::string&) override { return true; }
    std::string WhyNotFound(const std::string&, bool* exists) override
    {
        if (exists)
            *exists = false;
        return "no such drive";
    }

private:
    SgIo& io_;
    DriveName drive_;
};

std::string LastLine(const std::string& text)
{
    std::string line, last;
    std::istringstream in(text);
    while (std::getline(in, line))
        last = line;
    return last;
}

} // namespace

void FuzzCliUpgrade(Answers& answers, FuzzedDrive& drive)
{
    FuzzedSgIo io(answers, drive);
    FuzzedDrives drives(io);
    WatchedRun run(drive);
    const UpgradeWatch& watch = run.watch;

    CliOptions options;
    options.command = CliCommand::Upgrade;
    options.drive = "/dev/sr0";
    options.yes = true;
    std::ostringstream out, err;
    std::istringstream in;
    Console console(out, err, false);
    CliContext context{drives, console, in, false};

    const int status = RunCommand(options, context);
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    std::signal(SIGHUP, SIG_DFL);

    // KAVORA_FUZZ_SHOW=1 shows what the program printed, to read an input.
    if (std::getenv("KAVORA_FUZZ_SHOW"))
        std::fprintf(stderr, "%s%s(exit %d)\n", out.str().c_str(), err.str().c_str(), status);

    run.CheckWaits();
    switch (status) {
    case kExitRefused:
        Require(watch.Downloads() == 0, "refused, yet something was written to the drive");
        return;
    case kExitUpgraded:
        watch.CheckVerdict(true);
        watch.CheckUpgradeClaim();
        break;
    case kExitNotSaved:
        watch.CheckVerdict(false);
        watch.CheckOldFirmwareClaim();
        break;
    case kExitStateUnknown:
        // The dialog's log closes as it does for a drive that took the save
        // and never answered INQUIRY again; the exit status says more.
        watch.CheckVerdict(LastLine(out.str()) == "Please Restart Your Computer.");
        Require(watch.SaveSends() > 0, "an unknown state reported before any save was sent");
        return;
    default:
        Require(false, "an exit status outside the documented ones");
    }
    Require(LastLine(out.str()) ==
                (status == kExitUpgraded ? "Please Restart Your Computer." : "Flashing is incorrect!!"),
            "a closing line other than the exit status says");
}
