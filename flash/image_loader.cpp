// Reading a firmware image file into the 1 MiB image buffer.
#include <cstdio>
#include <cstring>

#include "flash/flash_engine.h"
#include "flash/image_buffer.h"

std::int32_t g_nBankCount = 0;

namespace {

constexpr std::uint8_t kRecordData = 0x00;
constexpr std::uint8_t kRecordEnd = 0x01;
constexpr std::uint8_t kRecordBankAdvance = 0x55;
constexpr std::uint32_t kHexBankSize = 0x10000;
// Bank advances beyond this would place every later byte outside the buffer.
constexpr std::int32_t kMaxBankAdvances = kImageSize / kHexBankSize - 1;

// HEX images run to megabytes of text read one character at a time, so skip
// the stream lock where the library lets us.
inline int NextChar(std::FILE* file)
{
#ifdef _WIN32
    return std::getc(file);
#else
    return getc_unlocked(file);
#endif
}

} // namespace

int CFlashEngine::LoadImage()
{
    m_dwImageLen = 0;
    m_pInFile = std::fopen(m_szImagePath, m_bHexFile ? "r" : "rb");
    if (!m_pInFile) {
        ReportError(FE_OPEN_INPUT);
        return kLoadReadError;
    }
    if (!m_bHexFile) {
        long size = -1;
        if (std::fseek(m_pInFile, 0, SEEK_END) == 0)
            size = std::ftell(m_pInFile);
        if (size <= 0) {
            CloseImageFile();
            return kLoadReadError;
        }
        m_dwFileSize = static_cast<std::uint32_t>(size);
    }

    std::uint8_t* region = AllocateImageRegion(kImageSize);
    if (!region) {
        ReportError(FE_NO_MEMORY);
        return kLoadNoMemory;
    }
    for (int i = 0; i < kBankCount; ++i)
        m_pBank[i] = region + i * kBankSize;
    std::memset(region, 0xFF, kImageSize);

    int result = m_bHexFile ? LoadHex() : LoadRaw();

    if (result == kLoadComplete)
        LockImageRegion(m_pBank[0], kImageSize); // paging is slower, not wrong
    else if (result < 0)
        ReleaseImage(false);
    CloseImageFile();
    return result;
}

int CFlashEngine::LoadRaw()
{
    std::fseek(m_pInFile, 0, SEEK_SET);
    m_byBankIndex = 0;
    m_dwImageLen = 0;
    int result = kLoadTruncated;
    while (result == kLoadTruncated && m_byBankIndex < kBankCount) {
        std::size_t got = std::fread(m_pBank[m_byBankIndex], 1, kBankSize, m_pInFile);
        m_dwImageLen += static_cast<std::uint32_t>(got);
        if (got < kBankSize)
            result = std::ferror(m_pInFile) ? kLoadReadError : kLoadComplete;
        ++m_byBankIndex;
    }
    return result;
}

int CFlashEngine::LoadHex()
{
    g_nBankCount = 0;
    for (;;) {
        m_byRecordSum = 0;
        std::uint8_t count, high, low, type, check;
        if (!SkipToChar(':') || !ReadHexByte(count) || !ReadHexByte(high) || !ReadHexByte(low) ||
            !ReadHexByte(type))
            return kLoadFormatError;
        std::uint32_t address = high * 256u + low + static_cast<std::uint32_t>(g_nBankCount) * kHexBankSize;

        switch (type) {
        case kRecordData:
            for (int k = 0; k < count; ++k) {
                std::uint8_t value;
                if (!ReadHexByte(value))
                    return kLoadFormatError;
                // The buffer ends at 1 MiB; a byte beyond it can't be part of
                // an image this drive takes.
                if (address >= kImageSize)
                    return kLoadFormatError;
                m_pBank[address >> 15][address & (kBankSize - 1)] = value;
                ++address;
                if (address > m_dwImageLen)
                    m_dwImageLen = address;
            }
            if (!ReadHexByte(check) || m_byRecordSum != 0)
                return kLoadFormatError;
            break;
        case kRecordEnd:
            if (!ReadHexByte(check) || count != 0 || m_byRecordSum != 0)
                return kLoadFormatError;
            return kLoadComplete;
        case kRecordBankAdvance:
            if (!ReadHexByte(check) || count != 0 || m_byRecordSum != 0)
                return kLoadFormatError;
            if (g_nBankCount >= kMaxBankAdvances)
                return kLoadFormatError;
            ++g_nBankCount;
            break;
        default:
            return kLoadFormatError;
        }
    }
}

bool CFlashEngine::SkipToChar(char wanted)
{
    for (;;) {
        int c = NextChar(m_pInFile);
        if (c == EOF) {
            ReportError(FE_FORMAT);
            return false;
        }
        if (m_callbacks.CBIfTerminated()) {
            ReportError(FE_TERMINATED);
            return false;
        }
        if ((c & 0x7F) == wanted)
            return true;
    }
}

bool CFlashEngine::ReadHexDigit(std::uint8_t& value)
{
    if (m_callbacks.CBIfTerminated()) {
        ReportError(FE_TERMINATED);
        return false;
    }
    int c = NextChar(m_pInFile);
    if (c == EOF) {
        ReportError(FE_FORMAT);
        return false;
    }
    c &= 0x7F;
    if (c >= '0' && c <= '9')
        value = static_cast<std::uint8_t>(c - '0');
    else if (c >= 'A' && c <= 'F')
        value = static_cast<std::uint8_t>(c - 'A' + 10);
    else if (c >= 'a' && c <= 'f')
        value = static_cast<std::uint8_t>(c - 'a' + 10);
    else {
        ReportError(FE_FORMAT);
        return false;
    }
    return true;
}

bool CFlashEngine::ReadHexByte(std::uint8_t& value)
{
    std::uint8_t first, second;
    if (!ReadHexDigit(first) || !ReadHexDigit(second))
        return false;
    value = static_cast<std::uint8_t>(first * 16 + second);
    m_byRecordSum = static_cast<std::uint8_t>(m_byRecordSum + value);
    return true;
}
