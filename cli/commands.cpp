#include "cli/commands.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "cli/stop_signals.h"
#include "flash/flash_engine.h"
#include "flash/image_kind.h"
#include "flash/model_list.h"
#include "flash/warning_texts.h"

namespace {

// Each command waits as long as it can take on a working drive, and a good
// deal more, but no longer: a drive that hangs must not hold the terminal
// for the 18 hours of the Windows program's time-out. The save is given
// longer than any drive takes to program its flash.
constexpr CommandTimeouts kTimeouts{20, 20, 60, 300};

// What INQUIRY says of a drive.
struct Identity {
    bool answered = false;
    std::uint8_t deviceType = 0xFF;
    std::string model;    // the 24 bytes of vendor and product, as given
    std::string revision; // the 4 bytes of the revision, cut at a zero byte
    std::string failure;  // why there is no answer
};

Identity Inquire(scsi::Transport& transport)
{
    Identity id;
    std::uint8_t data[scsi::kInquiryLength] = {};
    std::uint8_t sense[scsi::kSenseAreaSize] = {};
    const std::uint8_t cdb[scsi::kCdbLength] = {scsi::kOpInquiry, 0, 0, 0, scsi::kInquiryLength};
    scsi::Result result;
    if (!fgExecuteCommand(transport, scsi::Direction::In, sizeof data, data, sizeof cdb, cdb, sense,
                          kTimeouts.identify, &result)) {
        id.failure = ExplainFailure(result, kTimeouts.identify);
        return id;
    }
    id.answered = true;
    id.deviceType = data[0];
    id.model.assign(reinterpret_cast<const char*>(data + scsi::kVendorProductAt), kModelChars);
    const char* revision = reinterpret_cast<const char*>(data + scsi::kRevisionAt);
    id.revision.assign(revision, strnlen(revision, 4));
    return id;
}

// Shown in quotes with every blank; other unprintable bytes as \xNN.
std::string Quoted(const std::string& text)
{
    std::string shown = "\"";
    for (unsigned char c : text) {
        if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
            shown += static_cast<char>(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            shown += escaped;
        }
    }
    return shown + "\"";
}

// The model text as the engine and the model list compare it: up to the
// first zero byte, as the Windows program's drive table keeps it.
std::string ModelText(const Identity& id) { return std::string(id.model.c_str()); }

bool ReadList(const std::string& path, ModelList& list, Console& console)
{
    const ModelListRead read = ReadModelListFile(path.c_str(), list);
    if (read == ModelListRead::Missing) {
        console.Note("kavora-cli: the model list " + path + " doesn't exist (the Windows program says \"The IDString.txt doesn't exist!!\")");
        return false;
    }
    if (read == ModelListRead::BadStart) {
        console.Note("kavora-cli: " + path + ": Input file context is incorrect!! (its first character must be a double quote)");
        return false;
    }
    return true;
}

void ShowList(const ModelList& list, Console& console)
{
    console.Line("It's only for");
    for (int k = 0; k < list.m_nModelCount; ++k)
        console.Line("(" + std::to_string(k + 1) + ") " + list.m_szModel[k] + ".");
}

bool Listed(const ModelList& list, const std::string& model)
{
    for (int k = 0; k < list.m_nModelCount; ++k)
        if (ModelTextsAgree(model.c_str(), list.m_szModel[k]))
            return true;
    return false;
}

struct Chosen {
    DriveName name;
    std::unique_ptr<OpenDrive> open;
    Identity id;
};

// The drive a command works on: the one --drive names, or the one drive the
// list names. Answers an exit status, or -1 when `chosen` is filled.
int ChooseDrive(const CliOptions& options, const ModelList& list, bool write, CliContext& context,
                Chosen& chosen)
{
    Console& console = context.console;
    std::string error;
    std::vector<DriveName> candidates;
    if (!options.drive.empty()) {
        DriveName name;
        if (!context.drives.Find(options.drive, name)) {
            console.Note("kavora-cli: " + options.drive +
                         " is not a CD/DVD-class SCSI device (peripheral type 05h) of this system; "
                         "'kavora-cli list' shows those there are");
            return kExitRefused;
        }
        candidates.push_back(name);
    } else {
        candidates = context.drives.Drives();
    }

    std::vector<Chosen> matching;
    for (const DriveName& name : candidates) {
        Chosen c;
        c.name = name;
        c.open = context.drives.Open(name, write, error);
        if (!c.open) {
            console.Note("kavora-cli: " + error);
            if (!options.drive.empty())
                return kExitRefused;
            continue;
        }
        c.id = Inquire(c.open->Transport());
        if (!c.id.answered || c.id.deviceType != scsi::kConnectedCdRom) {
            if (!options.drive.empty()) {
                console.Note("kavora-cli: " + name.path +
                             (c.id.answered ? " is not a CD/DVD-class drive (INQUIRY device type " +
                                                  std::to_string(c.id.deviceType) + ")"
                                            : " does not answer INQUIRY: " + c.id.failure));
                return kExitRefused;
            }
            continue;
        }
        if (Listed(list, ModelText(c.id)))
            matching.push_back(std::move(c));
        else if (!options.drive.empty()) {
            console.Line("Drive model doesn't match!");
            console.Note("kavora-cli: " + name.path + " is " + Quoted(c.id.model) +
                         ", not the model the list names");
            return kExitRefused;
        }
    }
    if (matching.empty()) {
        console.Line("CD-ROM drive model doesn't match!!");
        return kExitRefused;
    }
    if (matching.size() > 1) {
        console.Note("kavora-cli: " + std::to_string(matching.size()) +
                     " drives of the listed model are attached; name one with --drive");
        return kExitRefused;
    }
    chosen = std::move(matching.front());
    return -1;
}

// The image to use and its kind; an exit status, or -1.
int ChooseImage(const CliOptions& options, const ModelList& list, std::string& path, bool& hex,
                Console& console)
{
    path = options.image.empty() ? std::string(list.m_szFile[0]) : options.image;
    if (path.empty()) {
        console.Note("kavora-cli: Update file name is not assigned. (the list names no image; give IMAGE)");
        return kExitRefused;
    }
    if (path.size() >= kPathChars) {
        console.Note("kavora-cli: the image path is longer than " + std::to_string(kPathChars - 1) + " characters");
        return kExitRefused;
    }
    const ImageKind kind = ImageKindOf(path.c_str());
    if (kind == ImageKind::Hex)
        hex = true;
    else if (kind == ImageKind::Raw)
        hex = false;
    else {
        console.Note("kavora-cli: Input file format mismatched. (the image must be a .hex or a .bin file)");
        return kExitRefused;
    }
    return -1;
}

FlashParam ParamFor(const Chosen& drive, const std::string& image, bool hex, Console& console,
                    StopRequest& stop)
{
    FlashParam param{};
    const std::string model = ModelText(drive.id);
    std::snprintf(param.drive.sModel, sizeof param.drive.sModel, "%s", model.c_str());
    std::snprintf(param.drive.sRevision, sizeof param.drive.sRevision, "%s", drive.id.revision.c_str());
    param.drive.byHaId = static_cast<std::uint8_t>(drive.name.host);
    param.drive.byTargetId = static_cast<std::uint8_t>(drive.name.target);
    std::snprintf(param.szImagePath, sizeof param.szImagePath, "%s", image.c_str());
    std::snprintf(param.szModel, sizeof param.szModel, "%s", model.c_str());
    std::snprintf(param.szRevision, sizeof param.szRevision, "%s", drive.id.revision.c_str());
    param.m_bHexFile = hex ? 1 : 0;
    param.callbacks = console.Callbacks(stop);
    param.pStop = &stop;
    param.timeouts = kTimeouts;
    return param;
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

// What check and upgrade settle before they touch the image: the list, the
// drive and the image file. An exit status, or -1 when all is settled.
struct Prepared {
    ModelList list;
    Chosen drive;
    std::string image;
    bool hex = false;
};

int Prepare(const CliOptions& options, bool write, CliContext& context, Prepared& ready)
{
    Console& console = context.console;
    if (!ReadList(options.list, ready.list, console))
        return kExitRefused;
    ShowList(ready.list, console);
    std::string error;
    if (write && !context.drives.MayWrite(error)) {
        console.Note("kavora-cli: " + error);
        return kExitRefused;
    }
    if (int status = ChooseDrive(options, ready.list, write, context, ready.drive); status >= 0)
        return status;
    return ChooseImage(options, ready.list, ready.image, ready.hex, console);
}

// The advice for a drive whose state nobody knows.
constexpr char kStateUnknown[] =
    "Its state is unknown. Do not power it off or unplug it. Wait a few minutes, then run "
    "'kavora-cli list': a drive that answers with the new revision took the firmware; one that "
    "answers with the old revision can be upgraded again; one that does not answer needs a power "
    "cycle, then look again.";

// What the command whose failure ended the run was.
std::string FailedCommand(const RunOutcome& outcome)
{
    char offset[16];
    std::snprintf(offset, sizeof offset, "0x%X", static_cast<unsigned>(outcome.blockOffset));
    switch (outcome.failed) {
    case DriveCommand::Block:
        return std::string("the block at image offset ") + offset;
    case DriveCommand::Header:
        return "the header";
    case DriveCommand::Save:
        return "the save command";
    case DriveCommand::ReadyPoll:
        return "the last ready poll (TEST UNIT READY)";
    case DriveCommand::Inquiry:
        return "the last INQUIRY";
    case DriveCommand::None:
        break;
    }
    return "the run";
}

// The exit status and the words for a run that went as `outcome` says.
int Verdict(const RunOutcome& outcome, const Chosen& drive, CliContext& context)
{
    Console& console = context.console;
    if (outcome.failed != DriveCommand::None)
        console.Note("kavora-cli: " + FailedCommand(outcome) + " failed: " +
                     ExplainFailure(outcome.result, outcome.timeoutSeconds));
    if (outcome.end != RunEnd::Upgraded && outcome.end != RunEnd::Refused &&
        !context.drives.StillThere(drive.name))
        console.Note("kavora-cli: " + drive.name.path +
                     " is gone from the system: it was removed or unplugged during the run");
    switch (outcome.end) {
    case RunEnd::Upgraded:
        console.Note("kavora-cli: upgraded; the drive now reports " + Quoted(outcome.after.model) +
                     " revision " + outcome.after.revision);
        return kExitUpgraded;
    case RunEnd::Refused:
        console.Note("kavora-cli: nothing was sent to the drive");
        return kExitRefused;
    case RunEnd::Stopped:
        if (!outcome.sentAnything) {
            console.Note("kavora-cli: stopped; nothing was written to the drive");
            return kExitRefused;
        }
        console.Note("kavora-cli: stopped before the save command: the drive keeps its old firmware");
        return kExitNotSaved;
    case RunEnd::NotSaved:
        console.Note("kavora-cli: failed before the save command: the drive keeps its old firmware");
        return kExitNotSaved;
    case RunEnd::SaveUnanswered:
        console.Note(std::string("kavora-cli: the save command got no answer: the drive may have taken it. ") +
                     kStateUnknown);
        return kExitStateUnknown;
    case RunEnd::NeverReady:
        console.Note(std::string("kavora-cli: the drive accepted the save command and was programming its "
                                 "flash when the run failed. ") +
                     kStateUnknown);
        return kExitStateUnknown;
    case RunEnd::NeverIdentified:
        console.Note("kavora-cli: the drive accepted the save command and finished programming, but "
                     "never answered INQUIRY again: its state is unknown. Power-cycle the drive, then "
                     "run 'kavora-cli list' to see the revision it reports; upgrade it again if it "
                     "reports the old one.");
        return kExitStateUnknown;
    }
    return kExitStateUnknown;
}

} // namespace

int RunList(const CliOptions& options, CliContext& context)
{
    Console& console = context.console;
    ModelList list;
    const bool haveList = ReadModelListFile(options.list.c_str(), list) == ModelListRead::Ok;
    const std::vector<DriveName> drives = context.drives.Drives();
    if (drives.empty())
        console.Line("no CD/DVD-class SCSI device (peripheral type 05h) found");
    for (const DriveName& name : drives) {
        std::string error;
        std::string line = name.path + (name.other.empty() ? "" : " (" + name.other + ")");
        std::unique_ptr<OpenDrive> open = context.drives.Open(name, false, error);
        if (!open) {
            console.Line(line + "  " + error);
            continue;
        }
        const Identity id = Inquire(open->Transport());
        if (!id.answered) {
            console.Line(line + "  no answer to INQUIRY: " + id.failure);
            continue;
        }
        line += "  " + Quoted(id.model) + "  " + id.revision;
        if (haveList && Listed(list, ModelText(id)))
            line += "  <- " + options.list;
        console.Line(line);
    }
    if (!haveList)
        console.Note("kavora-cli: no model list " + options.list + ": no drive is marked");
    return kExitUpgraded;
}

int RunCheck(const CliOptions& options, CliContext& context)
{
    Console& console = context.console;
    Prepared ready;
    if (int status = Prepare(options, false, context, ready); status >= 0)
        return status;
    const Chosen& drive = ready.drive;
    const std::string& image = ready.image;

    // Loading and the identity scan send nothing to the drive.
    StopRequest never;
    FlashParam param = ParamFor(drive, image, ready.hex, console, never);
    CFlashEngine engine(param, drive.open->Transport());
    // The loader's failures are reported as the upgrade reports them.
    switch (engine.LoadImage()) {
    case kLoadReadError:
        engine.ReportError(FE_READ_INPUT);
        return kExitRefused;
    case kLoadFormatError:
        engine.ReportError(FE_FORMAT);
        return kExitRefused;
    case kLoadNoMemory:
        return kExitRefused;
    default:
        break;
    }
    const bool belongs = engine.CheckIdentity();
    char sum[32];
    std::snprintf(sum, sizeof sum, "Check Sum : %X", static_cast<unsigned>(engine.m_wCheckSum));
    console.Line(sum);
    if (!belongs) {
        console.Line("It is an incorrect firmware version!");
        return kExitRefused;
    }
    console.Line(image + " carries " + Quoted(drive.id.model) + " and revision " +
                 drive.id.revision.substr(0, 2) + ": it is for the drive at " + drive.name.path);
    return kExitUpgraded;
}

int RunUpgrade(const CliOptions& options, CliContext& context)
{
    Console& console = context.console;
    Prepared ready;
    if (int status = Prepare(options, true, context, ready); status >= 0)
        return status;
    const Chosen& drive = ready.drive;
    if (ready.list.m_bWarning == 1 && !options.yes && !Confirmed(drive, context)) {
        console.Note("kavora-cli: not confirmed; nothing was sent to the drive");
        return kExitRefused;
    }

    StopRequest stop;
    const FlashParam param = ParamFor(drive, ready.image, ready.hex, console, stop);
    RunOutcome outcome;
    {
        StopOnSignals signals(stop);
        CFlashEngine engine(param, drive.open->Transport());
        outcome = engine.Run();
    }
    console.EndBar();
    return Verdict(outcome, drive, context);
}

int RunCommand(const CliOptions& options, CliContext& context)
{
    switch (options.command) {
    case CliCommand::List:
        return RunList(options, context);
    case CliCommand::Check:
        return RunCheck(options, context);
    case CliCommand::Upgrade:
        return RunUpgrade(options, context);
    default:
        return kExitRefused;
    }
}
