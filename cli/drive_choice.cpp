#include "cli/drive_choice.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/command_steps.h"
#include "cli/image_report.h"

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
    id.model.assign(reinterpret_cast<const char*>(data + scsi::kVendorProductAt), scsi::kModelChars);
    const char* revision = reinterpret_cast<const char*>(data + scsi::kRevisionAt);
    id.revision.assign(revision, strnlen(revision, scsi::kRevisionChars));
    return id;
}

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

std::string ModelText(const Identity& id) { return std::string(id.model.c_str()); }

bool OpenChosen(const DriveName& name, bool write, const CliOptions& options, CliContext& context,
                Chosen& chosen, std::string& error)
{
    chosen.name = name;
    chosen.open = context.drives.Open(name, write, error);
    if (!chosen.open)
        return false;
    // Several drives' traces interleave: each line names its drive.
    const bool several = options.all || options.drives.size() > 1;
    if (options.verbose)
        chosen.verbose = std::make_unique<VerboseTransport>(chosen.open->Transport(), context.console,
                                                            options.verbose, several ? ShortName(name.path) : "");
    return true;
}

bool OpenForUpgrade(Chosen& chosen, const CliOptions& options, CliContext& context, std::string& error)
{
    chosen.verbose.reset();
    chosen.open.reset();
    const DriveName name = chosen.name;
    return OpenChosen(name, true, options, context, chosen, error);
}

Fit Qualify(const DriveName& name, const ModelList& list, LoadedImage* image, const CliOptions& options,
            CliContext& context, Chosen& chosen, std::string& why)
{
    if (!OpenChosen(name, false, options, context, chosen, why))
        return Fit::NotOpened;
    chosen.id = Inquire(chosen.Transport());
    if (!chosen.id.answered) {
        why = chosen.id.failure;
        return Fit::NoAnswer;
    }
    if (chosen.id.deviceType != scsi::kConnectedCdRom) {
        why = "not a CD/DVD-class drive (INQUIRY device type " + std::to_string(chosen.id.deviceType) + ")";
        return Fit::NotCdRom;
    }
    if (ListedAt(list, ModelText(chosen.id).c_str()) < 0) {
        why = Quoted(chosen.id.model) + ", not the model the list names";
        return Fit::NotListed;
    }
    if (image && !image->BelongsTo(ModelText(chosen.id), chosen.id.revision)) {
        why = "the image does not carry its model with revision " + Quoted(chosen.id.revision.substr(0, 2));
        return Fit::NotForImage;
    }
    return Fit::Fits;
}

namespace {

// The named drive is not for the command: said in the words of a single
// drive's run, and a refusal.
int RefuseNamed(Console& console, const std::string& why, Fit fit, const Chosen& c)
{
    const std::string& path = c.name.path;
    switch (fit) {
    case Fit::NoAnswer:
        console.Refuse(path + " does not answer INQUIRY: " + why, path);
        break;
    case Fit::NotListed:
        // The Windows program's words for it, then ours.
        console.Line("Drive model doesn't match!");
        console.Refuse(path + " is " + why, path);
        break;
    case Fit::NotCdRom:
        console.Refuse(path + " is " + why, path);
        break;
    default:
        console.Refuse(why, path);
        break;
    }
    return kExitRefused;
}

} // namespace

int ChooseDrive(const CliOptions& options, const ModelList& list, bool write, CliContext& context,
                Chosen& chosen)
{
    Console& console = context.console;
    const bool named = !options.drive.empty();
    std::vector<DriveName> candidates;
    if (named) {
        DriveName name;
        if (!context.drives.Find(options.drive, name)) {
            bool exists = false;
            const std::string why = context.drives.WhyNotFound(options.drive, &exists);
            console.Refuse(exists ? options.drive + " is " + why + "; 'kavora-cli list' shows those there are"
                                  : Heading(options.drive) + why,
                           options.drive);
            return kExitRefused;
        }
        candidates.push_back(name);
    } else {
        candidates = context.drives.Drives();
        if (candidates.empty()) {
            console.Refuse("no CD/DVD-class drive (SCSI peripheral type 05h) found");
            return kExitRefused;
        }
    }
    // As the Windows program reads its list before it matches the drives.
    ShowList(list, console);

    std::vector<Chosen> matching;
    std::vector<std::string> others;
    for (const DriveName& name : candidates) {
        Chosen c;
        std::string why;
        const Fit fit = Qualify(name, list, nullptr, options, context, c, why);
        if (fit == Fit::Fits) {
            matching.push_back(std::move(c));
        } else if (named) {
            return RefuseNamed(console, why, fit, c);
        } else if (fit == Fit::NotOpened) {
            console.Note("kavora-cli: " + why);
        } else if (fit == Fit::NotListed) {
            others.push_back(name.path + " is " + Quoted(c.id.model));
        }
    }
    if (matching.empty()) {
        console.Refuse("no drive of the model the list names (the Windows program says "
                       "\"CD-ROM drive model doesn't match!!\")");
        for (const std::string& other : others)
            console.Note("kavora-cli:   " + other);
        return kExitRefused;
    }
    if (matching.size() > 1) {
        console.Refuse(std::to_string(matching.size()) +
                       " drives of the listed model are attached; name one with --drive");
        return kExitRefused;
    }
    chosen = std::move(matching.front());
    std::string error;
    if (write && !OpenForUpgrade(chosen, options, context, error)) {
        console.Refuse(error, chosen.name.path);
        return kExitRefused;
    }
    return -1;
}

std::string Heading(const std::string& node)
{
    return node + (!node.empty() && node.back() == ':' ? " " : ": ");
}

std::string ShortName(const std::string& node)
{
    const std::size_t slash = node.rfind('/');
    std::string name = slash == std::string::npos ? node : node.substr(slash + 1);
    // A drive letter's colon has no place in a file name, and its lines
    // read "D: Check Sum : F286" without it.
    if (name.size() == 2 && name[1] == ':')
        name.pop_back();
    return name;
}
