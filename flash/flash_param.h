// What the dialog hands to one upgrade run, and how the run talks back.
#pragma once

#include <cstdint>

#include "device/drive_entry.h"
#include "device/scsi_defs.h"
#include "flash/run_outcome.h"
#include "flash/run_progress.h"

class StopRequest;

// The front end's routines; each gets back the context the front end gave,
// so that it finds its own window, terminal or recorder without a global.
struct FlashCallbacks {
    void (*CBShowMessage)(void* context, const char* text);
    void (*CBShowStatus)(void* context, const char* text);
    void (*CBSetRevision)(void* context, const char* text);
    void (*CBSetDriveName)(void* context, const char* text);
    void (*CBSetProgress)(void* context, std::int32_t position);
    // Nonzero once a stop has been requested. A front end answers from the
    // run's StopRequest (FlashParam::pStop), so that a request that comes
    // after the last block has gone out is answered "too late" and the run
    // never sees it.
    std::uint8_t (*CBIfTerminated)(void* context);
    void* pContext;
    // The run's plan and steps (may be null).
    void (*OnRunEvent)(void* context, const RunEvent& event);
    // Words for the failure the outcome names, logged after the error line
    // and added to "sum.txt" (may be null, or answer null: no such line).
    const char* (*DescribeFailure)(void* context, const RunOutcome& outcome);
};

constexpr int kPathChars = 512;
constexpr int kModelTextChars = 512;
constexpr int kRevisionTextChars = 8;

// How long each command may take before the system gives up on it, in
// seconds. The Windows program waits as long as its pass-through path ever
// does; the Linux program gives each command a time-out that fits it.
struct CommandTimeouts {
    std::uint32_t identify = scsi::kLongestTimeoutSeconds;
    std::uint32_t readyPoll = scsi::kLongestTimeoutSeconds;
    std::uint32_t block = scsi::kLongestTimeoutSeconds; // an image block or the header
    std::uint32_t save = scsi::kLongestTimeoutSeconds;
};

struct FlashParam {
    DriveEntry drive;
    char szImagePath[kPathChars];
    char szModel[kModelTextChars];
    char szRevision[kRevisionTextChars];
    std::uint8_t m_bHexFile;
    FlashCallbacks callbacks;
    std::uint8_t bIsNT; // the Windows program's choice of transport
    // The run's stop request, which CBIfTerminated answers from; null: a
    // stop comes from CBIfTerminated alone.
    StopRequest* pStop;
    CommandTimeouts timeouts;
    // Where the run appends its diagnostics; empty: "sum.txt" in the
    // working directory, as the Windows program has it.
    char szSumPath[kPathChars];
};
