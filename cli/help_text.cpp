// The help texts: their usage lines and option lines come from the option
// table, the rest is each command's own.
#include <sstream>
#include <string>

#include "cli/exit_status.h"
#include "cli/help_words.h"
#include "cli/option_table.h"
#include "device/scsi_defs.h"
#include "kavora_revision.h" // made by the build

namespace {

const std::string kBlock = std::to_string(scsi::kBlockSize);

std::string About(CliCommand command)
{
    switch (command) {
    case CliCommand::List:
        return std::string("Lists every CD/DVD-class SCSI device (peripheral type 05h): its ") +
               help_words::kListedAs + ", the " + std::to_string(scsi::kModelChars) +
               R"(-character vendor and product text exactly as
INQUIRY gives it (in quotes, so that the blanks show; other bytes as \xNN),
its revision, and "<- FILE" on those the model list names.
)";
    case CliCommand::Info:
        return R"(Reads the image and tells what an upgrade would do with it: its kind and
size, the length sent and its )" + kBlock + R"(-byte blocks, the waits after the save, the
checksum the Windows program shows and the sum the download header carries;
and for each model the list names, the beginnings of the drive revisions the
identity scan passes it with. It needs no drive and no )" +
               help_words::kPrivilege + ".\n";
    case CliCommand::Check:
        return R"(Reads and checks the image, then finds the drive and runs the identity scan
of an upgrade against its current model and revision: is this image for this
drive? Sends nothing to the drive but INQUIRY.
)";
    case CliCommand::Upgrade:
        return R"(Reads and checks the image, finds the drive, checks that the image is for it,
then upgrades it: the image in )" + kBlock + R"(-byte blocks, the summed header, the save,
the waits while the drive programs its flash, and its identity read back. The
log lines of the Windows program go to standard output, its diagnostics to
"sum.txt" in the working directory.
)";
    default:
        return help_words::kInterface;
    }
}

constexpr char kImageLine[] = "  IMAGE            .hex or .bin (default: the one the list names)\n";

std::string UpgradeMore()
{
    const std::string name = help_words::kTowerName;
    return R"(
Several drives are upgraded at the same time (LUNs of one target one after
the other), each with its log lines under its name (")" + name + R"(: Check Sum : F286"),
its own "sum-)" + name + R"(.txt", and a line in the table at the end; the exit status
is the worst of theirs. A drive that fails or hangs never holds up the others.
A named drive that is missing or refused has its line too, and makes the
status at least 1.

)" + help_words::kOneWriter + "\n" + help_words::kStopping +
           R"( before the last block stops the run before
anything is saved; after it the drive is programming, and the run goes on to
its end. Each command has a time-out that fits it: seconds for INQUIRY and
TEST UNIT READY, a minute for a block, minutes for the save.
)" + help_words::kNeeds;
}

constexpr char kGeneralMore[] = R"(
The program's log and the data of list and info go to standard output;
verdicts, notes and errors to standard error. With --json standard output
holds one JSON object and nothing else, whatever the end.
)";

constexpr std::size_t kWidth = 79;
constexpr std::size_t kStatusIndent = 6;

// "Exit status:" and the table, each meaning wrapped under its code.
std::string ExitStatusText()
{
    std::string text = "\nExit status:\n";
    for (const ExitStatusSpec& status : ExitStatuses()) {
        const std::string code = std::to_string(status.code);
        std::string line = std::string(4 - code.size(), ' ') + code + "  " + status.name + ":";
        std::istringstream words(status.meaning);
        for (std::string word; words >> word;) {
            if (line.size() + 1 + word.size() > kWidth) {
                text += line + "\n";
                line = std::string(kStatusIndent - 1, ' ');
            }
            line += " " + word;
        }
        text += line + "\n";
    }
    return text;
}

// "[-d DEV]... [-a] [-l FILE]": the options `command` takes, help and
// version aside, and its operand.
std::string Synopsis(const CommandSpec& command)
{
    std::string words;
    for (const OptionSpec& option : Options()) {
        if (option.id == OptionId::Help || option.id == OptionId::Version || !Takes(command.command, option))
            continue;
        words += std::string(" [-") + option.letter + (option.argument ? std::string(" ") + option.argument : "") +
                 "]" + ((option.repeatedBy & Bit(command.command)) ? "..." : "");
    }
    return command.operand[0] ? words + " " + command.operand : words;
}

// "  -l, --list=FILE  the model list ...", wrapped lines under the first.
std::string OptionLine(const OptionSpec& option)
{
    std::string head = std::string("  -") + option.letter + ", " + LongForm(option) +
                       (option.argument ? std::string("=") + option.argument : "");
    head.resize(19, ' ');
    std::string line = head;
    for (const char* c = option.help; *c; ++c)
        line += *c == '\n' ? "\n" + std::string(19, ' ') : std::string(1, *c);
    return line + "\n";
}

std::string CommandHelp(const CommandSpec& command)
{
    std::string text = std::string("Usage: kavora-cli ") + command.name + Synopsis(command) + "\n\n" +
                       About(command.command) + "\n";
    for (const OptionSpec& option : Options())
        if (option.id != OptionId::Help && option.id != OptionId::Version && Takes(command.command, option))
            text += OptionLine(option);
    if (command.command == CliCommand::Check || command.command == CliCommand::Upgrade)
        text += kImageLine;
    return command.command == CliCommand::Upgrade ? text + UpgradeMore() + ExitStatusText() : text;
}

std::string GeneralHelp()
{
    std::string text = "Usage:\n";
    for (const CommandSpec& command : Commands()) {
        std::string name = command.name;
        if (command.command != CliCommand::Help)
            name.resize(7, ' ');
        text += "  kavora-cli " + name + Synopsis(command) + "\n";
    }
    text += "  kavora-cli --version\n" + About(CliCommand::None) + "\nCommands:\n";
    for (const CommandSpec& command : Commands()) {
        std::string name = command.name;
        name.resize(9, ' ');
        text += "  " + name + command.summary + "\n";
    }
    text += "\nOptions:\n";
    for (const OptionSpec& option : Options())
        text += OptionLine(option);
    return text + kGeneralMore + ExitStatusText();
}

} // namespace

std::string HelpText(CliCommand command)
{
    for (const CommandSpec& c : Commands())
        if (c.command == command && command != CliCommand::Help)
            return CommandHelp(c);
    return GeneralHelp();
}

std::string VersionText()
{
    return std::string("kavora-cli ") + KAVORA_VERSION + " (revision " + KAVORA_REVISION + ")\n";
}
