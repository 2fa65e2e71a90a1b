#include "app/failure_words.h"

#include <windows.h>

#include <cstdio>

#include "device/sense_words.h"
#include "device/win/system_text.h"

namespace {

std::string Hex2(unsigned value)
{
    char text[8];
    std::snprintf(text, sizeof text, "%02Xh", value & 0xFF);
    return text;
}

// What the drive's sense means for the one who runs the upgrade. What became
// of the drive is the state line's to say.
std::string Hint(const scsi::SenseTriple& t, const RunOutcome& outcome)
{
    if (outcome.end == RunEnd::NeverReady)
        return "";
    switch (t.key & scsi::kSenseKeyMask) {
    case 0x05:
        if (t.asc == 0x20 || t.asc == 0x24)
            return " The drive refuses firmware downloads: this image is not for this drive, or it needs "
                   "another program.";
        if (t.asc == 0x26 || t.asc == 0x2C)
            return " The drive refused the image: it is not for this drive, or the file is damaged.";
        return "";
    case 0x06:
        return " The drive kept reporting a changed state and did not carry the command out: restart the "
               "computer and run the program again.";
    case 0x03:
    case 0x04:
        return " The drive reports a fault of its own.";
    default:
        return "";
    }
}

} // namespace

std::string FailureWords(const RunOutcome& outcome, bool passThrough)
{
    const scsi::Result& r = outcome.result;
    switch (r.outcome) {
    case scsi::Outcome::Good:
        return "";
    case scsi::Outcome::CheckCondition: {
        const scsi::SenseTriple t = r.Triple();
        return "The drive answered: " + SenseWords(t) + " (" + SenseCodes(t) + ")." + Hint(t, outcome);
    }
    case scsi::Outcome::OtherStatus:
        return "The drive answered SCSI status " + Hex2(r.status) + " without saying why.";
    case scsi::Outcome::TransportFailure:
        if (passThrough)
            return "The request did not reach the drive: the adapter, its bus or its driver failed it: " +
                   SystemText(r.systemError) + ".";
        return "The request did not reach the drive: the host adapter failed it (ASPI adapter status " +
               Hex2(r.hostStatus) + ").";
    case scsi::Outcome::SystemFailure:
        if (!passThrough)
            return "The ASPI manager refused the request (status " + Hex2(r.systemError) + ").";
        return "The system refused the request: " + SystemText(r.systemError) + "." +
               (r.deviceGone ? " The drive is gone: do not power off, reconnect it and run the program again."
                             : "");
    }
    return "";
}
