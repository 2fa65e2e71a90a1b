#include "cli/commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/command_steps.h"
#include "cli/json_text.h"
#include "cli/stop_signals.h"
#include "cli/verdict.h"
#include "flash/flash_engine.h"
#include "flash/model_list.h"
#include "flash/run_timing.h"
#include "flash/warning_texts.h"

namespace {

constexpr std::uint32_t kWaitSeconds = run_timing::kProgrammingWaitMs / 1000;

// How many runs of passing revision beginnings info names before it counts the rest.
constexpr int kShownGroups = 12;

// A sum as the log shows it ("Check Sum : %X"), in the lines and the JSON alike.
std::string HexSum(std::uint16_t value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
    return text;
}

// Which revisions the identity scan passes, in a line: each first character
// with the second characters that follow it, runs of them as ranges.
std::string PassingWords(const std::vector<std::string>& passing)
{
    if (passing.empty())
        return "not carried: the image is not for this model";
    std::string groups;
    int shownGroups = 0, moreGroups = 0;
    for (std::size_t i = 0; i < passing.size();) {
        std::size_t end = i;
        while (end + 1 < passing.size() && passing[end + 1][0] == passing[i][0] &&
               passing[end + 1][1] == passing[end][1] + 1)
            ++end;
        if (shownGroups < kShownGroups) {
            // Piece by piece: GCC 12 warns of a copy that cannot happen in
            // the temporaries of one long sum of strings.
            if (!groups.empty())
                groups += ", ";
            groups += Quoted(passing[i]);
            if (end > i) {
                groups += '-';
                groups += Quoted(passing[end]);
            }
            ++shownGroups;
        } else {
            ++moreGroups;
        }
        i = end + 1;
    }
    if (moreGroups)
        groups += " and " + std::to_string(moreGroups) + " more runs";
    return "carried; the identity scan passes a drive whose revision begins " + groups + " (" +
           std::to_string(passing.size()) + (passing.size() == 1 ? " beginning" : " beginnings") + ")";
}

} // namespace

int RunList(const CliOptions& options, CliContext& context)
{
    Console& console = context.console;
    ModelList list;
    const bool haveList = ReadList(options.list, list, console, "no drive is marked");
    const std::vector<DriveName> drives = context.drives.Drives();
    if (drives.empty())
        console.Note("kavora-cli: no CD/DVD-class drive (SCSI peripheral type 05h) found");
    nlohmann::json shown = nlohmann::json::array();
    bool anyAnswered = false;
    for (const DriveName& name : drives) {
        nlohmann::json entry = {{"node", name.path}, {"other", name.other}};
        std::string line = name.path + (name.other.empty() ? "" : " (" + name.other + ")");
        Chosen drive;
        std::string error;
        if (!OpenChosen(name, false, options, context, drive, error)) {
            entry["error"] = error;
            line += "  " + error;
        } else if (const Identity id = Inquire(drive.Transport()); !id.answered) {
            entry["error"] = "no answer to INQUIRY: " + id.failure;
            line += "  no answer to INQUIRY: " + id.failure;
        } else {
            const bool listed = haveList && ListedAt(list, ModelText(id).c_str()) >= 0;
            anyAnswered = true;
            entry["model"] = id.model;
            entry["revision"] = id.revision;
            entry["listed"] = listed;
            line += "  " + Quoted(id.model) + "  " + id.revision + (listed ? "  <- " + options.list : "");
        }
        shown.push_back(entry);
        if (!options.json)
            console.Line(line);
    }
    if (options.json)
        console.Data(JsonDocument({{"list", haveList ? options.list : ""}, {"drives", shown}}));
    // Nothing to show is not a list a script can go on with.
    if (!anyAnswered && !drives.empty())
        console.Note("kavora-cli: no drive could be opened and answered INQUIRY");
    return anyAnswered ? kExitUpgraded : kExitRefused;
}

