#include "cli/program.h"

#include <cerrno>
#include <cstring>

#include "cli/commands.h"
#include "cli/json_text.h"

namespace {

// Whatever the command printed must have reached standard output: a write
// that failed (a full disk, a reader gone) is said, and the status says so
// unless it has more to say of a drive.
int CheckOutput(int status, SystemSide& system)
{
    errno = 0;
    system.out.flush();
    if (!system.out.bad())
        return status;
    const int cause = errno;
    const int after = WithOutputFailed(status);
    system.err << "kavora-cli: standard output could not be written" << (cause ? ": " : "")
               << (cause ? std::strerror(cause) : "") << "; what the command printed there is incomplete"
               << (after == status ? "" : " (exit status " + std::to_string(after) + ")") << "\n";
    system.err.flush();
    return after;
}

} // namespace

bool DrawsBars(bool errIsTerminal, const std::string& term, int columns)
{
    return errIsTerminal && term != "dumb" && (columns == 0 || columns >= kNarrowestBarColumns);
}

int RunProgram(int argc, const char* const* argv, SystemSide& system)
{
    CliOptions options;
    std::string error;
    if (!ParseOptions(argc, argv, options, error)) {
        system.err << "kavora-cli: " << error << "\nTry 'kavora-cli --help' for more information.\n";
        system.err.flush();
        if (options.json)
            system.out << JsonError(error, kExitUsage);
        return CheckOutput(kExitUsage, system);
    }
    if (options.command == CliCommand::Help || options.command == CliCommand::Version) {
        system.out << (options.command == CliCommand::Help ? HelpText(options.helpOn) : VersionText());
        return CheckOutput(kExitUpgraded, system);
    }
    const bool bars =
        DrawsBars(system.errIsTerminal, system.term, system.columns ? system.columns() : 0);
    Console console(system.out, system.err, bars, system.columns);
    if (options.json)
        console.LinesToErr();
    CliContext context{system.drives, console, system.in, system.inIsTerminal};
    const int status = RunCommand(options, context);
    // Every end gives a script its one document.
    if (options.json && !console.WroteData()) {
        nlohmann::json more = nlohmann::json::object();
        if (!console.RefusedDrive().empty())
            more["drive"] = console.RefusedDrive();
        console.Data(JsonError(console.Refusal().empty() ? ExitStatusOf(status).name : console.Refusal(), status,
                               more));
    }
    return CheckOutput(status, system);
}
