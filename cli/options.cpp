#include "cli/options.h"

#include <getopt.h>

#include <vector>

#include "kavora_revision.h" // made by the build

namespace {

constexpr char kUsage[] = R"(Usage:
  kavora-cli list    [-l FILE] [-v] [-j]
  kavora-cli info    [-l FILE] [-j] IMAGE
  kavora-cli check   [-d DEV] [-l FILE] [-v] [IMAGE]
  kavora-cli upgrade [-d DEV]... [-a] [-l FILE] [-y] [-v] [-j] [IMAGE]
  kavora-cli help [COMMAND]
  kavora-cli --version
)";

constexpr char kListHelp[] = R"(Usage: kavora-cli list [-l FILE] [-v] [-j]

Lists every CD/DVD-class SCSI device (peripheral type 05h): its device node
(and its other node), the 24-character vendor and product text exactly as
INQUIRY gives it (in quotes, so that the blanks show; other bytes as \xNN),
its revision, and "<- FILE" on those the model list names.

  -l, --list=FILE  the model list (default: IDString.txt)
  -v, --verbose    each SCSI command on standard error; -vv with data-in bytes
  -j, --json       one JSON object instead of the lines
)";

constexpr char kInfoHelp[] = R"(Usage: kavora-cli info [-l FILE] [-j] IMAGE

Reads the image and tells what an upgrade would do with it, without a drive
and without root: its kind and size, the length sent and its 4096-byte
blocks, the waits after the save, the checksum the Windows program shows and
the sum the download header carries; and for each model the list names,
the beginnings of the drive revisions the identity scan passes it with.

  -l, --list=FILE  the model list (default: IDString.txt)
  -j, --json       one JSON object instead of the lines
)";

constexpr char kCheckHelp[] = R"(Usage: kavora-cli check [-d DEV] [-l FILE] [-v] [IMAGE]

Reads and checks the image, then finds the drive and runs the identity scan
of an upgrade against its current model and revision: is this image for this
drive? Sends nothing to the drive but INQUIRY.

  -d, --drive=DEV  the drive: /dev/srN or /dev/sgN (default: the one drive
                   whose model the list names)
  -l, --list=FILE  the model list (default: IDString.txt)
  -v, --verbose    each SCSI command on standard error; -vv with data-in bytes
  IMAGE            .hex or .bin (default: the one the list names)
)";

constexpr char kUpgradeHelp[] = R"(Usage: kavora-cli upgrade [-d DEV]... [-a] [-l FILE] [-y] [-v] [-j] [IMAGE]

Reads and checks the image, finds the drive, checks that the image is for it,
then upgrades it: the image in 4096-byte blocks, the summed header, the save,
the waits while the drive programs its flash, and its identity read back. The
log lines of the Windows program go to standard output, its diagnostics to
"sum.txt" in the working directory.

  -d, --drive=DEV  the drive: /dev/srN or /dev/sgN (default: the one drive
                   whose model the list names); several -d: each of them
  -a, --all        every CD/DVD-class drive the list names and the image is
                   for; the others are named with the reason and not touched
  -l, --list=FILE  the model list (default: IDString.txt)
  -y, --yes        do not ask for confirmation when the list asks for it
  -v, --verbose    each SCSI command on standard error; -vv with data-in bytes
  -j, --json       a one-object summary on standard output at the end
  IMAGE            .hex or .bin (default: the one the list names)

Several drives are upgraded at the same time (LUNs of one target one after
the other), each with its log lines under
its name ("sr1: Check Sum : F286"), its own "sum-sr1.txt", and a line in the
table at the end; the exit status is the worst of theirs. A drive that fails
or hangs never holds up the others. A named drive that is missing or refused
has its line too, and makes the status at least 1.

A drive has one writer: a second upgrade of it, through either of its nodes,
is refused, naming the process that holds /run/lock/kavora-cli-H:C:T:L.lock;
so is a drive whose disc is mounted.

