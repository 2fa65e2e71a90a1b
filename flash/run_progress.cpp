#include "flash/run_progress.h"

#include "flash/run_timing.h"

namespace {

using namespace run_timing;

// A block's expected time: a 4 KiB transfer and the drive's answer.
constexpr std::uint64_t kBlockMs = 50;
// Header and save together.
constexpr std::uint64_t kCommitMs = 1000;

struct Layout {
    std::uint64_t blocksEnd, commitEnd, waitsEnd, pollsEnd, total;
};

Layout LayoutOf(const RunPlan& plan)
{
    Layout l{};
    l.blocksEnd = plan.blocks * kBlockMs;
    l.commitEnd = l.blocksEnd + kCommitMs;
    l.waitsEnd = l.commitEnd + std::uint64_t{plan.programmingWaits} * kProgrammingWaitMs;
    l.pollsEnd = l.waitsEnd + std::uint64_t{kReadyPolls} * kPollPauseMs + kPollPauseMs;
    l.total = l.pollsEnd + std::uint64_t{kInquiries} * kPollPauseMs;
    return l;
}

// How much of the run lies behind the step `event` names.
std::uint64_t Done(const RunEvent& event, const Layout& l)
{
    const std::uint64_t i = event.index;
    switch (event.step) {
    case RunStep::Planned:
        return 0;
    case RunStep::BlockAccepted:
        return (i + 1) * kBlockMs;
    case RunStep::HeaderAccepted:
        return l.blocksEnd + kCommitMs / 2;
    case RunStep::SaveAccepted:
        return l.commitEnd;
    case RunStep::ProgrammingWait:
        return l.commitEnd + i * kProgrammingWaitMs;
    case RunStep::ReadyPoll:
        return l.waitsEnd + i * kPollPauseMs;
    case RunStep::Inquiry:
        return l.pollsEnd + i * kPollPauseMs;
    case RunStep::Identified:
        return l.total;
    case RunStep::Resend:
    case RunStep::NoSumFile:
        return 0; // nothing moves on
    }
    return 0;
}

} // namespace

void RunProgress::Take(const RunEvent& event)
{
    const Layout layout = LayoutOf(event.plan);
    std::uint64_t done = Done(event, layout);
    if (done > layout.total)
        done = layout.total;
    const auto permille = static_cast<std::uint32_t>(done * 1000 / layout.total);
    if (permille > permille_)
        permille_ = permille;
}
