#include "fuzz/load_check.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "flash/flash_engine.h"
#include "flash/image_buffer.h"
#include "fuzz/require.h"

namespace {

void Ignore(void*, const char*) {}
void IgnoreProgress(void*, std::int32_t) {}
std::uint8_t NeverStop(void*) { return 0; }

// Loading sends nothing; a command that got here would be a fault.
class NoDrive : public scsi::Transport {
public:
    scsi::Result Execute(const scsi::Command&) override { std::abort(); }
};

// One engine context's fixed part, made once per process.
const FlashParam& Param(bool hex)
{
    static FlashParam params[2] = {};
    FlashParam& param = params[hex];
    if (!param.szModel[0]) {
        ReuseImageRegions(true);
        std::snprintf(param.szModel, sizeof param.szModel, "KAVORA  CD-ROM VIRTUAL  (0)");
        std::snprintf(param.szRevision, sizeof param.szRevision, "1.00");
        param.m_bHexFile = hex;
        param.callbacks = {Ignore, Ignore, Ignore, Ignore, IgnoreProgress, NeverStop, nullptr, nullptr, nullptr};
    }
    return param;
}


// The raw identity rule as plainly as it can be said: two matchers, each
// back to its start on a mismatch, over the file's bytes. The fill behind
// them (0xFF) is in neither text, so it can only reset them.
bool RawIdentityOf(const std::uint8_t* data, std::size_t size, const char* model,
                   const char* revision)
{
    std::size_t j = 0, k = 0;
    bool modelFound = false, revisionFound = false;
    for (std::size_t i = 0; i < size && !(modelFound && revisionFound); ++i) {
        const char b = static_cast<char>(data[i]);
        if (!modelFound)
            j = b == model[j] ? j + 1 : 0;
        modelFound = modelFound || j == scsi::kModelChars;
        if (!revisionFound)
            k = b == revision[k] ? k + 1 : 0;
        revisionFound = revisionFound || k == 2;
    }
    return modelFound && revisionFound;
}

// The checksum of a raw image: its bytes and the fill, modulo 65536.
std::uint16_t RawSumOf(const std::uint8_t* data, std::size_t size)
{
    std::uint32_t sum = 0xFFu * static_cast<std::uint32_t>(kImageSize - size);
    for (std::size_t i = 0; i < size; ++i)
        sum += data[i];
    return static_cast<std::uint16_t>(sum);
}

} // namespace

void LoadAndCheck(const std::uint8_t* data, std::size_t size, bool hex)
{
    if (size == 0)
        return; // fmemopen refuses an empty buffer; the unit tests cover empty files
    std::FILE* file = fmemopen(const_cast<std::uint8_t*>(data), size, hex ? "r" : "rb");
    if (!file)
        return;

    const int held = ImageRegionsHeld();
    NoDrive noDrive;
    CFlashEngine engine(Param(hex), noDrive);
    const int result = engine.LoadImageFrom(file);
    Require(result == kLoadComplete || result == kLoadTruncated || result == kLoadFormatError ||
                result == kLoadReadError,
            "a load result outside the kLoad* set");
    Require(!engine.m_pInFile, "the file stays open");
    const LoadProblem& problem = engine.m_loadProblem;
    if (hex && result == kLoadFormatError && problem.kind != LoadProblemKind::NoEndRecord &&
        problem.kind != LoadProblemKind::ReadFailed) {
        // The line of a problem is one more than the line ends before it.
        Require(problem.at < size, "a problem noted past the end of the text");
        const std::size_t before = static_cast<std::size_t>(
            std::count(data, data + std::min<std::size_t>(problem.at, size), '\n'));
        Require(problem.line == before + 1, "a problem's line number and its offset disagree");
    }
    if (!hex && result != kLoadReadError) {
        // Past 1 MiB only one fill value, all FFh or all 00h, may follow.
        bool fillOnly = true;
        for (std::size_t i = kImageSize; i < size && fillOnly; ++i)
            fillOnly = (data[i] == 0xFF || data[i] == 0x00) && data[i] == data[kImageSize];
        Require((result == kLoadFormatError) == !fillOnly, "a raw image past 1 MiB taken or refused wrongly");
    }
    if (result >= 0) {
        Require(engine.m_pBank[0] && ImageRegionsHeld() == held + 1, "a good load without its buffer");
        Require(engine.m_dwImageLen <= kImageSize, "an image length beyond the buffer");
        if (!hex) {
            // A raw image is the file's bytes, as many as the buffer holds.
            const std::size_t kept = size < kImageSize ? size : kImageSize;
            Require(result == (size < kImageSize ? kLoadComplete : kLoadTruncated),
                    "a raw load's result and its size disagree");
            Require(engine.m_dwImageLen == kept, "a raw image length other than the file's");
            Require(std::memcmp(engine.m_pBank[0], data, kept) == 0, "raw bytes changed on the way");
        }
        const bool found = engine.CheckIdentity();
        if (!hex) {
            const std::size_t kept = size < kImageSize ? size : kImageSize;
            Require(found == RawIdentityOf(data, kept, engine.m_szModel, engine.m_szRevision),
                    "the raw identity scan and the plain rule disagree");
            Require(engine.m_wCheckSum == RawSumOf(data, kept), "a raw checksum other than the bytes' sum");
        }
        engine.ReportError(FE_FORMAT); // gives the buffer back
    } else {
        Require(!hex || result == kLoadFormatError, "a text in memory that could not be read");
    }
    Require(!engine.m_pBank[0] && ImageRegionsHeld() == held,
            "a buffer kept after a failed load or a report");
}
