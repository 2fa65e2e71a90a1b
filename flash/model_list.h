// The supported-model list read from "IDString.txt": which drive model the
// firmware in the working directory is for, its image file, and whether the
// user must confirm first.
#pragma once

#include <cstdint>
#include <cstdio>

#include "device/scsi_defs.h"

constexpr int kModelSlots = 10;
constexpr int kModelSlotChars = 25; // 24 significant characters and a terminator
static_assert(static_cast<std::size_t>(kModelSlotChars) == scsi::kModelChars + 1);
constexpr int kFileSlotChars = 60;  // at most 59 characters and a terminator
constexpr int kScratchChars = 80;

// The main dialog derives from this: these are its own members.
struct ModelList {
    char m_szModel[kModelSlots][kModelSlotChars] = {};
    char m_szFile[kModelSlots][kFileSlotChars] = {};
    std::int32_t m_nModelCount = 0;
    std::int32_t m_bWarning = 0;
};

enum class ModelListRead {
    Ok,         // one entry read
    Missing,    // no file
    BadStart,   // the first character is not a double quote
    Unreadable, // the system failed the read (a directory, an I/O error)
};

constexpr int kFlagShownChars = 16;

// How the line that was read looked, for a front end that warns about a line
// the reader had to cut or could take nothing from, or that reads the
// confirmation field more strictly than the dialog does.
struct ModelListShape {
    int quotes = 0;     // double quotes on the line, the first one included
    int modelChars = 0; // characters of the model text between its quotes
    // The confirmation field as written.
    bool flagOpened = false; // its opening quote stands on the line
    bool flagClosed = false; // and its closing quote
    int flagChars = 0;       // characters between them, or to the line's end
    char flag[kFlagShownChars + 1] = {}; // the first of them
};

// Reads the first line of `file` (null: missing) into `list`. Fields longer
// than their slots are cut; nothing is written past a slot.
ModelListRead ReadModelList(std::FILE* file, ModelList& list, ModelListShape* shape = nullptr);

// Opens `path`, reads its first line into `list` and closes it again;
// `error`, when given, receives the system's error code of a failed open or read.
ModelListRead ReadModelListFile(const char* path, ModelList& list, ModelListShape* shape = nullptr,
                                int* error = nullptr);

// Which entry of `list` names the drive model `model`: the last that does,
// as the dialog takes the last match for its image file, or -1 for none.
int ListedAt(const ModelList& list, const char* model);

// Whether two model texts agree in their first 24 characters.
bool ModelTextsAgree(const char* a, const char* b);
