// Puts one virtual drive behind the program's command layer, so that code
// calling fgExecuteCommand talks to it: natively by routing straight to the
// drive, under Windows through the device seam and a virtual machine (NT
// pass-through or ASPI), exactly as the product's commands travel.
//
// Natively both transports are emulated with the sense and data rules of the
// real paths: pass-through copies 32 sense bytes on failure (up to 24 from the
// drive, then zeros) and leaves data-in untouched; ASPI copies 16 sense bytes
// and leaves bytes 16-31 of the sense area alone. A transport failure is a
// failed command with zero sense on both.
//
// Rigs nest: the innermost one is current until it is destroyed.
#pragma once

#include <cstdint>
#include <memory>

#include "device/drive_entry.h"
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

    // The drive entry and transport flag to hand to fgExecuteCommand.
    const DriveEntry& Entry() const { return entry_; }
    std::uint8_t Transport() const { return transport_ == RigTransport::PassThrough ? 1 : 0; }
    VirtualDrive& Drive() const { return drive_; }

#ifdef _WIN32
    // The machine installed behind the device seam (the drive is at d:).
    VirtualMachine& Machine() const;
#endif

    // What one platform's rig holds beyond the common state.
    struct Impl;

private:
    VirtualDrive& drive_;
    RigTransport transport_;
    DriveEntry entry_{};
    std::unique_ptr<Impl> impl_;
};

// The drive of the innermost live rig, or null.
VirtualDrive* CurrentRigDrive();
// Marks `drive` as the innermost rig's; Leave takes out that mark.
void EnterRigDrive(VirtualDrive& drive);
void LeaveRigDrive(VirtualDrive& drive);
