// Any bytes as a raw image: the loader must keep the file's bytes, as many as
// the buffer holds; the identity scan and checksum must stay inside it.
#include "fuzz/load_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    LoadAndCheck(data, size, false);
    return 0;
}
