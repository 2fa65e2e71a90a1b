// How far a run has got, as the engine tells it: a plan once the image is
// checked, then an event for every step. RunProgress turns them into one
// figure for a progress bar (the terminal's, the taskbar's); the dialog's bar
// keeps the positions the engine gives CBSetProgress.
#pragma once

#include <cstdint>

#include "device/scsi_transport.h"
#include "flash/run_outcome.h"

// What a run will do once its image is checked.
struct RunPlan {
    std::uint32_t blocks = 0;           // 4096-byte blocks to send
    std::uint32_t programmingWaits = 0; // fixed waits after the save
};

enum class RunStep : std::uint8_t {
    Planned,         // the image is checked: nothing sent yet
    BlockAccepted,   // index: the block, from 0
    HeaderAccepted,
    SaveAccepted,    // the drive is programming its flash
    ProgrammingWait, // index: the wait about to start, from 0
    ReadyPoll,       // index: the poll about to be sent, from 0
    Inquiry,         // index: the INQUIRY about to be sent, from 0
    Identified,      // the drive answered INQUIRY, or the last one went unanswered
    Resend,          // a command goes again: `resend` says which, and why
    NoSumFile,       // the diagnostics file could not be opened: `sumFile` says why
};

// A command about to go again after the drive or the system failed it.
struct Resend {
    DriveCommand command = DriveCommand::None;
    std::uint32_t offset = 0;    // a block's image address
    std::uint32_t send = 0;      // the send about to go, from 2
    std::uint32_t sends = 0;     // the most the command is sent
    const scsi::Result* failed = nullptr; // the answer to the send before
    std::uint32_t timeoutSeconds = 0;     // the time-out that send had
};

struct NoSumFile {
    const char* path = nullptr;
    int error = 0; // errno
};

struct RunEvent {
    RunStep step = RunStep::Planned;
    std::uint32_t index = 0;
    RunPlan plan;
    Resend resend;      // RunStep::Resend
    NoSumFile sumFile;  // RunStep::NoSumFile
};

// Progress in the plan's own measure: each step weighs what it is expected
// to take, the waits their length, the polls and INQUIRYs as if all of them
// were needed; a phase that ends early jumps to its end. Never goes back.
class RunProgress {
public:
    void Take(const RunEvent& event);
    // 0 to 1000.
    std::uint32_t Permille() const { return permille_; }
    int Percent() const { return static_cast<int>(permille_ / 10); }

private:
    std::uint32_t permille_ = 0;
};