Ctrl-C, SIGTERM or SIGHUP before the last block stops the run before anything
is saved; after it the drive is programming, and the run goes on to its end.
Each command has a time-out that fits it: seconds for INQUIRY and TEST UNIT
READY, a minute for a block, minutes for the save.
WRITE BUFFER through SG_IO needs root or the CAP_SYS_RAWIO capability.

Exit status: 0 the drive came back as its model (upgraded, or with the
revision it had, which is said); 1 refused, nothing written; 2 nothing saved,
the drive keeps its old firmware; 3 its state is unknown (the save got no
answer or an error, the drive stayed busy, did not answer again or came back
as another model).
)";

constexpr char kGeneralHelp[] = R"(
Upgrades the firmware of a CD/DVD-class drive over the Linux SCSI generic
interface (SG_IO), with the checks of the KAVORA Windows program: the model
list, the image's identity scan, the summed header, resends, the waits while
the drive programs, and its identity read back.

Commands:
  list     every CD/DVD-class drive, and those the model list names
  info     what an upgrade would do with an image (no drive needed)
  check    whether an image is for the drive (sends only INQUIRY)
  upgrade  the upgrade
  help     this text, or a command's ('kavora-cli help upgrade')

Options:
  -d, --drive=DEV  the drive: /dev/srN or /dev/sgN
  -a, --all        upgrade: every drive the list names and the image is for
  -l, --list=FILE  the model list (default: IDString.txt)
  -y, --yes        do not ask for confirmation
  -v, --verbose    each SCSI command on standard error; -vv with data-in bytes
  -j, --json       list, info: one JSON object; upgrade: a summary
  -h, --help       help; after a command, that command's
  -V, --version    the version and the source revision

The program's log and the data of list and info go to standard output;
verdicts, notes and errors to standard error.

Exit status:
  0  done: the drive came back as its model (upgraded, or with the revision
     it had, which is said); check: the image is for the drive; list, info:
     shown
  1  refused before anything was written to the drive: a usage error, no
     list, a bad image, no matching drive, an image for another model or
     revision, no permission, not confirmed
  2  failed or stopped before the save command, or the drive declined the
     save: nothing was saved, the drive keeps its old firmware
  3  the drive's state is unknown: the save got no answer or an error, the
     drive stayed busy, never answered INQUIRY again or came back as another
     model; the program says what to do
)";

struct Named {
    const char* name;
    CliCommand command;
};
constexpr Named kCommands[] = {
    {"list", CliCommand::List}, {"info", CliCommand::Info},       {"check", CliCommand::Check},
    {"upgrade", CliCommand::Upgrade}, {"help", CliCommand::Help},
};

CliCommand CommandNamed(const std::string& word)
{
    for (const Named& n : kCommands)
        if (word == n.name)
            return n.command;
    return CliCommand::None;
}

const char* NameOf(CliCommand command)
{
    for (const Named& n : kCommands)
        if (n.command == command)
            return n.name;
    return "";
}

} // namespace

std::string HelpText(CliCommand command)
{
    switch (command) {
    case CliCommand::List:
        return kListHelp;
    case CliCommand::Info:
        return kInfoHelp;
    case CliCommand::Check:
        return kCheckHelp;
    case CliCommand::Upgrade:
        return kUpgradeHelp;
    default:
        return std::string(kUsage) + kGeneralHelp;
    }
}

std::string VersionText()
{
    return std::string("kavora-cli ") + KAVORA_VERSION + " (revision " + KAVORA_REVISION + ")\n";
}

