#include "cli/tower_choice.h"

#include "cli/command_steps.h"
#include "cli/image_report.h"
#include "cli/stop_signals.h"

namespace {

// The drives --all or the --drive options name, each once, by either node;
// a named node that is none of them is kept in `unchosen`.
std::vector<DriveName> Candidates(const CliOptions& options, CliContext& context, std::vector<Unchosen>& unchosen)
{
    std::vector<DriveName> found;
    if (options.all) {
        found = context.drives.Drives();
    } else {
        for (const std::string& node : options.drives) {
            DriveName name;
            if (context.drives.Find(node, name)) {
                found.push_back(name);
                continue;
            }
            bool again = false;
            for (const Unchosen& u : unchosen)
                again = again || u.node == node;
            if (again)
                continue;
            const std::string why = context.drives.WhyNotFound(node);
            context.console.Note("kavora-cli: " + Heading(node) + "not upgraded: " + why);
            unchosen.push_back({node, "missing", why, {}, true});
        }
    }
    std::vector<DriveName> once;
    for (const DriveName& name : found) {
        bool twice = false;
        for (const DriveName& before : once)
            twice = twice || SameDrive(before, name);
        if (!twice)
            once.push_back(name);
    }
    return once;
}

} // namespace

int ChooseDrives(const CliOptions& options, const ModelList& list, LoadedImage& image, CliContext& context,
                 std::vector<Chosen>& chosen, std::vector<Unchosen>& unchosen)
{
    Console& console = context.console;
    const bool named = !options.all;
    const std::vector<DriveName> candidates = Candidates(options, context, unchosen);
    if (!candidates.empty())
        ShowList(list, console);
    // Each one asked first, and none taken for the upgrade while there are
    // more than a run can stop.
    struct Asked {
        Chosen drive;
        Fit fit;
        std::string why;
    };
    std::vector<Asked> asked(candidates.size());
    std::size_t fitting = 0;
    for (std::size_t k = 0; k < candidates.size(); ++k) {
        asked[k].fit = Qualify(candidates[k], list, &image, options, context, asked[k].drive, asked[k].why);
        fitting += asked[k].fit == Fit::Fits ? 1 : 0;
    }
    if (fitting > StopOnSignals::kMaxStops) {
        console.Refuse(std::to_string(fitting) + " drives to upgrade, more than the " +
                     std::to_string(StopOnSignals::kMaxStops) +
                     " one run of the program can take at once; nothing was sent to them. Name at most " +
                     std::to_string(StopOnSignals::kMaxStops) + " with --drive");
        return kExitRefused;
    }
    for (Asked& a : asked) {
        Chosen& c = a.drive;
        std::string reason = a.fit == Fit::NoAnswer    ? "no answer to INQUIRY: " + a.why
                             : a.fit == Fit::NotListed ? "it is " + a.why
                                                       : a.why;
        bool forThisUpgrade = named;
        if (a.fit == Fit::Fits) {
            if (OpenForUpgrade(c, options, context, reason)) {
                chosen.push_back(std::move(c));
                continue;
            }
            forThisUpgrade = true;
        }
        console.Note("kavora-cli: " + Heading(c.name.path) + "not upgraded: " + reason);
        unchosen.push_back({c.name.path, "refused", reason, c.id, forThisUpgrade});
    }
    if (chosen.empty()) {
        console.Refuse(options.all && candidates.empty() ? "no CD/DVD-class drive (SCSI peripheral type 05h) found"
                                                         : "no drive to upgrade");
        return kExitRefused;
    }
    return -1;
}
