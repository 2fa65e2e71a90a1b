// What happened to one run, in terms a front end decides from: whether the
// drive was touched, whether it can still hold its old firmware, and the
// drive's own answer to the command that ended the run. The log lines and
// "sum.txt" say the same for a person; this says it for the program.
#pragma once

#include <cstdint>

#include "device/scsi_defs.h"
#include "device/scsi_transport.h"

enum class RunEnd : std::uint8_t {
    Refused,         // a check failed before the first command: nothing was sent
    Stopped,         // a stop request came before the last block: no save was sent
    NotSaved,        // a block or the header failed, or the drive declined the save
                     // without starting it: the old firmware stays
    SaveUnanswered,  // the save got no answer from the drive: it may have taken it
    SaveFailed,      // the drive answered the save with an error that does not
                     // say it left the flash alone
    NeverReady,      // the save was taken; the drive was still busy at the last poll
    NeverIdentified, // the save was taken; the drive never answered INQUIRY again
    OtherModel,      // the save was taken; the drive came back as another model
    SameRevision,    // the save was taken; the drive came back with the revision it had
    Upgraded,        // the save was taken; the drive came back with another revision
};

// Why a run was refused.
enum class RefusalReason : std::uint8_t {
    None,
    ImageUnreadable, // missing, unreadable or empty image
    ImageFormat,     // a HEX file that breaks the format, or a raw image past 1 MiB that is not fill
    NoMemory,        // no image buffer
    WrongImage,      // the image does not carry the drive's model and revision
};

// The command whose failure ended the run.
enum class DriveCommand : std::uint8_t { None, Block, Header, Save, ReadyPoll, Inquiry };

struct RunIdentity {
    char model[scsi::kModelChars + 1] = {}; // vendor and product
    char revision[scsi::kRevisionChars + 1] = {};
};

struct RunOutcome {
    RunEnd end = RunEnd::Refused;
    RefusalReason refusal = RefusalReason::None;
    DriveCommand failed = DriveCommand::None;
    std::uint32_t blockOffset = 0; // DriveCommand::Block: the block's image address
    scsi::Result result;           // that command's last result, as the transport gave it
    std::uint32_t timeoutSeconds = 0; // the time-out that command was sent with
    std::uint32_t blocksAccepted = 0;
    bool sentAnything = false;     // any command of the transfer went to the drive
    RunIdentity before;            // the drive's identity the run started from
    RunIdentity after;             // what it answered at the end (empty when it did not)

    // What the closing line says: "Please Restart Your Computer.": the save
    // was taken and the drive finished programming. Whether that made it an
    // upgrade, the drive's state (flash/run_words.h) tells.
    bool Succeeded() const
    {
        return end == RunEnd::Upgraded || end == RunEnd::SameRevision || end == RunEnd::OtherModel ||
               end == RunEnd::NeverIdentified;
    }
};

const char* RunEndName(RunEnd end);
const char* DriveCommandName(DriveCommand command);
