#include "cli/system_words.h"

#include <windows.h>

#include "device/sense_words.h"
#include "device/win/system_text.h"

std::string SenseInWords(const scsi::SenseTriple& triple) { return SenseWords(triple); }

std::string CommandInWords(const std::uint8_t* cdb) { return CommandNameOf(cdb); }

// Pass-through hands the port the whole block as the program builds it.
std::size_t CdbBytesSent(const std::uint8_t*, std::size_t length) { return length; }

std::string TransportFailureWords(const scsi::Result& result)
{
    return "transport failure, not an answer of the drive: the adapter, its bus or its driver failed the "
           "request: " +
           SystemText(static_cast<DWORD>(result.systemError));
}

std::string SystemFailureWords(const scsi::Result& result)
{
    const DWORD error = static_cast<DWORD>(result.systemError);
    std::string text = "the system failed the request: " + SystemText(error);
    if (result.deviceGone)
        text += " (the drive is gone from the system)";
    else if (error == ERROR_ACCESS_DENIED)
        text += " (SCSI pass-through needs an administrator: run kavora-cli from a console opened as administrator)";
    return text;
}
