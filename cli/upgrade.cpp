// The upgrade: of one drive, or of several at once (a duplicator tower, a
// rack of one model), each chosen drive by its own run on its own thread.
// One drive is a tower of one that speaks as a single run: its lines under
// no name, its "sum.txt", no table at the end.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "cli/board.h"
#include "cli/command_steps.h"
#include "cli/commands.h"
#include "cli/json_text.h"
#include "cli/stop_signals.h"
#include "cli/tower_choice.h"
#include "cli/verdict.h"
#include "flash/flash_engine.h"

namespace {

// One drive's run: its console (its own in a tower), stop and outcome; the
// image is lent.
struct DriveRun {
    Chosen* drive = nullptr;
    std::string name;
    std::unique_ptr<Console> ownConsole;
    Console* console = nullptr;
    StopRequest stop;
    RunOutcome outcome;
    int status = kExitRefused;
};

std::string Padded(std::string text, std::size_t width)
{
    if (text.size() < width)
        text.resize(width, ' ');
    return text;
}

// The drives of the upgrade: the one drive, or those --all or several
// --drive name. An exit status, or -1 when `chosen` holds at least one.
int Choose(const CliOptions& options, bool tower, Prepared& ready, CliContext& context,
           std::vector<Chosen>& chosen, std::vector<Unchosen>& unchosen)
{
    if (tower)
        return ChooseDrives(options, ready.list, ready.image, context, chosen, unchosen);
    chosen.emplace_back();
    return ChooseDrive(options, ready.list, true, context, chosen.front());
}

// LUNs of one target are parts of one device: a download to one raises a
// unit attention on each of the others, so two runs at once would spend
// each other's resends. They go one after another; targets at once.
std::vector<std::vector<DriveRun*>> ByTarget(std::vector<DriveRun>& runs)
{
    std::vector<std::vector<DriveRun*>> targets;
    for (DriveRun& run : runs) {
        auto same = std::find_if(targets.begin(), targets.end(), [&](const std::vector<DriveRun*>& t) {
            return SameTarget(t.front()->drive->name, run.drive->name);
        });
        if (same == targets.end())
            targets.push_back({&run});
        else
            same->push_back(&run);
    }
    return targets;
}

// Threads, not processes, one per target: the runs share the image read
// once, and each one's state is a few hundred bytes beside it; a drive that
// hangs holds only its own thread, until its command's time-out.
void RunAll(std::vector<DriveRun>& runs, const std::vector<std::vector<DriveRun*>>& targets, bool tower,
            const LoadedImage& image)
{
    std::vector<StopRequest*> stops;
    for (DriveRun& run : runs)
        stops.push_back(&run.stop);
    StopOnSignals signals(stops);
    std::vector<std::thread> threads;
    for (const std::vector<DriveRun*>& target : targets) {
        threads.emplace_back([&target, &image, tower] {
            for (DriveRun* run : target) {
                FlashParam param = ParamFor(*run->drive, image.Facts(), *run->console, run->stop);
                if (tower)
                    std::snprintf(param.szSumPath, sizeof param.szSumPath, "sum-%s.txt", run->name.c_str());
                CFlashEngine engine(param, run->drive->Transport());
                image.LendTo(engine);
                run->outcome = engine.Run();
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
}

// The table of a tower's drives at its end, and --json's summary of them.
int EndTower(const CliOptions& options, std::vector<DriveRun>& runs, const std::vector<Unchosen>& unchosen,
             Console& console)
{
    int worst = kExitUpgraded;
    nlohmann::json summaries = nlohmann::json::array();
    for (DriveRun& run : runs) {
        worst = std::max(worst, run.status);
        summaries.push_back(SummaryJson(run.outcome, *run.drive, run.status));
    }
    // Every drive the user named is accounted for, upgraded or not.
    for (const Unchosen& u : unchosen) {
        if (u.counts)
            worst = std::max(worst, kExitRefused);
        summaries.push_back({{"node", u.node},
                             {"model", u.id.model},
                             {"revisionBefore", u.id.revision},
                             {"result", u.result},
                             {"exitStatus", kExitRefused},
                             {"reason", u.reason}});
    }
    console.Note(Padded("node", 10) + Padded("model", 28) + Padded("before", 8) + Padded("after", 7) +
                 "result");
    for (const DriveRun& run : runs)
        console.Note(Padded(run.drive->name.path, 10) + Padded(Quoted(run.drive->id.model), 28) +
                     Padded(run.drive->id.revision, 8) + Padded(run.outcome.after.revision, 7) +
                     RunEndName(run.outcome.end) + " (exit " + std::to_string(run.status) + ")");
    for (const Unchosen& u : unchosen)
        console.Note(Padded(u.node, 10) + Padded(u.id.model.empty() ? "" : Quoted(u.id.model), 28) +
                     Padded(u.id.revision, 8) + Padded("", 7) + u.result + " (exit " +
                     std::to_string(kExitRefused) + "): " + u.reason);
    if (options.json)
        console.Data(JsonDocument({{"drives", summaries}, {"exitStatus", worst}}));
    return worst;
}

} // namespace

int RunUpgrade(const CliOptions& options, CliContext& context)
{
    Console& console = context.console;
    const bool tower = options.all || options.drives.size() > 1;
    Prepared ready;
    if (int status = PrepareImage(options, true, context, ready); status >= 0)
        return status;
    std::vector<Chosen> chosen;
    std::vector<Unchosen> unchosen;
    if (int status = Choose(options, tower, ready, context, chosen, unchosen); status >= 0)
        return status;

    std::vector<const Chosen*> confirming;
    for (const Chosen& c : chosen)
        confirming.push_back(&c);
    if (ready.list.m_bWarning == 1 && !options.yes && !Confirmed(confirming, context)) {
        console.Refuse(std::string("not confirmed; nothing was sent to the drive") + (tower ? "s" : ""));
        return kExitRefused;
    }
    std::unique_ptr<Board> board;
    if (tower) {
        board = std::make_unique<Board>(console.Out(), console.Err(), console.Terminal(), chosen.size(),
                                        console.Width());
        if (console.LinesGoToErr())
            board->LinesToErr();
    }
    std::vector<DriveRun> runs(chosen.size());
    std::string names;
    for (std::size_t k = 0; k < chosen.size(); ++k) {
        DriveRun& run = runs[k];
        run.drive = &chosen[k];
        run.name = ShortName(chosen[k].name.path);
        if (board)
            run.ownConsole = std::make_unique<Console>(*board, k, run.name);
        run.console = board ? run.ownConsole.get() : &console;
        if (board && run.drive->verbose)
            run.drive->verbose->TraceTo(*run.console);
        names += " " + chosen[k].name.path;
    }
    const std::vector<std::vector<DriveRun*>> targets = ByTarget(runs);
    if (tower)
        console.Note("kavora-cli: upgrading " +
                     (chosen.size() == 1                ? std::string("1 drive:")
                      : targets.size() < runs.size() ? std::to_string(chosen.size()) +
                                                           " drives (LUNs of one target one after another):"
                                                     : std::to_string(chosen.size()) + " drives at once:") +
                     names);
    RunAll(runs, targets, tower, ready.image);
    if (board)
        board->End();
    for (DriveRun& run : runs) {
        run.console->EndBar();
        run.status = Verdict(run.outcome, *run.drive, context.drives, *run.console);
    }
    if (tower)
        return EndTower(options, runs, unchosen, console);
    if (options.json)
        console.Data(JsonDocument(SummaryJson(runs.front().outcome, *runs.front().drive, runs.front().status)));
    return runs.front().status;
}
