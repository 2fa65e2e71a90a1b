// How far a run has got, as the engine tells it: a plan once the image is
// checked, then an event for every step. RunProgress turns them into one
// figure for a progress bar (the terminal's, the taskbar's); the dialog's bar
// keeps the positions the engine gives CBSetProgress.
#pragma once

#include <cstdint>

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
};

struct RunEvent {
    RunStep step = RunStep::Planned;
    std::uint32_t index = 0;
    RunPlan plan;
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
