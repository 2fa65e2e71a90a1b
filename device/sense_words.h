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
// A CD/DVD device's command by its block: "Write buffer, download
// microcode with offsets and activate".
std::string CommandNameOf(const std::uint8_t* cdb);

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
extern const char* const kCommandNames[256];
// Commands whose name changes with the low five bits of byte 1, for each
// value of them that changes it; ordered by operation code, then those bits.
struct CommandVariant {
    std::uint8_t opcode;
    std::uint8_t action;
    const char* text;
};
extern const CommandVariant kCommandVariants[];
extern const std::size_t kCommandVariantCount;

} // namespace sense_table
