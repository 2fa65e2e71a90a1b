// Reading an Intel HEX image (with 55h bank-advance records) into the buffer.
#include <cstdio>

#include "flash/flash_engine.h"
#include "flash/hex_lines.h"

namespace {

constexpr std::uint8_t kRecordData = 0x00;
constexpr std::uint8_t kRecordEnd = 0x01;
constexpr std::uint8_t kRecordBankAdvance = 0x55;
// Bank advances beyond this would place every later byte outside the buffer.
constexpr std::int32_t kMaxBankAdvances = kImageSize / kHexBankSize - 1;
constexpr std::size_t kChunkSize = 16384;

// The readers must melt into the record loop, or the cursor escapes to
// memory; what runs once a chunk or once a file must stay out of it.
#if defined(__GNUC__)
#define HEX_INLINE inline __attribute__((always_inline))
#define HEX_OUT_OF_LINE __attribute__((noinline))
#else
#define HEX_INLINE inline
#define HEX_OUT_OF_LINE
#endif

// The image text, read in chunks. A 1 MiB image is megabytes of text taken a
// character at a time with a stop question each: the cursor must stay in
// registers, so this object never leaves the record loop's frame, and nothing
// that is not inlined gets its address.
struct HexText {
    std::FILE* file;
    std::uint8_t* chunk;
    const std::uint8_t* pos;
    const std::uint8_t* end;
    std::uint8_t (*stopRequested)(void*); // the engine's CBIfTerminated
    void* context;                         // and its context
    std::uint8_t recordSum;
    std::uint64_t chunkAt; // file offset of chunk[0]
    // Line ends read. A line end inside a record breaks it, so they all lie
    // in skipped text, and the skipping counts them: between records on
    // lines of their own that is one each.
    std::uint32_t lines;

