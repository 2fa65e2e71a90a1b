#include "cli/commands.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/drive_choice.h"
#include "cli/image_report.h"
#include "cli/json_text.h"
#include "cli/stop_signals.h"
#include "cli/verdict.h"
#include "flash/flash_engine.h"
#include "flash/model_list.h"
#include "flash/warning_texts.h"

namespace {

// Reads the model list; false after saying why it cannot be used. A command
// that works without one says what it does `without` it.
bool ReadList(const std::string& path, ModelList& list, Console& console, const std::string& without = "")
{
    ModelListShape shape;
    int error = 0;
    const ModelListRead read = ReadModelListFile(path.c_str(), list, &shape, &error);
    const std::string then = without.empty() ? "" : "; " + without;
    switch (read) {
    case ModelListRead::Missing:
        if (!without.empty() && error == ENOENT)
            console.Note("kavora-cli: no model list " + path + then);
        else
            console.Note("kavora-cli: cannot read the model list " + path + ": " + std::strerror(error) +
                         (error == ENOENT ? " (the Windows program says \"The IDString.txt doesn't exist!!\")"
                                          : "") +
                         then);
        return false;
    case ModelListRead::Unreadable:
        console.Note("kavora-cli: cannot read the model list " + path + ": " + std::strerror(error) + then);
        return false;
    case ModelListRead::BadStart:
        console.Note("kavora-cli: " + path + ": its first character must be a double quote" +
                     " (the Windows program says \"Input file context is incorrect!!\")" + then);
        return false;
    case ModelListRead::Ok:
        break;
    }
    // What the reader had to leave out, said once, so that nobody wonders.
    if (shape.quotes < 2)
        console.Note("kavora-cli: warning: " + path +
                     ": the model text has no closing quote; the line must read "
                     "\"MODEL\" \"IMAGE\" \"Y\" (or \"N\")");
    else if (list.m_szModel[0][0] == '\0' || shape.quotes < 4)
        console.Note("kavora-cli: warning: " + path +
                     ": the line names no image file; it must read \"MODEL\" \"IMAGE\" \"Y\" (or \"N\")");
    if (shape.modelChars > kModelChars)
        console.Note("kavora-cli: warning: " + path + ": the model text has " +
                     std::to_string(shape.modelChars) + " characters; only its first " +
                     std::to_string(kModelChars) + " are compared with a drive's");
    return true;
}

void ShowList(const ModelList& list, Console& console)
{
    console.Line("It's only for");
    for (int k = 0; k < list.m_nModelCount; ++k)
        console.Line("(" + std::to_string(k + 1) + ") " + list.m_szModel[k] + ".");
}

bool Confirmed(const Chosen& drive, CliContext& context)
{
    Console& console = context.console;
    console.Note(std::string(warning_text::kGreeting) + "\n\nThe current version of your " +
                 Quoted(drive.id.model) + " firmware is " + drive.id.revision + "\n\nWarning !!\n" +
                 warning_text::kAdvice + "\n\nATTENTION !!\n" + warning_text::kCaution + "\n");
    if (!context.inputIsTerminal) {
        console.Note("kavora-cli: the model list asks for confirmation and no terminal can give it; "
                     "give --yes to upgrade without asking");
        return false;
    }
    console.Note(std::string(warning_text::kQuestion) + " [y/N]");
    std::string answer;
    std::getline(context.in, answer);
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

// What check and upgrade settle before they send more than INQUIRY: the
// list, the image (read and checked before any drive is looked for), the
// drive. An exit status, or -1 when all is settled.
struct Prepared {
    ModelList list;
    LoadedImage image;
    Chosen drive;
};

int Prepare(const CliOptions& options, bool write, CliContext& context, Prepared& ready)
{
    Console& console = context.console;
    if (!ReadList(options.list, ready.list, console))
        return kExitRefused;
    ShowList(ready.list, console);
    const std::string image = options.image.empty() ? std::string(ready.list.m_szFile[0]) : options.image;
    if (image.empty()) {
        console.Note("kavora-cli: the list names no image and none was given (the Windows program says "
                     "\"Update file name is not assigned.\")");
        return kExitRefused;
    }
    if (!ready.image.Read(image, console))
        return kExitRefused;
    std::string error;
    if (write && !context.drives.MayWrite(error)) {
        console.Note("kavora-cli: " + error);
        return kExitRefused;
    }
    return ChooseDrive(options, ready.list, write, context, ready.drive);
}

FlashParam ParamFor(const Chosen& drive, const ImageFacts& image, Console& console, StopRequest& stop)
{
    FlashParam param{};
    const std::string model = ModelText(drive.id);
    std::snprintf(param.drive.sModel, sizeof param.drive.sModel, "%s", model.c_str());
    std::snprintf(param.drive.sRevision, sizeof param.drive.sRevision, "%s", drive.id.revision.c_str());
    param.drive.byHaId = static_cast<std::uint8_t>(drive.name.host);
    param.drive.byTargetId = static_cast<std::uint8_t>(drive.name.target);
    std::snprintf(param.szImagePath, sizeof param.szImagePath, "%s", image.path.c_str());
    std::snprintf(param.szModel, sizeof param.szModel, "%s", model.c_str());
    std::snprintf(param.szRevision, sizeof param.szRevision, "%s", drive.id.revision.c_str());
    param.m_bHexFile = image.hex ? 1 : 0;
    param.callbacks = console.Callbacks(stop);
    param.pStop = &stop;
    param.timeouts = kTimeouts;
    return param;
}

// As the log shows a sum ("Check Sum : %X"), or in four digits for scripts.
std::string HexSum(std::uint16_t value, bool fourDigits = false)
{
    char text[8];
    std::snprintf(text, sizeof text, fourDigits ? "%04X" : "%X", static_cast<unsigned>(value));
    return text;
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
            const bool listed = haveList && Listed(list, ModelText(id));
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
        console.Data(JsonText({{"list", haveList ? options.list : ""}, {"drives", shown}}));
    return kExitUpgraded;
}

int RunInfo(const CliOptions& options, CliContext& context)
{
    Console& console = context.console;
    LoadedImage image;
    if (!image.Read(options.image, console))
        return kExitRefused;
    image.Sum();
    const ImageFacts& f = image.Facts();
    ModelList list;
    const bool haveList = ReadList(options.list, list, console, "no model is checked");

    nlohmann::json models = nlohmann::json::array();
    std::vector<std::string> lines;
    for (int k = 0; haveList && k < list.m_nModelCount; ++k) {
        std::string revision;
        const bool carried = image.Carries(list.m_szModel[k], revision);
        models.push_back({{"model", list.m_szModel[k]},
                          {"file", list.m_szFile[k]},
                          {"carried", carried},
                          {"revision", revision}});
        lines.push_back("model " + Quoted(list.m_szModel[k]) + ": " +
                        (carried ? "carried, followed by revision " + Quoted(revision) +
                                       (revision.size() >= 2 ? "; a drive whose revision begins " +
                                                                   Quoted(revision.substr(0, 2)) + " passes the check"
                                                             : "")
                                 : "not carried: the image is not for this model"));
    }
    if (options.json) {
        console.Data(JsonText({{"image", f.path},
                               {"kind", f.hex ? "hex" : "bin"},
                               {"size", f.fileSize},
                               {"imageLength", f.imageLength},
                               {"sentLength", f.sentLength},
                               {"blocks", f.blocks},
                               {"programmingWaits", f.programmingWaits},
                               {"checkSum", HexSum(f.checkSum, true)},
                               {"headerSum", HexSum(f.headerSum, true)},
                               {"models", models}}));
        return kExitUpgraded;
    }
    console.Line("image:       " + f.path + " (" + (f.hex ? "Intel HEX" : "raw") + ", " +
                 std::to_string(f.fileSize) + " bytes)");
    console.Line("image bytes: " + std::to_string(f.imageLength) + (f.truncated ? " (its first 1 MiB)" : ""));
    const std::string waits =
        f.programmingWaits == 0 ? "no fixed wait after the save"
                                : std::to_string(f.programmingWaits) + (f.programmingWaits == 1 ? " wait" : " waits") +
                                      " of 4 s (" + std::to_string(4 * f.programmingWaits) +
                                      " s) after the save while the drive programs";
    console.Line("sent:        " + std::to_string(f.sentLength) + " bytes in " + std::to_string(f.blocks) +
                 (f.blocks == 1 ? " block" : " blocks") + " of 4096; " + waits);
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
    // The identity scan sends nothing to the drive.
    const bool belongs = ready.image.BelongsTo(ModelText(drive.id), drive.id.revision);
    console.Line("Check Sum : " + HexSum(ready.image.Facts().checkSum));
    if (!belongs) {
        console.Line("It is an incorrect firmware version!");
        console.Note("kavora-cli: " + ready.image.Facts().path + " is not for the drive at " + drive.name.path +
                     ": it does not carry " + Quoted(drive.id.model) + " with revision " +
                     Quoted(drive.id.revision.substr(0, 2)));
        return kExitRefused;
    }
    console.Note("kavora-cli: " + ready.image.Facts().path + " carries " + Quoted(drive.id.model) +
                 " and revision " + Quoted(drive.id.revision.substr(0, 2)) + ": it is for the drive at " +
                 drive.name.path);
    return kExitUpgraded;
}

int RunUpgrade(const CliOptions& options, CliContext& context)
{
    Console& console = context.console;
    Prepared ready;
    if (int status = Prepare(options, true, context, ready); status >= 0)
        return status;
    Chosen& drive = ready.drive;
    if (ready.list.m_bWarning == 1 && !options.yes && !Confirmed(drive, context)) {
        console.Note("kavora-cli: not confirmed; nothing was sent to the drive");
        return kExitRefused;
    }

    StopRequest stop;
    const FlashParam param = ParamFor(drive, ready.image.Facts(), console, stop);
    RunOutcome outcome;
    {
        StopOnSignals signals(stop);
        CFlashEngine engine(param, drive.Transport());
        ready.image.HandTo(engine);
        outcome = engine.Run();
    }
    console.EndBar();
    const int status = Verdict(outcome, drive, context);
    if (options.json)
        console.Data(SummaryJson(outcome, drive, status));
    return status;
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