int RunInfo(const CliOptions& options, CliContext& context)
{
    Console& console = context.console;
    LoadedImage image;
    if (!image.Read(options.image, console, !options.json))
        return kExitRefused;
    image.Sum();
    const ImageFacts& f = image.Facts();
    ModelList list;
    const bool haveList = ReadList(options.list, list, console, "no model is checked");

    nlohmann::json models = nlohmann::json::array();
    std::vector<std::string> lines;
    for (int k = 0; haveList && k < list.m_nModelCount; ++k) {
        // A line the reader took no model from was warned about already.
        if (list.m_szModel[k][0] == '\0')
            continue;
        const std::vector<std::string> passing = image.PassingRevisions(list.m_szModel[k]);
        models.push_back({{"model", list.m_szModel[k]},
                          {"file", list.m_szFile[k]},
                          {"carried", !passing.empty()},
                          {"passingRevisions", passing}});
        lines.push_back("model " + Quoted(list.m_szModel[k]) + ": " + PassingWords(passing));
    }
    if (options.json) {
        console.Data(JsonDocument({{"image", f.path},
                               {"kind", f.hex ? "hex" : "bin"},
                               {"size", f.fileSize},
                               {"imageLength", f.imageLength},
                               {"sentLength", f.sentLength},
                               {"blocks", f.blocks},
                               {"programmingWaits", f.programmingWaits},
                               {"checkSum", HexSum(f.checkSum)},
                               {"headerSum", HexSum(f.headerSum)},
                               {"models", models}}));
        return kExitUpgraded;
    }
    console.Line("image:       " + f.path + " (" + (f.hex ? "Intel HEX" : "raw") + ", " +
                 std::to_string(f.fileSize) + " bytes)");
    console.Line("image bytes: " + std::to_string(f.imageLength) + (f.truncated ? " (its first 1 MiB)" : ""));
    const std::string waits =
        f.programmingWaits == 0 ? "no fixed wait after the save"
                                : std::to_string(f.programmingWaits) + (f.programmingWaits == 1 ? " wait" : " waits") +
                                      " of " + std::to_string(kWaitSeconds) + " s (" +
                                      std::to_string(kWaitSeconds * f.programmingWaits) +
                                      " s) after the save while the drive programs";
    console.Line("sent:        " + std::to_string(f.sentLength) + " bytes in " + std::to_string(f.blocks) +
                 (f.blocks == 1 ? " block" : " blocks") + " of " + std::to_string(scsi::kBlockSize) + "; " + waits);
    console.Line("Check Sum :  " + HexSum(f.checkSum) + " (as the upgrade logs it)");
    console.Line("header sum:  " + HexSum(f.headerSum) + " (what the download header carries)");
    for (const std::string& line : lines)
        console.Line(line);
    return kExitUpgraded;
}

int RunCheck(const CliOptions& options, CliContext& context)
{
    Console& console = context.console;
    Prepared ready;
    if (int status = Prepare(options, false, context, ready); status >= 0)
        return status;
    const Chosen& drive = ready.drive;
    const ImageFacts& image = ready.image.Facts();
    // The identity scan sends nothing to the drive.
    const bool belongs = ready.image.BelongsTo(ModelText(drive.id), drive.id.revision);
    console.Line("Check Sum : " + HexSum(image.checkSum));
    if (!belongs)
        console.Line("It is an incorrect firmware version!");
    const std::string carried = Quoted(drive.id.model) + (belongs ? " and revision " : " with revision ") +
                                Quoted(drive.id.revision.substr(0, 2));
    const std::string verdict = belongs ? image.path + " carries " + carried + ": it is for the drive at " +
                                              drive.name.path
                                        : image.path + " is not for the drive at " + drive.name.path +
                                              ": it does not carry " + carried;
    console.Note("kavora-cli: " + verdict);
    if (options.json)
        console.Data(JsonDocument({{"drive", drive.name.path},
                                   {"model", drive.id.model},
                                   {"revision", drive.id.revision},
                                   {"image", image.path},
                                   {"checkSum", HexSum(image.checkSum)},
                                   {"forDrive", belongs},
                                   {"verdict", verdict}}));
    return belongs ? kExitUpgraded : kExitRefused;
}

int RunCommand(const CliOptions& options, CliContext& context)
{
    switch (options.command) {
    case CliCommand::List:
        return RunList(options, context);
    case CliCommand::Info:
        return RunInfo(options, context);
    case CliCommand::Check:
        return RunCheck(options, context);
    case CliCommand::Upgrade:
        return RunUpgrade(options, context);
    default:
        return kExitRefused;
    }
}
