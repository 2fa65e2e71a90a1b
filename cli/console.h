// The terminal side of a run: the log lines of the Windows program, one per
// line on standard output; on a terminal a progress bar under them with the
// stage and the time left of the fixed waits; notes on standard error. It
// also answers the engine's stop question from the signals that came.
#pragma once

#include <atomic>
#include <cstdint>
#include <ostream>
#include <string>

#include "device/scsi_transport.h"
#include "flash/flash_param.h"
#include "flash/run_stage.h"

class WatchedTransport;

class Console {
public:
    Console(std::ostream& out, std::ostream& err, bool terminal);

    void Line(const std::string& text);
    void Note(const std::string& text);
    void EndBar();

    // What the run will do, for the bar: blocks to send and 4-second waits.
    void Plan(std::uint32_t blocks, unsigned waits);
    // The transport to explain failures from.
    void Watch(const WatchedTransport* watched) { watched_ = watched; }

    // The engine's routines, with this console as their context.
    FlashCallbacks Callbacks();
    std::atomic<RunStage> stage{RunStage::Idle};

    const std::string& DriveName() const { return driveName_; }
    const std::string& Revision() const { return revision_; }

private:
    static Console& Of(void* context) { return *static_cast<Console*>(context); }
    void Progress(std::int32_t position);
    void DrawBar();
    void ClearBar();
    void ExplainLastFailure();
    std::uint8_t AskedToStop();

    std::ostream& out_;
    std::ostream& err_;
    bool terminal_;
    const WatchedTransport* watched_ = nullptr;
    bool barShown_ = false;
    std::string barText_;
    int percent_ = 0;
    std::int32_t lastPosition_ = -1;
    std::uint32_t blocks_ = 0, blocksDone_ = 0;
    unsigned waits_ = 0;
    bool programmingNoted_ = false;
    std::string driveName_, revision_;
};

// One failed command in words: the drive's sense, or the transport's or the
// system's failure, never one for the other.
std::string ExplainFailure(const scsi::Result& result);
