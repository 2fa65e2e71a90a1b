// Natively the rig only names the drive that fgExecuteCommand routes to.
#include "emu/drive_rig.h"

struct DriveRig::Impl {};

DriveRig::DriveRig(VirtualDrive& drive, RigTransport transport)
    : drive_(drive), transport_(transport)
{
    entry_.dwAlignMask = transport == RigTransport::PassThrough ? 0x7FF : 0;
    EnterRigDrive(drive);
}

DriveRig::~DriveRig() { LeaveRigDrive(drive_); }
