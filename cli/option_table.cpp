#include "cli/option_table.h"

#include "cli/help_words.h"

namespace {

constexpr CommandSet kList = Bit(CliCommand::List);
constexpr CommandSet kInfo = Bit(CliCommand::Info);
constexpr CommandSet kCheck = Bit(CliCommand::Check);
constexpr CommandSet kUpgrade = Bit(CliCommand::Upgrade);
constexpr CommandSet kGeneral = Bit(CliCommand::None);
constexpr CommandSet kEvery = kList | kInfo | kCheck | kUpgrade | kGeneral;

} // namespace

namespace {

// The first entry of a table that `match` takes, or null.
template <typename Entry, typename Match>
const Entry* Find(const std::vector<Entry>& table, Match match)
{
    for (const Entry& entry : table)
        if (match(entry))
            return &entry;
    return nullptr;
}

const CommandSpec* FindCommand(CliCommand command)
{
    return Find(Commands(), [command](const CommandSpec& c) { return c.command == command; });
}

} // namespace

const std::vector<OptionSpec>& Options()
{
    static const std::vector<OptionSpec> options = {
        {OptionId::Drive, "drive", 'd', "DEV", kCheck | kUpgrade | kGeneral, kUpgrade,
         help_words::kDriveOption},
        {OptionId::All, "all", 'a', nullptr, kUpgrade | kGeneral, 0,
         "upgrade: every CD/DVD-class drive the list names and the\n"
         "image is for; the others are named with the reason\n"
         "and not touched"},
        {OptionId::List, "list", 'l', "FILE", kEvery, 0, "the model list (default: IDString.txt)"},
        {OptionId::Yes, "yes", 'y', nullptr, kUpgrade | kGeneral, 0,
         "do not ask for confirmation when the list asks for it"},
        {OptionId::Verbose, "verbose", 'v', nullptr, kList | kCheck | kUpgrade | kGeneral,
         kList | kCheck | kUpgrade | kGeneral, "each SCSI command on standard error; -vv with data-in bytes"},
        {OptionId::Json, "json", 'j', nullptr, kList | kInfo | kCheck | kUpgrade | kGeneral, 0,
         "standard output holds one JSON object and nothing else,\n"
         "an error object included; upgrade's log goes to standard\n"
         "error and its summary is the object"},
        {OptionId::Help, "help", 'h', nullptr, kEvery, 0, "help; after a command, that command's"},
        {OptionId::Version, "version", 'V', nullptr, kGeneral, 0, "the version and the source revision"},
    };
    return options;
}

const OptionSpec& Option(OptionId id)
{
    const OptionSpec* option = Find(Options(), [id](const OptionSpec& o) { return o.id == id; });
    return option ? *option : Options().front();
}

const std::vector<CommandSpec>& Commands()
{
    static const std::vector<CommandSpec> commands = {
        {CliCommand::List, "list", "", "every CD/DVD-class drive, and those the model list names",
         "shows every drive"},
        {CliCommand::Info, "info", "IMAGE", "what an upgrade would do with an image (no drive needed)",
         "reaches no drive"},
        {CliCommand::Check, "check", "[IMAGE]", "whether an image is for the drive (sends only INQUIRY)", ""},
        {CliCommand::Upgrade, "upgrade", "[IMAGE]", "the upgrade", ""},
        {CliCommand::Help, "help", "[COMMAND]", "this text, or a command's ('kavora-cli help upgrade')", ""},
    };
    return commands;
}

CliCommand CommandNamed(const std::string& word)
{
    const CommandSpec* c = Find(Commands(), [&word](const CommandSpec& c) { return word == c.name; });
    return c ? c->command : CliCommand::None;
}

const char* NameOf(CliCommand command)
{
    const CommandSpec* c = FindCommand(command);
    return c ? c->name : "";
}

const CommandSpec& SpecOf(CliCommand command)
{
    const CommandSpec* c = FindCommand(command);
    return c ? *c : Commands().front();
}

bool Takes(CliCommand command, const OptionSpec& option) { return (option.takenBy & Bit(command)) != 0; }

std::string LongForm(const OptionSpec& option) { return std::string("--") + option.name; }
