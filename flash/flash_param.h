// What the dialog hands to one upgrade run, and how the run talks back.
#pragma once

#include <cstdint>

#include "device/drive_entry.h"

struct FlashCallbacks {
    void (*CBShowMessage)(const char* text);
    void (*CBShowStatus)(const char* text);
    void (*CBSetRevision)(const char* text);
    void (*CBSetDriveName)(const char* text);
    void (*CBSetProgress)(std::int32_t position);
    std::uint8_t (*CBIfTerminated)();
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
    std::uint8_t bIsNT;
};
