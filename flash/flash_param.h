// What the dialog hands to one upgrade run, and how the run talks back.
#pragma once

#include <atomic>
#include <cstdint>

#include "device/drive_entry.h"
#include "flash/run_stage.h"

// The front end's routines; each gets back the context the front end gave,
// so that it finds its own window, terminal or recorder without a global.
struct FlashCallbacks {
    void (*CBShowMessage)(void* context, const char* text);
    void (*CBShowStatus)(void* context, const char* text);
    void (*CBSetRevision)(void* context, const char* text);
    void (*CBSetDriveName)(void* context, const char* text);
    void (*CBSetProgress)(void* context, std::int32_t position);
    // Nonzero once a stop has been requested.
    std::uint8_t (*CBIfTerminated)(void* context);
    void* pContext;
};

constexpr int kPathChars = 512;
constexpr int kModelTextChars = 512;
constexpr int kRevisionTextChars = 8;

struct FlashParam {
    DriveEntry drive;
    char szImagePath[kPathChars];
    char szModel[kModelTextChars];
    char szRevision[kRevisionTextChars];
    std::uint8_t m_bHexFile;
    FlashCallbacks callbacks;
    std::uint8_t bIsNT; // the Windows program's choice of transport
    // Where the run tells its caller how far it has got (may be null).
    std::atomic<RunStage>* pRunStage;
};
