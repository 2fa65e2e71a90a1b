// The terminal side of a run: the log lines of the Windows program, one per
// line on standard output; on a terminal a progress bar under them with the
// step and the time left of the fixed waits; notes on standard error. It
// answers the engine's stop question from the run's stop request.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "device/scsi_transport.h"
#include "flash/flash_param.h"
#include "flash/run_progress.h"
#include "flash/stop_request.h"

class Console {
public:
    Console(std::ostream& out, std::ostream& err, bool terminal);

    void Line(const std::string& text);
    void Note(const std::string& text);
    void EndBar();

    // The engine's routines, with this console as their context; the stop
    // question is answered from `stop`.
    FlashCallbacks Callbacks(const StopRequest& stop);

    // What the bar shows: 0 to 100, never going back during a run.
    int Percent() const { return progress_.Percent(); }

private:
    static Console& Of(void* context) { return *static_cast<Console*>(context); }
    void Take(const RunEvent& event);
    void DrawBar();
    void ClearBar();
    void NoteLateStop();

    std::ostream& out_;
    std::ostream& err_;
    bool terminal_;
    bool barShown_ = false;
    std::string barText_;
    RunProgress progress_;
    const StopRequest* stop_ = nullptr;
    bool lateStopNoted_ = false;
};

// One failed command in words: the drive's sense, or the transport's or the
// system's failure, never one for the other. `timeoutSeconds` is the
// command's time-out, named when the system gave up waiting.
std::string ExplainFailure(const scsi::Result& result, std::uint32_t timeoutSeconds = 0);
