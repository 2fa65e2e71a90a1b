#include "cli/system_words.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "device/linux/sense_text.h"
#include "device/linux/sg_io_transport.h"

namespace {

std::string Hex2(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

} // namespace

std::string SenseInWords(const scsi::SenseTriple& triple) { return SenseText(triple); }

std::string CommandInWords(const std::uint8_t* cdb) { return CommandName(cdb); }

std::size_t CdbBytesSent(const std::uint8_t* cdb, std::size_t length)
{
    return SentCdbLength(cdb, static_cast<std::uint8_t>(length < 255 ? length : 255));
}

std::string TransportFailureWords(const scsi::Result& result)
{
    return "transport failure, not an answer of the drive: host status " + Hex2(result.hostStatus) + " (" +
           HostStatusName(result.hostStatus) + "), driver status " + Hex2(result.driverStatus) + " (" +
           DriverStatusName(result.driverStatus) + ")";
}

std::string SystemFailureWords(const scsi::Result& result)
{
    std::string text =
        std::string("the system failed the request: ") + std::strerror(static_cast<int>(result.systemError));
    if (result.deviceGone || result.systemError == ENOENT)
        text += " (the drive is gone from the system)";
    else if (result.systemError == EPERM || result.systemError == EACCES)
        text += " (WRITE BUFFER through SG_IO needs root or CAP_SYS_RAWIO)";
    return text;
}
