// Reading an Intel HEX image (with 55h bank-advance records) into the buffer.
#include <array>
#include <cstdio>

#include "flash/flash_engine.h"

namespace {

constexpr std::uint8_t kRecordData = 0x00;
constexpr std::uint8_t kRecordEnd = 0x01;
constexpr std::uint8_t kRecordBankAdvance = 0x55;
constexpr std::uint32_t kHexBankSize = 0x10000;
// Bank advances beyond this would place every later byte outside the buffer.
constexpr std::int32_t kMaxBankAdvances = kImageSize / kHexBankSize - 1;
constexpr std::size_t kChunkSize = 16384;

// The readers must melt into the record loop, or the cursor escapes to memory.
#if defined(__GNUC__)
#define HEX_INLINE inline __attribute__((always_inline))
#else
#define HEX_INLINE inline
#endif

// The image text, read in chunks. A 1 MiB image is megabytes of text taken a
// character at a time with a stop question each: the cursor must stay in
// registers, so this object never leaves the record loop's frame.
struct HexText {
    std::FILE* file;
    std::uint8_t* chunk;
    const std::uint8_t* pos;
    const std::uint8_t* end;
    std::uint8_t (*stopRequested)(void*); // the engine's CBIfTerminated
    void* context;                         // and its context
    std::uint8_t recordSum;
    std::uint64_t chunkAt; // file offset of chunk[0]

    HEX_INLINE int Next()
    {
        if (pos == end) {
            chunkAt += static_cast<std::uint64_t>(end - chunk);
            std::size_t got = std::fread(chunk, 1, kChunkSize, file);
            if (got == 0)
                return EOF;
            pos = chunk;
            end = chunk + got;
        }
        return *pos++;
    }
    // The file offset of the character read last.
    std::uint64_t Last() const { return chunkAt + static_cast<std::uint64_t>(pos - chunk) - 1; }
};

// Notes where the text breaks the format, for the one who must fix the file.
void Note(CFlashEngine& engine, const HexText& text, LoadProblemKind kind, std::uint32_t value = 0)
{
    engine.m_loadProblem.kind = kind;
    engine.m_loadProblem.at = text.Last();
    engine.m_loadProblem.value = value;
}

// Character to digit value with the top bit already cleared; 0xFF: no digit.
constexpr std::array<std::uint8_t, 128> kDigitValue = [] {
    std::array<std::uint8_t, 128> table{};
    table.fill(0xFF);
    for (int c = '0'; c <= '9'; ++c)
        table[c] = static_cast<std::uint8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        table[c] = table[c + ('a' - 'A')] = static_cast<std::uint8_t>(c - 'A' + 10);
    return table;
}();

// The readers report their own failure, then answer false (or -1).

// Reads characters until one equals `wanted` once its top bit is cleared.
HEX_INLINE bool SkipToChar(CFlashEngine& engine, HexText& text, char wanted)
{
    for (;;) {
        int c = text.Next();
        if (c == EOF) {
            Note(engine, text, std::ferror(text.file) ? LoadProblemKind::ReadFailed : LoadProblemKind::NoEndRecord);
            return engine.ReportError(FE_FORMAT), false;
        }
        if (text.stopRequested(text.context))
            return engine.ReportError(FE_TERMINATED), false;
        if ((c & 0x7F) == wanted)
            return true;
    }
}

// The value of the next digit.
HEX_INLINE int ReadHexDigit(CFlashEngine& engine, HexText& text)
{
    if (text.stopRequested(text.context))
        return engine.ReportError(FE_TERMINATED), -1;
    int c = text.Next();
    if (c == EOF) {
        Note(engine, text, std::ferror(text.file) ? LoadProblemKind::ReadFailed : LoadProblemKind::RecordCut);
        return engine.ReportError(FE_FORMAT), -1;
    }
    int digit = kDigitValue[c & 0x7F];
    if (digit == 0xFF) {
        Note(engine, text, LoadProblemKind::BadDigit, static_cast<std::uint32_t>(c));
        return engine.ReportError(FE_FORMAT), -1;
    }
    return digit;
}

// Two digits as one byte, added to the record sum.
HEX_INLINE bool ReadHexByte(CFlashEngine& engine, HexText& text, std::uint8_t& value)
{
    int high = ReadHexDigit(engine, text);
    if (high < 0)
        return false;
    int low = ReadHexDigit(engine, text);
    if (low < 0)
        return false;
    value = static_cast<std::uint8_t>(high * 16 + low);
    text.recordSum = static_cast<std::uint8_t>(text.recordSum + value);
    return true;
}

} // namespace

int CFlashEngine::LoadHex()
{
    std::uint8_t chunk[kChunkSize];
    HexText text{m_pInFile, chunk, chunk, chunk, m_callbacks.CBIfTerminated,
                 m_callbacks.pContext, 0, 0};
    // Every way out below that is not an end record is a broken format.
    const auto broken = [&](LoadProblemKind kind, std::uint32_t value = 0) {
        Note(*this, text, kind, value);
        return kLoadFormatError;
    };

    m_nBankCount = 0;
    for (;;) {
        text.recordSum = 0;
        std::uint8_t count, high, low, type, check;
        if (!SkipToChar(*this, text, ':'))
            return kLoadFormatError;
        m_loadProblem.recordAt = text.Last();
        if (!ReadHexByte(*this, text, count) || !ReadHexByte(*this, text, high) ||
            !ReadHexByte(*this, text, low) || !ReadHexByte(*this, text, type))
            return kLoadFormatError;
        std::uint32_t address =
            high * 256u + low + static_cast<std::uint32_t>(m_nBankCount) * kHexBankSize;

        if (type != kRecordData && type != kRecordEnd && type != kRecordBankAdvance)
            return broken(LoadProblemKind::UnknownType, type);
        if (type == kRecordData) {
            // The buffer ends at 1 MiB; a byte beyond it can't be part of an
            // image this drive takes.
            if (address + count > kImageSize)
                return broken(LoadProblemKind::PastImageEnd, address + count);
            std::uint8_t* image = m_pBank[0]; // the banks lie end to end
            for (int k = 0; k < count; ++k) {
                std::uint8_t value;
                if (!ReadHexByte(*this, text, value))
                    return kLoadFormatError;
                image[address + k] = value;
            }
            if (count != 0 && address + count > m_dwImageLen)
                m_dwImageLen = address + count;
        }
        if (!ReadHexByte(*this, text, check))
            return kLoadFormatError;
        m_byRecordSum = text.recordSum;
        if (m_byRecordSum != 0)
            return broken(LoadProblemKind::BadRecordSum, m_byRecordSum);
        if (type != kRecordData && count != 0)
            return broken(LoadProblemKind::DataInControl);
        if (type == kRecordEnd)
            return kLoadComplete;
        if (type == kRecordBankAdvance) {
            if (m_nBankCount >= kMaxBankAdvances)
                return broken(LoadProblemKind::TooManyBanks);
            ++m_nBankCount;
        }
    }
}
