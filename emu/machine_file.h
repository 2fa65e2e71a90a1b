// The demo program's machine: which drive letters hold what, how each drive
// identifies itself and misbehaves, and which ASPI library the machine offers.
// Read from a small text file; the format is described in docs/machine-file.md.
#pragma once

#include <istream>
#include <memory>
#include <string>
#include <vector>

#include "emu/virtual_drive.h"

enum class DriveKind { CdRom, HardDisk };

struct DriveSpec {
    char letter = 'd';
    DriveKind kind = DriveKind::CdRom;
    DriveIdentity identity;
    DriveFaults faults;
};

// Which ASPI library the machine offers.
enum class AspiLibrary { Present, Missing, OnlySupportInfo, OnlySendCommand };

struct MachineSpec {
    std::vector<DriveSpec> drives; // in the order the file names them
    AspiLibrary aspi = AspiLibrary::Present;
    bool aspiPending = true; // ASPI requests answered SS_PENDING, completed later
};

// Fills `description` from the text; on failure returns false with `error` naming
// the line ("line 4: ...") and leaves `description` as it was.
bool ParseMachineFile(std::istream& in, MachineSpec& description, std::string& error);

// One CD-ROM drive at d: with the default identity.
MachineSpec DefaultMachine();

// The demo programs' machine: the file at `path`, or the default machine
// where there is none. False with `error` ("machine.txt: line 4: ...") for a
// file that is there and wrong.
bool LoadMachineFile(const std::string& path, MachineSpec& description, std::string& error);

#ifdef _WIN32
class VirtualMachine;
// Each drive on an adapter of its own, in the order of the description.
std::unique_ptr<VirtualMachine> BuildMachine(const MachineSpec& description);
#endif
