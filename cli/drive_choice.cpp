#include "cli/drive_choice.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "cli/image_report.h"
#include "cli/stop_signals.h"

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

bool Listed(const ModelList& list, const std::string& model)
{
    for (int k = 0; k < list.m_nModelCount; ++k)
        if (ModelTextsAgree(model.c_str(), list.m_szModel[k]))
            return true;
    return false;
}

bool OpenChosen(const DriveName& name, bool write, const CliOptions& options, CliContext& context,
                Chosen& chosen, std::string& error)
{
    chosen.name = name;
    chosen.open = context.drives.Open(name, write, error);
    if (!chosen.open)
        return false;
    if (options.verbose)
        chosen.verbose = std::make_unique<VerboseTransport>(chosen.open->Transport(), context.console,
                                                            options.verbose);
    return true;
}

bool OpenForUpgrade(Chosen& chosen, const CliOptions& options, CliContext& context, std::string& error)
{
    chosen.verbose.reset();
    chosen.open.reset();
    const DriveName name = chosen.name;
    return OpenChosen(name, true, options, context, chosen, error);
}

int ChooseDrive(const CliOptions& options, const ModelList& list, bool write, CliContext& context,
                Chosen& chosen)
{
    Console& console = context.console;
    const bool named = !options.drive.empty();
    std::string error;
    std::vector<DriveName> candidates;
    if (named) {
        DriveName name;
        if (!context.drives.Find(options.drive, name)) {
            struct stat info{};
            if (::stat(options.drive.c_str(), &info) != 0)
                console.Note("kavora-cli: " + options.drive + ": " + std::strerror(errno));
            else
                console.Note("kavora-cli: " + options.drive +
                             " is not a CD/DVD-class SCSI device (peripheral type 05h) of this system; "
                             "'kavora-cli list' shows those there are");
            return kExitRefused;
        }
        candidates.push_back(name);
    } else {
        candidates = context.drives.Drives();
        if (candidates.empty()) {
            console.Note("kavora-cli: no CD/DVD-class drive (SCSI peripheral type 05h) found");
            return kExitRefused;
        }
    }

    std::vector<Chosen> matching;
    std::vector<std::string> others;
    for (const DriveName& name : candidates) {
        Chosen c;
        if (!OpenChosen(name, false, options, context, c, error)) {
            console.Note("kavora-cli: " + error);
            if (named)
                return kExitRefused;
            continue;
        }
        c.id = Inquire(c.Transport());
        if (!c.id.answered || c.id.deviceType != scsi::kConnectedCdRom) {
            if (named) {
                console.Note("kavora-cli: " + name.path +
                             (c.id.answered ? " is not a CD/DVD-class drive (INQUIRY device type " +
                                                  std::to_string(c.id.deviceType) + ")"
                                            : " does not answer INQUIRY: " + c.id.failure));
                return kExitRefused;
            }
            continue;
        }
        if (Listed(list, ModelText(c.id))) {
            matching.push_back(std::move(c));
            continue;
        }
        if (named) {
            // The Windows program's words for it, then ours.
            console.Line("Drive model doesn't match!");
            console.Note("kavora-cli: " + name.path + " is " + Quoted(c.id.model) +
                         ", not the model the list names");
            return kExitRefused;
        }
        others.push_back(name.path + " is " + Quoted(c.id.model));
    }
    if (matching.empty()) {
        console.Note("kavora-cli: no drive of the model the list names (the Windows program says "
                     "\"CD-ROM drive model doesn't match!!\")");
        for (const std::string& other : others)
            console.Note("kavora-cli:   " + other);
        return kExitRefused;
    }
    if (matching.size() > 1) {
        console.Note("kavora-cli: " + std::to_string(matching.size()) +
                     " drives of the listed model are attached; name one with --drive");
        return kExitRefused;
    }
    chosen = std::move(matching.front());
    if (write && !OpenForUpgrade(chosen, options, context, error)) {
        console.Note("kavora-cli: " + error);
        return kExitRefused;
    }
    return -1;
}

std::string ShortName(const std::string& node)
{
    const std::size_t slash = node.rfind('/');
    return slash == std::string::npos ? node : node.substr(slash + 1);
}

int ChooseDrives(const CliOptions& options, const ModelList& list, LoadedImage& image, CliContext& context,
                 std::vector<Chosen>& chosen, std::vector<Unchosen>& unchosen)
{
    Console& console = context.console;
    const bool named = !options.all;
    const auto note = [&](const std::string& node, const std::string& why) {
        console.Note("kavora-cli: " + node + ": not upgraded: " + why);
    };
    std::vector<DriveName> candidates;
    if (options.all) {
        candidates = context.drives.Drives();
    } else {
        for (const std::string& node : options.drives) {
            DriveName name;
            if (context.drives.Find(node, name)) {
                candidates.push_back(name);
                continue;
            }
            bool again = false;
            for (const Unchosen& u : unchosen)
                again = again || u.node == node;
            if (again)
                continue;
            struct stat info{};
            const std::string why = ::stat(node.c_str(), &info) != 0
                                        ? std::string(std::strerror(errno))
                                        : "not a CD/DVD-class SCSI device (peripheral type 05h) of this system";
            note(node, why);
            unchosen.push_back({node, "missing", why, {}, true});
        }
    }
    std::vector<DriveName> seen;
    for (const DriveName& name : candidates) {
        bool twice = false;
        for (const DriveName& before : seen)
            twice = twice || SameDrive(before, name);
        if (twice)
            continue;
        seen.push_back(name);
        Chosen c;
        std::string error;
        const auto refuse = [&](const std::string& why, bool forThisUpgrade) {
            note(name.path, why);
            unchosen.push_back({name.path, "refused", why, c.id, named || forThisUpgrade});
        };
        if (!OpenChosen(name, false, options, context, c, error)) {
            refuse(error, false);
            continue;
        }
        c.id = Inquire(c.Transport());
        if (!c.id.answered) {
            refuse("no answer to INQUIRY: " + c.id.failure, false);
        } else if (c.id.deviceType != scsi::kConnectedCdRom) {
            refuse("not a CD/DVD-class drive (INQUIRY device type " + std::to_string(c.id.deviceType) + ")",
                   false);
        } else if (!Listed(list, ModelText(c.id))) {
            refuse("it is " + Quoted(c.id.model) + ", not the model the list names", false);
        } else if (!image.BelongsTo(ModelText(c.id), c.id.revision)) {
            refuse("the image does not carry its model with revision " + Quoted(c.id.revision.substr(0, 2)),
                   false);
        } else if (!OpenForUpgrade(c, options, context, error)) {
            refuse(error, true);
        } else {
            chosen.push_back(std::move(c));
        }
    }
    if (chosen.empty()) {
        console.Note(options.all && candidates.empty() ? "kavora-cli: no CD/DVD-class drive (SCSI peripheral type 05h) found"
                                        : "kavora-cli: no drive to upgrade");
        return kExitRefused;
    }
    if (chosen.size() > StopOnSignals::kMaxStops) {
        console.Note("kavora-cli: " + std::to_string(chosen.size()) + " drives to upgrade, more than the " +
                     std::to_string(StopOnSignals::kMaxStops) +
                     " one run of the program can take at once; nothing was sent to them. Name at most " +
                     std::to_string(StopOnSignals::kMaxStops) + " with --drive");
        return kExitRefused;
    }
    return -1;
}
