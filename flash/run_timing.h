// How often a run sends each command again and how long it waits for the
// drive: one home for the procedure and for everything that shows how far a
// run has got.
#pragma once

#include <cstdint>

namespace run_timing {

constexpr int kBlockSends = 6;         // one send and five more after failures
constexpr int kUnitAttentionSends = 3; // header or save: one send and two more after a unit attention
constexpr int kReadyPolls = 26;        // TEST UNIT READY while the drive says it is busy
constexpr int kInquiries = 11;         // INQUIRY until the drive answers
constexpr std::uint32_t kProgrammingWaitMs = 4000; // after the save, for every 64 KiB sent
constexpr std::uint32_t kPollPauseMs = 1000;       // before each ready poll and INQUIRY retry

// The 4-second waits after the save for `sentLength` bytes.
constexpr std::uint32_t ProgrammingWaits(std::uint32_t sentLength) { return (sentLength >> 16) & 0xFF; }

} // namespace run_timing
