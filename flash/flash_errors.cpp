#include "flash/flash_errors.h"

const char* const g_szFlashErrors[kFlashErrorCount] = {
    "fail to initial IDE port, please reboot PC!",
    "fail to initial IDE port, check the IDE port!",
    "fail to open output file!",
    "fail to open input file!",
    "fail to write output file!",
    "fail to read input file!",
    "input file format mismatched!",
    "fail to read flash!",
    "fail to write flash!",
    "fail to erase flash!",
    "verify flash failed!",
    "fail to allocate memory!",
    "fail to identify the flash type!",
    "flash size is smaller then the selected address!",
    "terminate upgrade/backup flash!",
    "terminate wait flash read/write!",
};

const char* FlashErrorMessage(int code)
{
    if (code < 0 || code >= kFlashErrorCount)
        return nullptr;
    return g_szFlashErrors[code];
}
