// The virtual drive as a transport of its own, with no operating system in
// between: for the native tests and the benchmark. It hands back sense data
// and data the way one of the Windows paths would:
//   PassThrough  asks the drive for 24 sense bytes and hands back 32 (the
//                rest zero); data in reaches the caller only on GOOD
//   Aspi         asks for 14 and hands back 16; data moves straight between
//                the caller's buffer and the drive
// A transport failure hands back no sense on either.
#pragma once

#include "device/scsi_transport.h"
#include "emu/virtual_drive.h"

class VirtualDriveTransport : public scsi::Transport {
public:
    enum class Rules { PassThrough, Aspi };

    explicit VirtualDriveTransport(VirtualDrive& drive, Rules rules = Rules::PassThrough);

    scsi::Result Execute(const scsi::Command& command) override;

private:
    VirtualDrive& drive_;
    Rules rules_;
};
