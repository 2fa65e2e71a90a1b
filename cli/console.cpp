#include "cli/console.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli/stop_request.h"
#include "cli/watched_transport.h"
#include "device/linux/sense_text.h"
#include "device/linux/sg_io_transport.h"

namespace {

constexpr int kBarWidth = 30;
constexpr unsigned kWaitSeconds = 4;
constexpr int kMaxPolls = 26;

std::string Hex2(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

bool IsFailureLine(const std::string& line)
{
    return line.rfind("Execute command error", 0) == 0 || line.find("times Out!") != std::string::npos;
}

} // namespace

std::string ExplainFailure(const scsi::Result& result)
{
    switch (result.outcome) {
    case scsi::Outcome::Good:
        return "no failure";
    case scsi::Outcome::CheckCondition: {
        const scsi::SenseTriple t = result.Triple();
        char triple[16];
        std::snprintf(triple, sizeof triple, "%02X/%02X/%02X", t.key, t.asc, t.ascq);
        return std::string("drive's sense ") + triple + ": " + SenseText(t);
    }
    case scsi::Outcome::OtherStatus:
        return "the drive answered SCSI status " + Hex2(result.status) + " without sense data";
    case scsi::Outcome::TransportFailure:
        return "transport failure, not an answer of the drive: host status " + Hex2(result.hostStatus) +
               " (" + HostStatusName(result.hostStatus) + "), driver status " +
               Hex2(result.driverStatus) + " (" + DriverStatusName(result.driverStatus) + ")";
    case scsi::Outcome::SystemFailure: {
        std::string text = std::string("the system failed the request: ") +
                           std::strerror(static_cast<int>(result.systemError));
        if (result.systemError == ENODEV || result.systemError == ENXIO || result.systemError == ENOENT)
            text += " (the drive is gone from the system)";
        else if (result.systemError == EPERM || result.systemError == EACCES)
            text += " (WRITE BUFFER through SG_IO needs root or CAP_SYS_RAWIO)";
        return text;
    }
    }
    return "unknown";
}

Console::Console(std::ostream& out, std::ostream& err, bool terminal)
    : out_(out), err_(err), terminal_(terminal)
{
}

void Console::Line(const std::string& text)
{
    ClearBar();
    std::string line = text;
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    out_ << line << '\n';
    if (IsFailureLine(line))
        ExplainLastFailure();
    out_.flush();
    DrawBar();
}

void Console::Note(const std::string& text)
{
    ClearBar();
    out_.flush();
    err_ << text << '\n';
    err_.flush();
    DrawBar();
}

void Console::ExplainLastFailure()
{
    if (watched_ && watched_->HasFailure())
        out_ << "    " << ExplainFailure(watched_->LastFailure()) << '\n';
}

void Console::Plan(std::uint32_t blocks, unsigned waits)
{
    blocks_ = blocks;
    waits_ = waits;
}

void Console::Progress(std::int32_t position)
{
    // The engine's positions: 0, then 5 and 10 for each block; 15 after the
    // header; 20 + 3j before wait j; 70 + t before poll t; 90; 100.
    if (position <= 10) {
        if (position == 10)
            ++blocksDone_;
        percent_ = blocks_ ? static_cast<int>(15 * blocksDone_ / blocks_) : 0;
        barText_ = "transfer: block " + std::to_string(blocksDone_) + " of " + std::to_string(blocks_);
    } else if (position == 15) {
        percent_ = 15;
        barText_ = "header sent, saving";
    } else if (position < 70) {
        const unsigned j = static_cast<unsigned>(position - 20) / 3;
        percent_ = position;
        const unsigned left = waits_ > j ? (waits_ - j) * kWaitSeconds : kWaitSeconds;
        barText_ = "programming wait " + std::to_string(j + 1) + " of " + std::to_string(waits_) +
                   ": " + std::to_string(left) + " s left";
    } else if (position < 100 && (position != 90 || lastPosition_ == 89)) {
        // 90 is also the 21st poll; it follows the 20th.
        percent_ = position;
        barText_ = "ready poll " + std::to_string(position - 70 + 1) + " of " + std::to_string(kMaxPolls);
    } else if (position == 90) {
        percent_ = 90;
        barText_ = "re-identify";
    } else {
        percent_ = 100;
        barText_ = "done";
    }
    lastPosition_ = position;
    DrawBar();
}

void Console::DrawBar()
{
    if (!terminal_ || barText_.empty())
        return;
    const int filled = percent_ * kBarWidth / 100;
    out_ << "\r\033[K[" << std::string(filled, '#') << std::string(kBarWidth - filled, '.') << "] "
         << percent_ << "% " << barText_;
    out_.flush();
    barShown_ = true;
}

void Console::ClearBar()
{
    if (barShown_) {
        out_ << "\r\033[K";
        barShown_ = false;
    }
}

void Console::EndBar()
{
    ClearBar();
    barText_.clear();
    out_.flush();
}

std::uint8_t Console::AskedToStop()
{
    if (!StopRequested())
        return 0;
    const RunStage now = stage.load();
    if (now == RunStage::Idle || now == RunStage::Loading || now == RunStage::Transfer)
        return 1;
    if (!programmingNoted_) {
        programmingNoted_ = true;
        Note("kavora-cli: stop request ignored: the last block has gone to the drive and it is "
             "taking the new firmware. Do not power it off or unplug it; the run goes on to its end.");
    }
    return 0;
}

FlashCallbacks Console::Callbacks()
{
    FlashCallbacks callbacks{};
    callbacks.CBShowMessage = [](void* c, const char* text) { Of(c).Line(text ? text : ""); };
    callbacks.CBShowStatus = [](void*, const char*) {};
    callbacks.CBSetRevision = [](void* c, const char* text) { Of(c).revision_ = text ? text : ""; };
    callbacks.CBSetDriveName = [](void* c, const char* text) { Of(c).driveName_ = text ? text : ""; };
    callbacks.CBSetProgress = [](void* c, std::int32_t position) {
        Of(c).AskedToStop(); // a request after the last block is answered at once
        Of(c).Progress(position);
    };
    callbacks.CBIfTerminated = [](void* c) -> std::uint8_t { return Of(c).AskedToStop(); };
    callbacks.pContext = this;
    return callbacks;
}
