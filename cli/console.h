// The terminal side of a run: the log lines of the Windows program, one per
// line on standard output (on standard error with --json, whose document is
// all standard output holds); notes, verdicts and errors on standard error,
// with a progress bar there when it draws one (the step and the time left of
// the fixed waits), or else a line for each stage the run enters. It answers
// the engine's stop question from the run's stop request, and keeps what a
// refusal said, for the error document of --json.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include <memory>

#include "cli/screen.h"
#include "device/scsi_transport.h"
#include "flash/flash_param.h"
#include "flash/run_progress.h"
#include "flash/stop_request.h"

class Console {
public:
    // `terminal`: standard error draws a progress bar, cut to `columns`.
    Console(std::ostream& out, std::ostream& err, bool terminal, Columns columns = {});
    // One of several runs at once: its lines go through `screen` (a board)
    // under its `name` ("sr1"), its bar is the screen's line `slot`.
    Console(Screen& screen, std::size_t slot, const std::string& name);

    // A log line, on standard output.
    void Line(const std::string& text);
    // Data for scripts (list, info, --json), on standard output as it is.
    void Data(const std::string& text);
    // A verdict, note or error, on standard error.
    void Note(const std::string& text);
    // Why the command refuses to go on, as a note after "kavora-cli: "; the
    // first is kept, with the `drive` it is about, if any.
    void Refuse(const std::string& text, const std::string& drive = "");
    const std::string& Refusal() const { return refusal_; }
    const std::string& RefusedDrive() const { return refusedDrive_; }
    // Whether Data() has written anything.
    bool WroteData() const { return wroteData_; }
    // The log lines go to standard error from now on (--json).
    void LinesToErr() { screen_.LinesToErr(); }
    std::ostream& Out() { return screen_.Out(); }
    std::ostream& Err() { return screen_.Err(); }
    bool Terminal() const { return screen_.Terminal(); }
    const Columns& Width() const { return screen_.Width(); }
    bool LinesGoToErr() const { return screen_.LinesGoToErr(); }
    // Lines of a command trace (-v), kept together.
    void Trace(const std::string& lines);
    void EndBar();

    // The engine's routines, with this console as their context; the stop
    // question is answered from `stop`.
    FlashCallbacks Callbacks(const StopRequest& stop);

private:
    static Console& Of(void* context) { return *static_cast<Console*>(context); }
    void Take(const RunEvent& event);
    void DrawBar();
    void NoteLateStop();

    std::unique_ptr<Screen> ownScreen_;
    Screen& screen_;
    std::size_t slot_ = 0;
    std::string name_; // of one of several runs; empty for the one run
    std::string barText_;
    std::string stage_;
    RunProgress progress_;
    const StopRequest* stop_ = nullptr;
    bool lateStopNoted_ = false;
    bool wroteData_ = false;
    std::string refusal_, refusedDrive_;
    std::uint32_t attentionResends_ = 0; // commands sent again after a unit attention
};

// The command a run sent in words: "the block at image offset 0x3000",
// "the header", "the save command"...
std::string CommandWords(DriveCommand command, std::uint32_t blockOffset = 0);

// One failed command in words: the drive's sense, or the transport's or the
// system's failure, never one for the other. `timeoutSeconds` is the
// command's time-out, named when the system gave up waiting.
std::string ExplainFailure(const scsi::Result& result, std::uint32_t timeoutSeconds = 0);
