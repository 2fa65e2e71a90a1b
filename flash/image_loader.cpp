// Reading a firmware image file into the 1 MiB image buffer.
#include <cstdio>
#include <cstring>

#include "flash/flash_engine.h"
#include "flash/image_buffer.h"

int CFlashEngine::LoadImage()
{
    m_dwImageLen = 0;
    std::FILE* file = std::fopen(m_szImagePath, m_bHexFile ? "r" : "rb");
    if (!file) {
        ReportError(FE_OPEN_INPUT);
        return kLoadReadError;
    }
    return LoadImageFrom(file);
}

int CFlashEngine::LoadImageFrom(std::FILE* file)
{
    m_dwImageLen = 0;
    m_loadProblem = LoadProblem{};
    m_pInFile = file;
    if (!m_bHexFile) {
        long size = -1;
        if (std::fseek(m_pInFile, 0, SEEK_END) == 0)
            size = std::ftell(m_pInFile);
        if (size <= 0) {
            m_loadProblem.kind = size == 0 ? LoadProblemKind::EmptyFile : LoadProblemKind::ReadFailed;
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

namespace {

// Past its first 1 MiB a raw file may hold only fill, all FFh or all 00h, as
// an image padded out to a larger part is; anything else there is firmware
// this buffer can't hold, and sending its first 1 MiB would flash a torso.
// Reads the rest of `file` and answers a load result.
int CheckRawTail(std::FILE* file, LoadProblem& problem)
{
    std::uint8_t piece[4096];
    int fill = -1;
    std::uint64_t at = kImageSize;
    for (;;) {
        const std::size_t got = std::fread(piece, 1, sizeof piece, file);
        for (std::size_t i = 0; i < got; ++i) {
            if (fill < 0 && (piece[i] == 0xFF || piece[i] == 0x00))
                fill = piece[i];
            if (piece[i] != fill) {
                problem.kind = LoadProblemKind::TooLarge;
                problem.at = at + i;
                problem.value = piece[i];
                if (std::fseek(file, 0, SEEK_END) == 0) {
                    const long size = std::ftell(file);
                    problem.size = size > 0 ? static_cast<std::uint64_t>(size) : 0;
                }
                return kLoadFormatError;
            }
        }
        at += got;
        if (got < sizeof piece)
            break;
    }
    if (std::ferror(file)) {
        problem.kind = LoadProblemKind::ReadFailed;
        return kLoadReadError;
    }
    return kLoadTruncated;
}

} // namespace

int CFlashEngine::LoadRaw()
{
    std::fseek(m_pInFile, 0, SEEK_SET);
    m_byBankIndex = 0;
    m_dwImageLen = 0;
    int result = kLoadTruncated;
    while (result == kLoadTruncated && m_byBankIndex < kBankCount) {
        std::size_t got = std::fread(m_pBank[m_byBankIndex], 1, kBankSize, m_pInFile);
        m_dwImageLen += static_cast<std::uint32_t>(got);
        if (got < kBankSize) {
            result = std::ferror(m_pInFile) ? kLoadReadError : kLoadComplete;
            if (result == kLoadReadError)
                m_loadProblem.kind = LoadProblemKind::ReadFailed;
        }
        ++m_byBankIndex;
    }
    if (result == kLoadTruncated)
        result = CheckRawTail(m_pInFile, m_loadProblem);
    return result;
}

void CFlashEngine::AdoptImage(CFlashEngine& other)
{
    ShareImage(other);
    // Shared, and the owner's part taken over.
    m_bImageShared = other.m_bImageShared;
    for (auto& bank : other.m_pBank)
        bank = nullptr;
    other.m_bImageAdopted = other.m_bImageShared = false;
}

void CFlashEngine::ShareImage(const CFlashEngine& loaded)
{
    ReleaseImage(false);
    for (int i = 0; i < kBankCount; ++i)
        m_pBank[i] = loaded.m_pBank[i];
    m_bHexFile = loaded.m_bHexFile;
    m_dwImageLen = loaded.m_dwImageLen;
    m_nBankCount = loaded.m_nBankCount;
    m_bImageAdopted = m_bImageShared = m_pBank[0] != nullptr;
}
