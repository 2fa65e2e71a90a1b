// One table of command lines that kavora-cli for Linux and kavora-cli.exe
// run alike: over one drive of the default identity, the model list for it
// and a 9000-byte image of the revision the case names, each must leave the
// same standard output and exit status. Where a system names a drive, the
// text holds a placeholder that each system's test fills in:
//   {drive}   the drive's name (/dev/sr0, D:)
//   {other}   what the drive's listing gives beside it ("" on Linux's test
//             drive, "SCSI 0:0:0:0" on Windows)
//   {listed}  the drive's name as list shows it ("/dev/sr0", "D: (SCSI 0:0:0:0)")
#pragma once

#include <string>
#include <vector>

struct SharedCliCase {
    const char* name;
    std::vector<std::string> words; // after the program's name
    const char* imageRevision;      // the image carries the model with this revision
    int status;
    std::string out;                // standard output, every byte
};

const std::vector<SharedCliCase>& SharedCliCases();

struct DriveNaming {
    std::string drive, other, listed;
};

// `text` with the placeholders filled in.
std::string Filled(std::string text, const DriveNaming& naming);
