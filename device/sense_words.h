// A drive's sense in the T10 wording, from a table the build takes from
// libsgutils2: "Illegal Request, Invalid command operation code". The same
// words the Linux program gets from the library itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "device/scsi_defs.h"

std::string SenseWords(const scsi::SenseTriple& triple);
// The triple as the standards' tables list it: "05/20/00".
std::string SenseCodes(const scsi::SenseTriple& triple);

namespace sense_table {

struct Entry {
    std::uint8_t asc;
    std::uint8_t ascq;
    const char* text;
};

// Generated: ordered by ASC, then ASCQ.
extern const char* const kKeyNames[16];
extern const Entry kEntries[];
extern const std::size_t kEntryCount;

} // namespace sense_table
