// The one seam through which a command block reaches a drive: "send this
// command to this drive and tell me how it went". One implementation per way
// of reaching a drive (Windows pass-through, ASPI, Linux SG_IO, the virtual
// drive), each in a file of its own and chosen by the build; none of them is
// visible from here. A transport object stands for one drive.
//
// The result keeps apart what the callers must never confuse: a drive that
// answered (GOOD, CHECK CONDITION with its sense data, another status) and a
// request that never got an answer from the drive (the adapter, the bus or
// the driver failed it, or the operating system refused it).
#pragma once

#include <cstdint>

#include "device/scsi_defs.h"
#include "device/sense_data.h"

namespace scsi {

enum class Direction : std::uint8_t {
    None, // no data phase
    In,   // from the drive into `data`
    Out,  // from `data` to the drive
};

struct Command {
    const std::uint8_t* cdb = nullptr;
    std::uint8_t cdbLength = 0;
    Direction direction = Direction::None;
    std::uint8_t* data = nullptr;
    std::uint32_t dataLength = 0;
    std::uint32_t timeoutSeconds = kLongestTimeoutSeconds;
};

enum class Outcome : std::uint8_t {
    Good,             // status GOOD; data in, if any, is in the caller's buffer
    CheckCondition,   // status CHECK CONDITION; sense holds the drive's sense data
    OtherStatus,      // the drive answered another status (BUSY, RESERVATION CONFLICT...)
    TransportFailure, // the adapter, bus or driver failed the command (host or driver status)
    SystemFailure,    // the operating system refused or failed the request as a whole
};

struct Result {
    Outcome outcome = Outcome::SystemFailure;
    std::uint8_t status = 0;            // the SCSI status, when the drive answered
    std::uint8_t sense[kSenseAreaSize] = {}; // in fixed format (NormaliseSense)
    std::uint8_t senseLength = 0;       // bytes of `sense` the transport hands back
    DecodedSense decoded;               // what `sense` says: every decision reads this
    std::uint16_t hostStatus = 0;       // TransportFailure: the adapter's or host's code
    std::uint16_t driverStatus = 0;     // TransportFailure: the driver's code
    std::uint32_t systemError = 0;      // SystemFailure: the operating system's error code
    // Failures the transport recognised: the command's time-out ran out, or
    // the drive is no longer attached. Sending again helps with neither.
    bool timedOut = false;
    bool deviceGone = false;

    bool Good() const { return outcome == Outcome::Good; }
    SenseTriple Triple() const { return SenseTriple::Of(sense); }
    // The sense key the drive answered this command with: CHECK CONDITION
    // with readable sense about this command (not an earlier one's deferred
    // error); -1 otherwise.
    int CurrentKey() const
    {
        return outcome == Outcome::CheckCondition && decoded.valid && !decoded.deferred ? decoded.key : -1;
    }
    // The command was carried out: GOOD, or current sense of NO SENSE or
    // RECOVERED ERROR with its ASC and ASCQ (the drive reports something it
    // dealt with, as sg3_utils counts it). Sense that ends before its codes
    // may be a cleared area the drive barely wrote into: the command is
    // taken as not carried out, and a block is sent again rather than counted
    // in the header's sum unproven. A deferred error reports an earlier
    // command's failure; the one it answers was not carried out.
    bool Completed() const
    {
        const int key = CurrentKey();
        return outcome == Outcome::Good || (key >= 0 && key <= kSenseKeyRecoveredError && decoded.codes);
    }
    // The drive declined the command without starting it: sense that says
    // so, an error deferred from an earlier command, or a status that turns
    // a command away (BUSY, RESERVATION CONFLICT, TASK SET FULL, ACA ACTIVE).
    bool NotCarriedOut() const;
};

class Transport {
public:
    virtual ~Transport() = default;
    // Sends one command and waits for it to end.
    virtual Result Execute(const Command& command) = 0;
};

} // namespace scsi

// The adapter from the drive commands to a drive's transport: sends `cdb`
// with `dataLength` bytes of `data` in `direction` and keeps the program's
// old contract with its callers. It clears the first 16 bytes of the 32-byte
// sense area; when the command did not end GOOD it copies there what sense
// the transport handed back, and answers false. The command goes out with
// `timeoutSeconds`; `result`, when given, receives the transport's whole
// answer, which the boolean and the sense bytes only summarise.
bool fgExecuteCommand(scsi::Transport& transport, scsi::Direction direction,
                      std::uint32_t dataLength, std::uint8_t* data, std::uint8_t cdbLength,
                      const std::uint8_t* cdb, std::uint8_t* sense,
                      std::uint32_t timeoutSeconds = scsi::kLongestTimeoutSeconds,
                      scsi::Result* result = nullptr);
