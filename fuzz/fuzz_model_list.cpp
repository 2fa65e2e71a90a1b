// Any bytes as "IDString.txt": the reader must keep within its slots and
// leave every slot terminated.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "flash/model_list.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0; // fmemopen refuses an empty buffer
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, "r");
    if (!file)
        return 0;
    ModelList list;
    ReadModelList(file, list);
    std::fclose(file);
    for (int i = 0; i < kModelSlots; ++i) {
        if (!std::memchr(list.m_szModel[i], 0, kModelSlotChars) ||
            !std::memchr(list.m_szFile[i], 0, kFileSlotChars))
            std::abort();
    }
    return 0;
}