    // The next chunk; false at the end of the text, where the cursor stays
    // behind the last character.
    HEX_INLINE bool Refill()
    {
        chunkAt += static_cast<std::uint64_t>(end - chunk);
        std::size_t got = std::fread(chunk, 1, kChunkSize, file);
        pos = chunk;
        end = chunk + got;
        return got != 0;
    }
    HEX_INLINE int Next()
    {
        if (pos == end && !Refill())
            return EOF;
        return *pos++;
    }
    HEX_INLINE std::uint64_t OffsetOf(const std::uint8_t* p) const
    {
        return chunkAt + static_cast<std::uint64_t>(p - chunk);
    }
    // The file offset of the character read last.
    HEX_INLINE std::uint64_t Last() const { return OffsetOf(pos) - 1; }
};

// Notes where the text breaks the format, for the one who must fix the file.
// Values only: the reader's cursor must not leave its registers for this.
HEX_OUT_OF_LINE void Note(CFlashEngine& engine, std::uint64_t at, std::uint32_t line, LoadProblemKind kind,
                          std::uint32_t value = 0)
{
    LoadProblem& problem = engine.m_loadProblem;
    problem.kind = kind;
    problem.at = at;
    problem.value = value;
    problem.line = line;
}

// A record that breaks the format, noted at the character read last.
HEX_INLINE int Broken(CFlashEngine& engine, const HexText& text, LoadProblemKind kind, std::uint32_t value = 0)
{
    Note(engine, text.Last(), text.lines + 1, kind, value);
    return kLoadFormatError;
}

// A line the reader skipped is a record that lost its ':'; `lines` ended
// before the skipped text began.
HEX_OUT_OF_LINE void NoteMissingMark(CFlashEngine& engine, std::uint32_t lines, const SkippedLines& skipped)
{
    Note(engine, skipped.LineAt(), lines + skipped.LineEnds() + 1, LoadProblemKind::MissingStartMark,
         skipped.Mark());
    engine.m_loadProblem.recordAt = skipped.LineAt();
}

// The readers report their own failure, then answer false (or -1).

// Reads characters until one equals `wanted` once its top bit is cleared.
// The text passed over goes to `skipped` only when it is long enough to hold
// a record; between records on lines of their own it never is. A record found
// there ends loading as a record that breaks the format does: without a
// report of the reader's own.
HEX_INLINE bool SkipToChar(CFlashEngine& engine, HexText& text, SkippedLines& skipped, char wanted)
{
    const std::uint8_t* from = text.pos;
    const std::uint32_t linesBefore = text.lines;
    bool taken = false; // a piece of this stretch went to `skipped`
    for (;;) {
        if (text.pos == text.end) {
            if (from != text.end) {
                if (skipped.Take(from, text.end, text.OffsetOf(from), !taken))
                    return NoteMissingMark(engine, linesBefore, skipped), false;
                taken = true;
            }
            if (!text.Refill()) {
                const bool failed = std::ferror(text.file) != 0;
                if (!failed && taken && skipped.TakeEnd())
                    return NoteMissingMark(engine, linesBefore, skipped), false;
                // The last character, or 0 in an empty text.
                Note(engine, text.chunkAt != 0 ? text.Last() : 0, text.lines + 1,
                     failed ? LoadProblemKind::ReadFailed : LoadProblemKind::NoEndRecord);
                return engine.ReportError(FE_FORMAT), false;
            }
            from = text.pos;
        }
        // The character is judged before the stop question, so that it
        // needs no register across the call.
        const int c = *text.pos++;
        text.lines += c == '\n';
        if ((c & 0x7F) == wanted) {
            if (text.stopRequested(text.context))
                return engine.ReportError(FE_TERMINATED), false;
            const std::uint8_t* mark = text.pos - 1;
            if ((taken || static_cast<std::size_t>(mark - from) >= kShortestSkipWithRecord) &&
                skipped.Take(from, mark, text.OffsetOf(from), !taken))
                return NoteMissingMark(engine, linesBefore, skipped), false;
            return true;
        }
        if (text.stopRequested(text.context))
            return engine.ReportError(FE_TERMINATED), false;
    }
}

// The value of the next digit.
HEX_INLINE int ReadHexDigit(CFlashEngine& engine, HexText& text)
{
    if (text.stopRequested(text.context))
        return engine.ReportError(FE_TERMINATED), -1;
    int c = text.Next();
    if (c == EOF) {
        Note(engine, text.Last(), text.lines + 1,
             std::ferror(text.file) ? LoadProblemKind::ReadFailed : LoadProblemKind::RecordCut);
        return engine.ReportError(FE_FORMAT), -1;
    }
    int digit = kHexDigitValue[c & 0x7F];
    if (digit == 0xFF) {
        Note(engine, text.Last(), text.lines + 1, LoadProblemKind::BadDigit, static_cast<std::uint32_t>(c));
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
                 m_callbacks.pContext, 0, 0, 0};
    SkippedLines skipped;

    m_nBankCount = 0;
    for (;;) {
        text.recordSum = 0;
        std::uint8_t count, high, low, type, check;
        if (!SkipToChar(*this, text, skipped, ':'))
            return kLoadFormatError;
        m_loadProblem.recordAt = text.Last();
        if (!ReadHexByte(*this, text, count) || !ReadHexByte(*this, text, high) ||
            !ReadHexByte(*this, text, low) || !ReadHexByte(*this, text, type))
            return kLoadFormatError;
        std::uint32_t address =
            high * 256u + low + static_cast<std::uint32_t>(m_nBankCount) * kHexBankSize;

        if (type != kRecordData && type != kRecordEnd && type != kRecordBankAdvance)
            return Broken(*this, text, LoadProblemKind::UnknownType, type);
        if (type == kRecordData) {
            // The buffer ends at 1 MiB; a byte beyond it can't be part of an
            // image this drive takes.
            if (address + count > kImageSize)
                return Broken(*this, text, LoadProblemKind::PastImageEnd, address + count);
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
            return Broken(*this, text, LoadProblemKind::BadRecordSum, m_byRecordSum);
        if (type != kRecordData && count != 0)
            return Broken(*this, text, LoadProblemKind::DataInControl);
        if (type == kRecordEnd)
            return kLoadComplete;
        if (type == kRecordBankAdvance) {
            if (m_nBankCount >= kMaxBankAdvances)
                return Broken(*this, text, LoadProblemKind::TooManyBanks);
            ++m_nBankCount;
        }
    }
}
