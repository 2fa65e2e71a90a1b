#include "device/win/drive_transport.h"

#include "device/win/aspi_transport.h"
#include "device/win/pass_through.h"

std::unique_ptr<scsi::Transport> DriveTransport(const DriveEntry& drive, bool isNT)
{
    if (isNT)
        return std::make_unique<PassThroughTransport>(drive);
    return std::make_unique<AspiTransport>(drive);
}
