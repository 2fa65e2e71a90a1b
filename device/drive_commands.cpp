#include "device/drive_commands.h"

#include <cstdio>
#include <cstring>

#include "flash/flash_engine.h"

std::uint16_t _total = 0;

namespace {

constexpr std::uint8_t kCdbLength = 12;
constexpr std::uint8_t kHeaderSize = 32;

struct Cdb {
    std::uint8_t bytes[kCdbLength] = {};
};

Cdb WriteBuffer(std::uint8_t mode, std::uint32_t offset, std::uint32_t length)
{
    Cdb cdb;
    cdb.bytes[0] = 0x3B;
    cdb.bytes[1] = mode;
    cdb.bytes[3] = static_cast<std::uint8_t>(offset >> 16);
    cdb.bytes[4] = static_cast<std::uint8_t>(offset >> 8);
    cdb.bytes[5] = static_cast<std::uint8_t>(offset);
    cdb.bytes[6] = static_cast<std::uint8_t>(length >> 16);
    cdb.bytes[7] = static_cast<std::uint8_t>(length >> 8);
    cdb.bytes[8] = static_cast<std::uint8_t>(length);
    return cdb;
}

bool Execute(CFlashEngine& engine, std::uint8_t direction, std::uint32_t length,
             std::uint8_t* data, const Cdb& cdb, std::uint8_t* sense)
{
    bool done = fgExecuteCommand(&engine.m_drive, direction, length, data, kCdbLength, cdb.bytes,
                                 engine.m_bIsNT, sense);
    return done && sense[2] == 0;
}

} // namespace

bool fgTestUnitReadyComplete(CFlashEngine& engine, std::uint8_t* sense)
{
    return Execute(engine, SRB_DIR_IN, 0, nullptr, Cdb{}, sense);
}

bool fgInquiryComplete(CFlashEngine& engine, std::uint8_t* data)
{
    std::uint8_t sense[kSenseSize] = {};
    Cdb cdb;
    cdb.bytes[0] = 0x12;
    cdb.bytes[4] = 36;
    return Execute(engine, SRB_DIR_IN, 36, data, cdb, sense);
}

bool fgWriteOneFlashCmdData(CFlashEngine& engine, std::uint32_t offset, std::uint8_t* sense)
{
    std::uint8_t* block = engine.m_pBank[engine.m_byBankIndex] + engine.m_wBankOffset;
    std::uint16_t blockSum = 0;
    for (std::uint32_t i = 0; i < kBlockSize; ++i)
        blockSum = static_cast<std::uint16_t>(blockSum + block[i]);

    bool accepted = Execute(engine, SRB_DIR_OUT, kBlockSize, block,
                            WriteBuffer(0x06, offset, kBlockSize), sense);
    // The header must carry the sum of what the drive holds, so a block that
    // is sent again after a failure counts once: only when it is accepted.
    if (accepted)
        engine._wSecSum = static_cast<std::uint16_t>(engine._wSecSum + blockSum);

    _total = static_cast<std::uint16_t>(_total + engine._wSecSum);
    if (engine.m_pSumFile)
        std::fprintf(engine.m_pSumFile, "Address=%.8X,_wSecSum=%.4X,_total=%.4X\n",
                     static_cast<unsigned>(offset), static_cast<unsigned>(engine._wSecSum),
                     static_cast<unsigned>(_total));
    return accepted;
}

bool fgWriteHeader(CFlashEngine& engine, std::uint32_t offset, std::uint8_t* sense)
{
    std::uint8_t sSendBuf[kHeaderSize] = {};
    sSendBuf[30] = static_cast<std::uint8_t>(engine._wSecSum >> 8);
    sSendBuf[31] = static_cast<std::uint8_t>(engine._wSecSum);
    if (engine.m_pSumFile)
        std::fprintf(engine.m_pSumFile, "sSendBuf[30]=%X   sSendBuf[31]=%X\n",
                     static_cast<unsigned>(sSendBuf[30]), static_cast<unsigned>(sSendBuf[31]));
    return Execute(engine, SRB_DIR_OUT, kHeaderSize, sSendBuf,
                   WriteBuffer(0x06, offset, kHeaderSize), sense);
}

bool fgSaveFlash(CFlashEngine& engine, std::uint8_t* sense)
{
    return Execute(engine, SRB_DIR_IN, 0, nullptr, WriteBuffer(0x07, 0, 0), sense);
}
