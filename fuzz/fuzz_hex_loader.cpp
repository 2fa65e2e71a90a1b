// Any text as a HEX image: loading, the identity scan and the checksum must
// stay inside the image buffer and give the buffer and the file back.
#include "fuzz/load_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    LoadAndCheck(data, size, true);
    return 0;
}
