// What was wrong with an image that did not load, and where: for a person who
// must fix the file, beside the log's "input file format mismatched!".
#pragma once

#include <cstdint>

enum class LoadProblemKind : std::uint8_t {
    None,
    NoEndRecord,      // the text ends before an end record (type 01)
    RecordCut,        // the text ends inside a record
    BadDigit,         // `value`: the character where a hex digit must stand
    UnknownType,      // `value`: the record type
    PastImageEnd,     // `value`: the address the record's data reaches
    BadRecordSum,     // `value`: the sum of the record's bytes, which must be 0
    DataInControl,    // an end or bank-advance record with data
    TooManyBanks,     // a bank advance past the last 64 KiB of the image
    MissingStartMark, // a line that is a whole record but for its ':'; `value`:
                      // the character in the mark's place, kNoMark when none
    EmptyFile,        // a raw image of no bytes
    TooLarge,         // a raw image past 1 MiB with more than fill behind it;
                      // `at` and `value`: its first byte past 1 MiB that breaks
                      // the fill (all FFh or all 00h); `size`: the file's size
    ReadFailed,       // the system failed a read
};

// MissingStartMark's `value` for a line that begins with the record's count.
constexpr std::uint32_t kNoMark = 0x100;

struct LoadProblem {
    LoadProblemKind kind = LoadProblemKind::None;
    std::uint64_t recordAt = 0; // HEX: file offset of the record's ':'
    std::uint64_t at = 0;       // file offset of the offending character
    std::uint32_t value = 0;
    std::uint32_t line = 0;     // HEX: the line of `at`, from 1
    std::uint64_t size = 0;     // TooLarge: the file's size
};
