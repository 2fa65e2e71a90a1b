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
// The drive programs its flash in pieces of 64 KiB: the run waits
// kProgrammingWaitMs after the save for every whole piece it sent.
constexpr std::uint32_t kProgrammingPiece = 0x10000;
constexpr std::uint32_t kProgrammingWaitMs = 4000;
constexpr std::uint32_t kPollPauseMs = 1000;       // before each ready poll and INQUIRY retry

// The waits after the save for `sentLength` bytes: whole pieces, taken modulo 256.
constexpr std::uint32_t ProgrammingWaits(std::uint32_t sentLength) { return (sentLength / kProgrammingPiece) & 0xFF; }
static_assert(ProgrammingWaits(0x100000) == 16 && ProgrammingWaits(0xFFFF) == 0);

} // namespace run_timing
