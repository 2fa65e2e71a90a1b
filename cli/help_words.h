// The help's words that differ between the systems: how drives are named,
// what reaches them, who may, what keeps a second writer off, and what asks
// a run to stop. Each system's program links its own (cli/linux, cli/win).
#pragma once

namespace help_words {

extern const char kDriveOption[]; // --drive's help line, wrapped as the table's are
extern const char kInterface[];   // the general help's first paragraph
extern const char kListedAs[];    // what list names a drive by, wrapped to follow "its"
extern const char kPrivilege[];   // who may send WRITE BUFFER: "root"
extern const char kTowerName[];   // a tower drive's name in its lines and sum file: "sr1"
extern const char kOneWriter[];   // the paragraph on one writer per drive
extern const char kStopping[];    // what asks a run to stop
extern const char kNeeds[];       // the last line of upgrade's help

} // namespace help_words
