// Natively the rig is the virtual drive's own transport.
#include "emu/drive_rig.h"
#include "emu/virtual_drive_transport.h"

struct DriveRig::Impl {};

DriveRig::DriveRig(VirtualDrive& drive, RigTransport transport)
    : drive_(drive),
      kind_(transport),
      transport_(std::make_unique<VirtualDriveTransport>(
          drive, transport == RigTransport::PassThrough ? VirtualDriveTransport::Rules::PassThrough
                                                        : VirtualDriveTransport::Rules::Aspi))
{
    entry_.dwAlignMask = transport == RigTransport::PassThrough ? 0x7FF : 0;
}

DriveRig::~DriveRig() = default;
