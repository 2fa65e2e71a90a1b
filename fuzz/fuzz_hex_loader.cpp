// Any text as a HEX image: loading, the identity scan and the checksum must
// stay inside the image buffer and give the buffer and the file back.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "flash/flash_engine.h"
#include "flash/image_buffer.h"

namespace {

void Ignore(void*, const char*) {}
void IgnoreProgress(void*, std::int32_t) {}
void RemoveScratch();
std::uint8_t NeverStop(void*) { return 0; }

// Loading sends nothing; a command that got here would be a fault.
class NoDrive : public scsi::Transport {
public:
    scsi::Result Execute(const scsi::Command&) override { std::abort(); }
};

// One scratch file per process, rewritten for every input.
const char* ScratchPath()
{
    static char path[64] = {};
    if (!path[0]) {
        std::snprintf(path, sizeof path, "/tmp/kavora_fuzz_hex_XXXXXX");
        int fd = mkstemp(path);
        if (fd < 0)
            std::abort();
        close(fd);
        std::atexit(RemoveScratch);
    }
    return path;
}

void RemoveScratch() { std::remove(ScratchPath()); }

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* path = ScratchPath();
    std::FILE* file = std::fopen(path, "wb");
    if (!file)
        return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    FlashParam param{};
    std::snprintf(param.szImagePath, sizeof param.szImagePath, "%s", path);
    std::snprintf(param.szModel, sizeof param.szModel, "KAVORA  CD-ROM VIRTUAL  (0)");
    std::snprintf(param.szRevision, sizeof param.szRevision, "1.00");
    param.m_bHexFile = 1;
    param.callbacks = {Ignore, Ignore, Ignore, Ignore, IgnoreProgress, NeverStop, nullptr};

    const int held = ImageRegionsHeld();
    {
        NoDrive noDrive;
        CFlashEngine engine(param, noDrive);
        int result = engine.LoadImage();
        if (engine.m_pInFile)
            std::abort(); // the file stays open
        if (result >= 0) {
            if (engine.m_dwImageLen > kImageSize)
                std::abort();
            engine.CheckIdentity();
            engine.ReportError(FE_FORMAT); // gives the buffer back
        }
        if (engine.m_pBank[0] || ImageRegionsHeld() != held)
            std::abort(); // a buffer kept after a failed load or a report
    }
    return 0;
}
