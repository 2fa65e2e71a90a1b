#include "cli/options.h"

#include <getopt.h>

#include <vector>

#include "cli/option_table.h"

namespace {

// getopt_long's view of the option table: its long options and its letters
// (":" first, so that a missing value is told from an unknown option).
struct GetoptTable {
    std::vector<option> longOptions;
    std::string letters = ":";
    GetoptTable()
    {
        for (const OptionSpec& o : Options()) {
            longOptions.push_back({o.name, o.argument ? required_argument : no_argument, nullptr, o.letter});
            letters += std::string(1, o.letter) + (o.argument ? ":" : "");
        }
        longOptions.push_back({nullptr, 0, nullptr, 0});
    }
};

// What the command line gave, before it is held against the command.
struct Given {
    int times[static_cast<int>(OptionId::Version) + 1] = {}; // per OptionId
    bool help = false, version = false;
    std::vector<std::string> operands;
    int& Count(OptionId id) { return times[static_cast<int>(id)]; }
};

const OptionSpec* OptionOfLetter(int letter)
{
    for (const OptionSpec& o : Options())
        if (o.letter == letter)
            return &o;
    return nullptr;
}

void Take(const OptionSpec& o, const char* value, CliOptions& options, Given& given)
{
    ++given.Count(o.id);
    switch (o.id) {
    case OptionId::Drive:
        if (options.drives.empty())
            options.drive = value;
        options.drives.push_back(value);
        break;
    case OptionId::All: options.all = true; break;
    case OptionId::List: options.list = value; break;
    case OptionId::Yes: options.yes = true; break;
    case OptionId::Verbose: ++options.verbose; break;
    case OptionId::Json: options.json = true; break;
    case OptionId::Help: given.help = true; break;
    case OptionId::Version: given.version = true; break;
    }
}

// getopt_long's '?': an option it does not know, or a value given to one
// that takes none ("--json=yes"), for which it names the option's letter.
std::string Unknown(const char* word)
{
    const std::string text = word ? word : "";
    const OptionSpec* known = optopt ? OptionOfLetter(optopt) : nullptr;
    if (known && text.rfind("--", 0) == 0)
        return "option '" + LongForm(*known) + "' takes no value";
    return optopt ? std::string("unknown option '-") + static_cast<char>(optopt) + "'"
                  : "unknown option '" + text.substr(0, text.find('=')) + "'";
}

// Runs getopt_long over a copy of the words: it permutes its argument
// vector and keeps state between calls, so a copy, and a fresh start. After
// the first error it reads on, keeping that error, to learn whether the
// words ask for JSON.
bool ReadWords(int argc, const char* const* argv, CliOptions& options, Given& given, std::string& error)
{
    static const GetoptTable table;
    std::vector<std::string> words(argv, argv + argc);
    std::vector<char*> args;
    for (std::string& word : words)
        args.push_back(word.data());
    args.push_back(nullptr);
    optind = 0;
    opterr = 0;
    error.clear();
    for (int c; (c = getopt_long(argc, args.data(), table.letters.c_str(), table.longOptions.data(), nullptr)) != -1;) {
        const OptionSpec* o = OptionOfLetter(c);
        std::string wrong;
        if (c == ':')
            wrong = "option '" + std::string(args[optind - 1] ? args[optind - 1] : "") + "' needs a value";
        else if (!o)
            wrong = Unknown(args[optind - 1]);
        else if (o->argument && !*optarg)
            wrong = "an empty value for " + LongForm(*o);
        if (wrong.empty()) {
            Take(*o, optarg, options, given);
            continue;
        }
        // "--json=yes" asks for JSON too, wrongly.
        if (c == '?' && optopt == Option(OptionId::Json).letter)
            options.json = true;
        if (error.empty())
            error = wrong;
    }
    given.operands.assign(args.begin() + optind, args.begin() + argc);
    return error.empty();
}

// help, and -h after a command: the help asked for.
bool TakeHelp(CliOptions& options, Given& given, std::string& error)
{
    const bool helpCommand = options.command == CliCommand::Help;
    options.helpOn = helpCommand ? CliCommand::None : options.command;
    if (helpCommand && !given.operands.empty()) {
        options.helpOn = CommandNamed(given.operands[0]);
        if (options.helpOn == CliCommand::None || options.helpOn == CliCommand::Help) {
            error = "no help on '" + given.operands[0] + "'";
            return false;
        }
        if (given.operands.size() > 1) {
            error = "help takes one COMMAND; '" + given.operands[1] + "' is one too many";
            return false;
        }
    }
    options.command = CliCommand::Help;
    return true;
}

// "check works on one drive: only upgrade takes --all or several --drive"
std::string OneDriveOnly(const std::string& name)
{
    std::string takers;
    for (const CommandSpec& c : Commands())
        if (Takes(c.command, Option(OptionId::All)))
            takers += std::string(takers.empty() ? "" : " and ") + c.name;
    return name + " works on one drive: only " + takers + " takes " + LongForm(Option(OptionId::All)) +
           " or several " + LongForm(Option(OptionId::Drive));
}

// Each option given must be one the command takes, as often as it is given.
bool CheckOptions(const CommandSpec& command, Given& given, std::string& error)
{
    const std::string name = command.name;
    for (const OptionSpec& o : Options()) {
        const int times = given.Count(o.id);
        if (times == 0)
            continue;
        if (!Takes(command.command, o)) {
            // A command that works on one drive is told from one that works
            // on none or on every one.
            error = command.refusing[0] ? name + " " + command.refusing + ": it takes no " + LongForm(o)
                    : o.id == OptionId::All ? OneDriveOnly(name)
                                            : name + " takes no " + LongForm(o);
            return false;
        }
        if (times > 1 && o.id == OptionId::Drive && !(o.repeatedBy & Bit(command.command))) {
            error = OneDriveOnly(name);
            return false;
        }
    }
    if (given.Count(OptionId::All) && given.Count(OptionId::Drive)) {
        error = "--all takes every drive the list names: it goes with no --drive";
        return false;
    }
    return true;
}

// The command's operands: IMAGE, when it takes one.
bool TakeOperands(const CommandSpec& command, const Given& given, CliOptions& options, std::string& error)
{
    const std::string name = command.name;
    const bool takesImage = command.operand[0] != '\0';
    if (given.operands.size() > (takesImage ? 1u : 0u)) {
        error = name + " takes " + (takesImage ? "one IMAGE" : "no IMAGE") + "; '" +
                given.operands[takesImage ? 1 : 0] + "' is one too many";
        return false;
    }
    if (takesImage && !given.operands.empty())
        options.image = given.operands[0];
    if (command.operand[0] != '[' && takesImage && options.image.empty()) {
        error = name + " needs an IMAGE";
        return false;
    }
    return true;
}

} // namespace

bool ParseOptions(int argc, const char* const* argv, CliOptions& options, std::string& error)
{
    options = CliOptions{};
    Given given;
    if (!ReadWords(argc, argv, options, given, error))
        return false;
    if (given.version) {
        options.command = CliCommand::Version;
        return true;
    }
    if (!given.operands.empty()) {
        options.command = CommandNamed(given.operands[0]);
        if (options.command == CliCommand::None) {
            error = "unknown command '" + given.operands[0] + "'";
            return false;
        }
        given.operands.erase(given.operands.begin());
    }
    if (given.help || options.command == CliCommand::Help)
        return TakeHelp(options, given, error);
    if (options.command == CliCommand::None) {
        error = "no command given";
        return false;
    }
    const CommandSpec& command = SpecOf(options.command);
    return CheckOptions(command, given, error) && TakeOperands(command, given, options, error);
}