bool ParseOptions(int argc, const char* const* argv, CliOptions& options, std::string& error)
{
    options = CliOptions{};
    static const option kLong[] = {
        {"drive", required_argument, nullptr, 'd'}, {"list", required_argument, nullptr, 'l'},
        {"yes", no_argument, nullptr, 'y'},         {"verbose", no_argument, nullptr, 'v'},
        {"json", no_argument, nullptr, 'j'},        {"help", no_argument, nullptr, 'h'},
        {"version", no_argument, nullptr, 'V'},     {"all", no_argument, nullptr, 'a'},
        {nullptr, 0, nullptr, 0},
    };
    // getopt_long permutes its argument vector and keeps state between calls:
    // a copy, and a fresh start for every parse.
    std::vector<char*> args;
    std::vector<std::string> words(argv, argv + argc);
    for (std::string& word : words)
        args.push_back(word.data());
    args.push_back(nullptr);
    optind = 0;
    opterr = 0;
    bool help = false, version = false;
    bool driveGiven = false, listGiven = false;
    for (;;) {
        const int c = getopt_long(argc, args.data(), ":d:l:yvjhVa", kLong, nullptr);
        if (c == -1)
            break;
        switch (c) {
        case 'd':
            if (options.drives.empty())
                options.drive = optarg;
            options.drives.push_back(optarg);
            driveGiven = true;
            break;
        case 'a': options.all = true; break;
        case 'l':
            options.list = optarg;
            listGiven = true;
            break;
        case 'y': options.yes = true; break;
        case 'v': ++options.verbose; break;
        case 'j': options.json = true; break;
        case 'h': help = true; break;
        case 'V': version = true; break;
        case ':': {
            const std::string word = args[optind - 1] ? args[optind - 1] : "";
            error = "option '" + word + "' needs a value";
            return false;
        }
        default: {
            const std::string word = args[optind - 1] ? args[optind - 1] : "";
            error = optopt ? std::string("unknown option '-") + static_cast<char>(optopt) + "'"
                           : "unknown option '" + word.substr(0, word.find('=')) + "'";
            return false;
        }
        }
    }
    std::vector<std::string> operands(args.begin() + optind, args.begin() + argc);
    bool emptyDrive = false;
    for (const std::string& drive : options.drives)
        emptyDrive = emptyDrive || drive.empty();
    if (emptyDrive || (listGiven && options.list.empty())) {
        error = "an empty value for --drive or --list";
        return false;
    }

    if (version) {
        options.command = CliCommand::Version;
        return true;
    }
    if (!operands.empty()) {
        options.command = CommandNamed(operands[0]);
        if (options.command == CliCommand::None) {
            error = "unknown command '" + operands[0] + "'";
            return false;
        }
        operands.erase(operands.begin());
    }
    if (help || options.command == CliCommand::Help) {
        options.helpOn = options.command == CliCommand::Help ? CliCommand::None : options.command;
        if (options.command == CliCommand::Help && !operands.empty()) {
            options.helpOn = CommandNamed(operands[0]);
            if (options.helpOn == CliCommand::None || options.helpOn == CliCommand::Help || operands.size() > 1) {
                error = "no help on '" + operands[0] + "'";
                return false;
            }
        }
        options.command = CliCommand::Help;
        return true;
    }
    if (options.command == CliCommand::None) {
        error = "no command given";
        return false;
    }

    const std::string name = NameOf(options.command);
    const bool takesImage = options.command != CliCommand::List;
    if (operands.size() > (takesImage ? 1u : 0u)) {
        error = name + " takes " + (takesImage ? "one IMAGE" : "no IMAGE") + "; '" +
                operands[takesImage ? 1 : 0] + "' is one too many";
        return false;
    }
    if (takesImage && !operands.empty())
        options.image = operands[0];
    if (options.command == CliCommand::Info && options.image.empty()) {
        error = "info needs an IMAGE";
        return false;
    }
    if (options.command == CliCommand::Info && (driveGiven || options.verbose)) {
        error = "info reaches no drive: it takes no --drive or --verbose";
        return false;
    }
    if (options.command == CliCommand::List && driveGiven) {
        error = "list shows every drive: it takes no --drive";
        return false;
    }
    if ((options.all || options.drives.size() > 1) && options.command != CliCommand::Upgrade) {
        error = name + " works on one drive: only upgrade takes --all or several --drive";
        return false;
    }
    if (options.all && driveGiven) {
        error = "--all takes every drive the list names: it goes with no --drive";
        return false;
    }
    if (options.yes && options.command != CliCommand::Upgrade) {
        error = name + " takes no --yes";
        return false;
    }
    if (options.json && options.command == CliCommand::Check) {
        error = "check takes no --json";
        return false;
    }
    return true;
}
