// Puts one virtual drive behind a transport, so that code sending commands
// through fgExecuteCommand talks to it: natively the virtual drive's own
// transport with the rules of the chosen Windows path; under Windows the
// program's real pass-through or ASPI transport over a virtual machine,
// exactly as the product's commands travel.
//
// Both hand back what the Windows paths do: pass-through copies 32 sense
// bytes on failure (up to 24 from the drive, then zeros) and leaves data-in
// untouched; ASPI copies 16 sense bytes and leaves bytes 16-31 of the sense
// area alone. A transport failure is a failed command with zero sense on both.
#pragma once

#include <cstdint>
#include <memory>

#include "device/drive_entry.h"
#include "device/scsi_transport.h"
#include "emu/virtual_drive.h"

enum class RigTransport { PassThrough, Aspi };

#ifdef _WIN32
class VirtualMachine;
#endif

class DriveRig {
public:
    explicit DriveRig(VirtualDrive& drive, RigTransport transport = RigTransport::PassThrough);
    ~DriveRig();
    DriveRig(const DriveRig&) = delete;
    DriveRig& operator=(const DriveRig&) = delete;

    // The drive entry a front end would hand to the engine.
    const DriveEntry& Entry() const { return entry_; }
    // Where the commands go.
    scsi::Transport& Transport() const { return *transport_; }
    VirtualDrive& Drive() const { return drive_; }

#ifdef _WIN32
    // The machine installed behind the device seam (the drive is at d:).
    VirtualMachine& Machine() const;
#endif

    // What one platform's rig holds beyond the common state.
    struct Impl;

private:
    VirtualDrive& drive_;
    RigTransport kind_;
    DriveEntry entry_{};
    std::unique_ptr<Impl> impl_;
    std::unique_ptr<scsi::Transport> transport_;
};
