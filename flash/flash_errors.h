// The engine's own failure codes and the log texts that go with them.
#pragma once

enum FlashError {
    FE_INIT_PORT_REBOOT = 0,
    FE_INIT_PORT_CHECK = 1,
    FE_OPEN_OUTPUT = 2,
    FE_OPEN_INPUT = 3,
    FE_WRITE_OUTPUT = 4,
    FE_READ_INPUT = 5,
    FE_FORMAT = 6,
    FE_READ_FLASH = 7,
    FE_WRITE_FLASH = 8,
    FE_ERASE_FLASH = 9,
    FE_VERIFY_FLASH = 10,
    FE_NO_MEMORY = 11,
    FE_FLASH_TYPE = 12,
    FE_FLASH_SIZE = 13,
    FE_TERMINATED = 14,
    FE_WAIT_TERMINATED = 15,
};

constexpr int kFlashErrorCount = 16;

// Indexed by the code; the texts are shown to the user as they stand.
extern const char* const g_szFlashErrors[kFlashErrorCount];

// The message of `code`, or null for a value outside the table.
const char* FlashErrorMessage(int code);
