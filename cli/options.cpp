#include "cli/options.h"

#include <cstring>

const char* HelpText()
{
    return R"(Usage:
  kavora-cli list    [--list FILE]
  kavora-cli check   [--drive DEV] [--list FILE] [IMAGE]
  kavora-cli upgrade [--drive DEV] [--list FILE] [--yes] [IMAGE]
  kavora-cli --help

Upgrades the firmware of a CD/DVD-class drive over the Linux SCSI generic
interface (SG_IO), with the checks of the KAVORA Windows program: the model
list, the image's identity scan, the summed header, resends, the waits while
the drive programs, and its identity read back.

  list      every CD/DVD-class SCSI device (peripheral type 05h): its device
            node, the 24-character vendor and product text exactly as INQUIRY
            gives it (in quotes, so that the blanks show; other bytes as \xNN),
            its revision, and "<- IDString.txt" on those the list names.
  check     loads the image and runs the identity scan against the drive's
            current model and revision; prints the checksum and the verdict.
            Sends nothing but INQUIRY.
  upgrade   the upgrade, with the log lines of the Windows program, one per
            line, and its "sum.txt" in the working directory.

  --drive DEV  the drive: its /dev/srN or its /dev/sgN, either one. Without it
               the one drive whose model the list names; two or more such
               drives need --drive.
  --list FILE  the model list (default: IDString.txt in the working directory).
  IMAGE        the firmware image, .hex or .bin (default: the one the list names,
               in the working directory).
  --yes        do not ask for confirmation when the list asks for it.

Ctrl-C or SIGTERM before the last block is sent stops the run: it ends with
"ERR: terminate upgrade/backup flash!" and nothing is saved. After it the
drive is programming: the program says so and finishes the run.

Each command has a time-out that fits it: seconds for INQUIRY and TEST UNIT
READY, a minute for a block, minutes for the save. A command that runs out
ends the run as a transport failure, and the program says so.

WRITE BUFFER through SG_IO needs root or the CAP_SYS_RAWIO capability.

Exit status:
  0  upgraded (check: the image belongs to the drive; list: always)
  1  refused before anything was written to the drive: no list, no matching
     drive, a bad image, an image for another model or revision, a wrong
     command line, no permission
  2  failed or stopped before the save command: the drive keeps its old
     firmware
  3  the drive may have taken the save command and did not come back: the save
     got no answer, the drive stayed busy, or it never answered INQUIRY
     again. Its state is unknown; the program says what to do.
)";
}

bool ParseOptions(int argc, const char* const* argv, CliOptions& options, std::string& error)
{
    options = CliOptions{};
    bool imageGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                error = word + " wants a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        if (word == "--help" || word == "-h") {
            options.command = CliCommand::Help;
            return true;
        } else if (word == "--drive") {
            if (!value(options.drive))
                return false;
        } else if (word == "--list") {
            if (!value(options.list))
                return false;
        } else if (word == "--yes" || word == "-y") {
            options.yes = true;
        } else if (!word.empty() && word[0] == '-') {
            error = "unknown option " + word;
            return false;
        } else if (options.command == CliCommand::None) {
            if (word == "list")
                options.command = CliCommand::List;
            else if (word == "check")
                options.command = CliCommand::Check;
            else if (word == "upgrade")
                options.command = CliCommand::Upgrade;
            else {
                error = "unknown command " + word;
                return false;
            }
        } else if (!imageGiven && options.command != CliCommand::List) {
            options.image = word;
            imageGiven = true;
        } else {
            error = "unexpected " + word;
            return false;
        }
    }
    if (options.command == CliCommand::None) {
        error = "no command given";
        return false;
    }
    if (options.command == CliCommand::List && (!options.drive.empty() || options.yes)) {
        error = "list takes only --list";
        return false;
    }
    if (options.command == CliCommand::Check && options.yes) {
        error = "check takes no --yes";
        return false;
    }
    return true;
}
