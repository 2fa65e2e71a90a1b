#include "flash/drive_commands.h"

#include <cstdio>
#include <cstring>

#include "device/scsi_transport.h"
#include "flash/flash_engine.h"

namespace {

using scsi::Direction;

struct Cdb {
    std::uint8_t bytes[scsi::kCdbLength] = {};
};

Cdb WriteBuffer(std::uint8_t mode, std::uint32_t offset, std::uint32_t length)
{
    Cdb cdb;
    cdb.bytes[0] = scsi::kOpWriteBuffer;
    cdb.bytes[1] = mode;
    cdb.bytes[3] = static_cast<std::uint8_t>(offset >> 16);
    cdb.bytes[4] = static_cast<std::uint8_t>(offset >> 8);
    cdb.bytes[5] = static_cast<std::uint8_t>(offset);
    cdb.bytes[6] = static_cast<std::uint8_t>(length >> 16);
    cdb.bytes[7] = static_cast<std::uint8_t>(length >> 8);
    cdb.bytes[8] = static_cast<std::uint8_t>(length);
    return cdb;
}

// Commands without data go out as data-in of length 0, as they always have.
// The engine keeps each command's whole result for the run's outcome. A
// command the drive carried out while reporting NO SENSE or RECOVERED ERROR
// succeeded: its sense stays in the area for whoever looks.
bool Execute(CFlashEngine& engine, Direction direction, std::uint32_t length, std::uint8_t* data,
             const Cdb& cdb, std::uint8_t* sense, std::uint32_t timeoutSeconds)
{
    engine.m_dwLastTimeout = timeoutSeconds;
    fgExecuteCommand(engine.m_transport, direction, length, data, scsi::kCdbLength, cdb.bytes, sense,
                     timeoutSeconds, &engine.m_lastResult);
    return engine.m_lastResult.Completed();
}

} // namespace

bool fgTestUnitReadyComplete(CFlashEngine& engine, std::uint8_t* sense)
{
    Cdb cdb;
    cdb.bytes[0] = scsi::kOpTestUnitReady;
    return Execute(engine, Direction::In, 0, nullptr, cdb, sense, engine.m_timeouts.readyPoll);
}

bool fgInquiryComplete(CFlashEngine& engine, std::uint8_t* data)
{
    std::uint8_t sense[scsi::kSenseAreaSize] = {};
    Cdb cdb;
    cdb.bytes[0] = scsi::kOpInquiry;
    cdb.bytes[4] = scsi::kInquiryLength;
    return Execute(engine, Direction::In, scsi::kInquiryLength, data, cdb, sense,
                   engine.m_timeouts.identify);
}

bool fgWriteOneFlashCmdData(CFlashEngine& engine, std::uint32_t offset, std::uint8_t* sense)
{
    std::uint8_t* block = engine.m_pBank[engine.m_byBankIndex] + engine.m_wBankOffset;
    std::uint16_t blockSum = 0;
    for (std::uint32_t i = 0; i < scsi::kBlockSize; ++i)
        blockSum = static_cast<std::uint16_t>(blockSum + block[i]);

    bool accepted =
        Execute(engine, Direction::Out, scsi::kBlockSize, block,
                WriteBuffer(scsi::kModeDownloadWithOffsets, offset, scsi::kBlockSize), sense,
                engine.m_timeouts.block);
    // The header must carry the sum of what the drive holds, so a block that
    // is sent again after a failure counts once: only when it is accepted.
    if (accepted)
        engine._wSecSum = static_cast<std::uint16_t>(engine._wSecSum + blockSum);

    engine._total = static_cast<std::uint16_t>(engine._total + engine._wSecSum);
    if (engine.m_pSumFile)
        std::fprintf(engine.m_pSumFile, "Address=%.8X,_wSecSum=%.4X,_total=%.4X\n",
                     static_cast<unsigned>(offset), static_cast<unsigned>(engine._wSecSum),
                     static_cast<unsigned>(engine._total));
    return accepted;
}

bool fgWriteHeader(CFlashEngine& engine, std::uint32_t offset, std::uint8_t* sense)
{
    std::uint8_t sSendBuf[scsi::kHeaderSize] = {};
    sSendBuf[scsi::kHeaderSumAt] = static_cast<std::uint8_t>(engine._wSecSum >> 8);
    sSendBuf[scsi::kHeaderSumAt + 1] = static_cast<std::uint8_t>(engine._wSecSum);
    if (engine.m_pSumFile)
        std::fprintf(engine.m_pSumFile, "sSendBuf[30]=%X   sSendBuf[31]=%X\n",
                     static_cast<unsigned>(sSendBuf[30]), static_cast<unsigned>(sSendBuf[31]));
    return Execute(engine, Direction::Out, scsi::kHeaderSize, sSendBuf,
                   WriteBuffer(scsi::kModeDownloadWithOffsets, offset, scsi::kHeaderSize), sense,
                   engine.m_timeouts.block);
}

bool fgSaveFlash(CFlashEngine& engine, std::uint8_t* sense)
{
    return Execute(engine, Direction::In, 0, nullptr,
                   WriteBuffer(scsi::kModeDownloadAndSave, 0, 0), sense, engine.m_timeouts.save);
}
