// Lines of Intel HEX text: how far a bank advance moves the records after it,
// the value of a digit, and the look at the text the reader skips between
// records for a record whose ':' start mark was damaged.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "flash/load_problem.h"

// A 55h record moves every later data record this much higher: a HEX image
// is a run of banks of the 16-bit address field's span, and occupies whole
// ones.
constexpr std::uint32_t kHexBankSize = 0x10000;

// Character to digit value with the top bit already cleared; 0xFF: no digit.
inline constexpr std::array<std::uint8_t, 128> kHexDigitValue = [] {
    std::array<std::uint8_t, 128> table{};
    table.fill(0xFF);
    for (int c = '0'; c <= '9'; ++c)
        table[c] = static_cast<std::uint8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        table[c] = table[c + ('a' - 'A')] = static_cast<std::uint8_t>(c - 'A' + 10);
    return table;
}();

// Whether `line` (its line end left out) is a whole record but for its start
// mark: one character in the mark's place or none, then only digits that
// make a count, an address, a type, as many data bytes as the count says and
// a checksum that brings the record's sum to 0. `mark` receives the
// character in the mark's place, or kNoMark.
bool IsRecordButForMark(const std::uint8_t* line, std::size_t length, std::uint32_t& mark);

// The longest such line: a mark, 5 + 255 bytes in digits, a carriage return.
constexpr std::size_t kLongestRecordLine = 1 + 2 * (5 + 255) + 1;
// The shortest stretch of skipped text that can hold one: ten digits and a
// line end.
constexpr std::size_t kShortestSkipWithRecord = 10 + 1;

// The text skipped between two records, taken line by line. A flipped bit in
// a record's ':' makes the reader skip the whole record, and its bytes would
// stay fill without a word; a line that is a record but for its mark is
// therefore a broken file. Every other line is skipped, as the format wants.
// The reader hands over only stretches long enough to hold such a line, so
// records that follow each other line by line cost nothing here.
class SkippedLines {
public:
    // Takes the skipped text [from, to), which starts at file offset `at`.
    // `first`: the stretch begins here. It begins a line only at the file's
    // start; anywhere else it begins behind a record, on the record's line.
    // True when a line that ends in the piece is a record but for its mark.
    bool Take(const std::uint8_t* from, const std::uint8_t* to, std::uint64_t at, bool first);
    // The text ended: whether its last line, which has no line end, is one.
    bool TakeEnd();
    // The line found: its file offset and the character in its mark's place.
    std::uint64_t LineAt() const { return lineAt_; }
    std::uint32_t Mark() const { return mark_; }
    // Line ends in the stretch so far; when a line was found, those before it.
    std::uint32_t LineEnds() const { return lineEnds_; }

private:
    bool whole_ = false; // the line collected began at a line start
    std::uint32_t lineEnds_ = 0;
    std::size_t length_ = 0;
    std::uint64_t lineAt_ = 0;
    std::uint32_t mark_ = 0;
    std::uint8_t line_[kLongestRecordLine];
};
