#include "cli/console.h"

#include <cstdio>

#include "cli/system_words.h"
#include "device/sense_words.h"
#include "flash/run_timing.h"
#include "flash/run_words.h"

namespace {

constexpr int kBarWidth = 30;

std::string Hex2(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

std::string Of(std::uint32_t done, std::uint32_t all)
{
    return std::to_string(done) + " of " + std::to_string(all);
}

// What the bar says of the step a run has reached.
std::string StepText(const RunEvent& e)
{
    using namespace run_timing;
    switch (e.step) {
    case RunStep::Planned:
        return "transfer: block " + Of(0, e.plan.blocks);
    case RunStep::BlockAccepted:
        return "transfer: block " + Of(e.index + 1, e.plan.blocks);
    case RunStep::HeaderAccepted:
        return "header sent, saving";
    case RunStep::SaveAccepted:
        return "saved: the drive is programming";
    case RunStep::ProgrammingWait:
        return "programming wait " + Of(e.index + 1, e.plan.programmingWaits) + ": " +
               std::to_string((e.plan.programmingWaits - e.index) * (kProgrammingWaitMs / 1000)) +
               " s left";
    case RunStep::ReadyPoll:
        return "ready poll " + Of(e.index + 1, kReadyPolls);
    case RunStep::Inquiry:
        return e.index == 0 ? "re-identify" : "re-identify, INQUIRY " + Of(e.index + 1, kInquiries);
    case RunStep::Identified:
        return "done";
    case RunStep::Resend:
    case RunStep::NoSumFile:
        break;
    }
    return "";
}

// Without a terminal: one line each time the run enters a stage.
std::string StageText(const RunEvent& e)
{
    using namespace run_timing;
    switch (e.step) {
    case RunStep::Planned:
    case RunStep::BlockAccepted:
        return "transfer: " + std::to_string(e.plan.blocks) + " blocks of " + std::to_string(scsi::kBlockSize) +
               " bytes";
    case RunStep::HeaderAccepted:
        return "header sent; the save command follows";
    case RunStep::SaveAccepted:
    case RunStep::ProgrammingWait:
        return "the drive took the save and is programming its flash: " +
               std::to_string(e.plan.programmingWaits * (kProgrammingWaitMs / 1000)) + " s of waits";
    case RunStep::ReadyPoll:
        return "waiting for the drive to be ready";
    case RunStep::Inquiry:
        return "reading the drive's identity";
    case RunStep::Identified:
    case RunStep::Resend:
    case RunStep::NoSumFile:
        return "";
    }
    return "";
}

} // namespace

std::string CommandWords(DriveCommand command, std::uint32_t blockOffset)
{
    char offset[16];
    std::snprintf(offset, sizeof offset, "0x%X", static_cast<unsigned>(blockOffset));
    switch (command) {
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

std::string ExplainFailure(const scsi::Result& result, std::uint32_t timeoutSeconds)
{
    switch (result.outcome) {
    case scsi::Outcome::Good:
        return "no failure";
    case scsi::Outcome::CheckCondition: {
        const scsi::SenseTriple t = result.Triple();
        return "drive's sense " + SenseCodes(t) + ": " + SenseInWords(t);
    }
    case scsi::Outcome::OtherStatus:
        return "the drive answered SCSI status " + Hex2(result.status) + " without sense data";
    case scsi::Outcome::TransportFailure: {
        std::string text = TransportFailureWords(result);
        if (result.timedOut)
            text += timeoutSeconds ? "; the drive did not answer within the command's time-out of " +
                                         std::to_string(timeoutSeconds) + " s"
                                   : "; the drive did not answer within the command's time-out";
        return text;
    }
    case scsi::Outcome::SystemFailure:
        return SystemFailureWords(result);
    }
    return "unknown";
}

Console::Console(std::ostream& out, std::ostream& err, bool terminal, Columns columns)
    : ownScreen_(std::make_unique<SingleBar>(out, err, terminal, std::move(columns))), screen_(*ownScreen_)
{
}

Console::Console(Screen& screen, std::size_t slot, const std::string& name)
    : screen_(screen), slot_(slot), name_(name)
{
}

void Console::Line(const std::string& text)
{
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    screen_.Line(name_.empty() ? line : name_ + ": " + line);
}

void Console::Trace(const std::string& lines)
{
    screen_.Note(lines.substr(0, lines.size() - (!lines.empty() && lines.back() == '\n')));
}

void Console::Data(const std::string& text)
{
    wroteData_ = true;
    screen_.Data(text);
}

void Console::Refuse(const std::string& text, const std::string& drive)
{
    if (refusal_.empty()) {
        refusal_ = text;
        refusedDrive_ = drive;
    }
    Note("kavora-cli: " + text);
}

void Console::Note(const std::string& text)
{
    // "kavora-cli: sr1: ..." for the notes of one of several runs.
    static const std::string kProgram = "kavora-cli: ";
    if (name_.empty())
        screen_.Note(text);
    else
        screen_.Note(text.rfind(kProgram, 0) == 0 ? kProgram + name_ + ": " + text.substr(kProgram.size())
                                                  : name_ + ": " + text);
}

void Console::Take(const RunEvent& event)
{
    if (event.step == RunStep::Resend) {
        const Resend& again = event.resend;
        // Conforming drives raise a unit attention after every download, so
        // the command after it goes twice on every run: routine, counted and
        // said once at the end (-v shows each).
        if (again.failed && again.failed->CurrentKey() == scsi::kSenseKeyUnitAttention) {
            ++attentionResends_;
            return;
        }
        Note("kavora-cli: resending " + CommandWords(again.command, again.offset) + ", " +
             std::to_string(again.send) + " of " + std::to_string(again.sends) + ": " +
             (again.failed ? ExplainFailure(*again.failed, again.timeoutSeconds) : "it failed"));
        return;
    }
    if (event.step == RunStep::NoSumFile) {
        Note("kavora-cli: warning: " + NoSumFileWords(event.sumFile.path, event.sumFile.error));
        return;
    }
    progress_.Take(event);
    barText_ = StepText(event);
    NoteLateStop();
    if (Terminal()) {
        DrawBar();
        return;
    }
    const std::string stage = StageText(event);
    if (!stage.empty() && stage != stage_) {
        stage_ = stage;
        Note("kavora-cli: " + stage);
    }
}

void Console::NoteLateStop()
{
    if (lateStopNoted_ || !stop_ || stop_->LateRequests() == 0)
        return;
    lateStopNoted_ = true;
    Note("kavora-cli: stop request ignored: the last block has gone to the drive and it is "
         "taking the new firmware. Do not power it off or unplug it; the run goes on to its end.");
}

void Console::DrawBar()
{
    if (!Terminal() || barText_.empty())
        return;
    const int percent = progress_.Percent();
    const int filled = percent * kBarWidth / 100;
    const std::string bar = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] " +
                            std::to_string(percent) + "% " + barText_;
    screen_.Show(slot_, name_.empty() ? bar : name_ + " " + bar);
}

void Console::EndBar()
{
    NoteLateStop();
    barText_.clear();
    screen_.Show(slot_, "");
    if (attentionResends_) {
        Note("kavora-cli: " + std::to_string(attentionResends_) +
             (attentionResends_ == 1 ? " command was" : " commands were") +
             " sent again after a unit attention, which the drive raises after each download");
        attentionResends_ = 0;
    }
    Out().flush();
    Err().flush();
}

FlashCallbacks Console::Callbacks(const StopRequest& stop)
{
    stop_ = &stop;
    FlashCallbacks callbacks{};
    callbacks.CBShowMessage = [](void* c, const char* text) { Of(c).Line(text ? text : ""); };
    callbacks.CBShowStatus = [](void*, const char*) {};
    callbacks.CBSetRevision = [](void*, const char*) {};
    callbacks.CBSetDriveName = [](void*, const char*) {};
    // The dialog's bar positions; the terminal's bar follows the run's events.
    callbacks.CBSetProgress = [](void*, std::int32_t) {};
    callbacks.CBIfTerminated = [](void* c) -> std::uint8_t {
        return Of(c).stop_->Requested() ? 1 : 0;
    };
    callbacks.OnRunEvent = [](void* c, const RunEvent& event) { Of(c).Take(event); };
    callbacks.pContext = this;
    return callbacks;
}
