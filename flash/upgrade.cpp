// One firmware transfer: image, blocks, header, save, wait, new identity.
#include <cstdio>
#include <cstring>

#include "flash/drive_commands.h"
#include "flash/clock.h"
#include "flash/flash_engine.h"

namespace {

constexpr int kBlockSends = 6;       // one send and five more after failures
constexpr int kUnitAttentionSends = 3; // header or save: one send and two more after a unit attention
constexpr int kMaxBusyPolls = 25;    // busy answers tolerated; one more fails the run
constexpr int kMaxInquiryRetries = 10;
constexpr std::uint32_t kWaitPer64K = 4000;
constexpr std::uint32_t kPollPause = 1000;

bool OperationInProgress(const std::uint8_t* sense)
{
    return scsi::SenseTriple::Of(sense) == scsi::kOperationInProgress;
}

bool UnitAttention(const std::uint8_t* sense)
{
    return (sense[2] & 0x0F) == scsi::kSenseKeyUnitAttention;
}

// A command answered with UNIT ATTENTION was not carried out: the drive
// reports a changed state (a reset, new microcode) instead. Drives that
// conform raise one after each download, so the header and the save, which
// are sent once otherwise, go again while that is the answer.
template <typename Send>
bool SendPastUnitAttentions(Send send, const std::uint8_t* sense)
{
    for (int sends = 0; sends < kUnitAttentionSends; ++sends) {
        if (send())
            return true;
        if (!UnitAttention(sense))
            return false;
    }
    return false;
}

} // namespace

bool CFlashEngine::Upgrade()
{
    SetStage(RunStage::Loading);
    m_wCheckSum = 0;
    switch (LoadImage()) {
    case kLoadReadError:
        ReportError(FE_READ_INPUT);
        return false;
    case kLoadFormatError:
        ReportError(FE_FORMAT);
        return false;
    case kLoadNoMemory:
        return false;
    default:
        break;
    }
    if (!CheckIdentity()) {
        Show("It is an incorrect firmware version!");
        return false;
    }
    ShowMessage("Check Sum : %X", static_cast<unsigned>(m_wCheckSum));
    m_callbacks.CBShowStatus(m_callbacks.pContext, "Updating.....");
    m_callbacks.CBSetProgress(m_callbacks.pContext, 0);
    Show("Please wait a minute.....");

    m_byBankIndex = 0;
    m_wBankOffset = 0;
    _wSecSum = 0;
    const std::uint32_t sentLength = SentLength();

    m_pSumFile = std::fopen("sum.txt", "a");
    WriteSum("Model Name : %.*s HID : %d TID : %d Ver.: %.*s\n",
             static_cast<int>(sizeof m_drive.sModel), m_drive.sModel, m_drive.byHaId,
             m_drive.byTargetId, static_cast<int>(sizeof m_drive.sRevision), m_drive.sRevision);

    std::uint8_t sense[scsi::kSenseAreaSize] = {};
    bool done = SendBlocks(sentLength, sense) && WaitUntilReady(sentLength, sense);
    if (done)
        ReadNewIdentity(sense);
    if (m_pSumFile) {
        std::fclose(m_pSumFile);
        m_pSumFile = nullptr;
    }
    if (done)
        m_callbacks.CBSetProgress(m_callbacks.pContext, 100);
    return done;
}

std::uint32_t CFlashEngine::SentLength() const
{
    // A HEX image goes out in whole 64 KiB pieces, one more when it ends on a
    // boundary; never more than the buffer holds.
    const std::uint32_t length = m_bHexFile ? (m_dwImageLen & 0xFFFF0000u) + 0x10000 : m_dwImageLen;
    return length < kImageSize ? length : kImageSize;
}

bool CFlashEngine::SendBlocks(std::uint32_t sentLength, std::uint8_t* sense)
{
    SetStage(RunStage::Transfer);
    for (std::uint32_t blockOffset = 0; blockOffset < sentLength; blockOffset += scsi::kBlockSize) {
        if (m_callbacks.CBIfTerminated(m_callbacks.pContext)) {
            ReportError(FE_TERMINATED);
            WriteSum("CBIfTerminated failed!!\n");
            return false;
        }
        bool accepted = false;
        for (int send = 0; send < kBlockSends && !accepted; ++send)
            accepted = fgWriteOneFlashCmdData(*this, scsi::kImageBufferOffset + blockOffset, sense);
        if (!accepted) {
            const scsi::SenseTriple t = scsi::SenseTriple::Of(sense);
            WriteSum("Execute command error!! %2X/%2X/%2X\n", t.key, t.asc, t.ascq);
            ShowMessage("Execute command errorA!! %2X/%2X/%2X", t.key, t.asc, t.ascq);
            return false;
        }
        m_callbacks.CBSetProgress(m_callbacks.pContext, 5);
        m_wBankOffset = static_cast<std::uint16_t>(m_wBankOffset + scsi::kBlockSize);
        if (m_wBankOffset >= kBankSize) {
            m_wBankOffset = 0;
            ++m_byBankIndex;
        }
        m_callbacks.CBSetProgress(m_callbacks.pContext, 10);
    }
    // No stop request is looked at from here on.
    SetStage(RunStage::Committed);
    WriteSum("Finished : fgWriteOneFlashCmdData()\n");

    if (!SendPastUnitAttentions([&] { return fgWriteHeader(*this, scsi::kHeaderOffset, sense); }, sense)) {
        const scsi::SenseTriple t = scsi::SenseTriple::Of(sense);
        WriteSum("Execute command error!! %2X/%2X/%2X\n", t.key, t.asc, t.ascq);
        ShowMessage("Execute command errorB!! %2X/%2X/%2X", t.key, t.asc, t.ascq);
        return false;
    }
    WriteSum("Finished : fgWriteHeader()\n");
    m_callbacks.CBSetProgress(m_callbacks.pContext, 15);

    if (!SendPastUnitAttentions([&] { return fgSaveFlash(*this, sense); }, sense)) {
        const scsi::SenseTriple t = scsi::SenseTriple::Of(sense);
        WriteSum("Execute command error!! %2X/%2X/%2X", t.key, t.asc, t.ascq);
        ShowMessage("Execute command errorC!! %2X/%2X/%2X", t.key, t.asc, t.ascq);
        return false;
    }
    // The drive is programming: from here a failure leaves it in a state
    // nobody can know.
    SetStage(RunStage::Programming);
    return true;
}

bool CFlashEngine::WaitUntilReady(std::uint32_t sentLength, std::uint8_t* sense)
{
    // The drive needs about four seconds to program each 64 KiB.
    const unsigned pieces = (sentLength >> 16) & 0xFF;
    for (unsigned j = 0; j < pieces; ++j) {
        m_callbacks.CBSetProgress(m_callbacks.pContext, static_cast<std::int32_t>(20 + 3 * j));
        SleepMs(kWaitPer64K);
    }

    WriteSum("I will in fgTestUnitReadyComplete()\n");
    for (int t = 0;;) {
        SleepMs(kPollPause);
        m_callbacks.CBSetProgress(m_callbacks.pContext, 70 + t);
        if (!fgTestUnitReadyComplete(*this, sense)) {
            const scsi::SenseTriple s = scsi::SenseTriple::Of(sense);
            WriteSum("fgTestUnitReadyComplete failed. %2X/%2X/%2X\n", s.key, s.asc, s.ascq);
        }
        // Anything but "operation in progress" ends the wait, failures too:
        // INQUIRY will tell whether the drive came back. A unit attention is
        // no answer to the question: the poll was not carried out, and the
        // drive may still be programming, so it asks again.
        if (!OperationInProgress(sense) && !UnitAttention(sense)) {
            WriteSum("fgTestUnitReadyComplete OK!!\n");
            break;
        }
        if (++t > kMaxBusyPolls) {
            const scsi::SenseTriple s = scsi::SenseTriple::Of(sense);
            WriteSum("fgTestUnitReadyComplete times Out! Drive might be fail! %2X/%2X/%2X/\n",
                     s.key, s.asc, s.ascq);
            if (m_pSumFile) {
                std::fclose(m_pSumFile);
                m_pSumFile = nullptr;
            }
            ShowMessage("fgTestUnitReadyComplete times Out! Drive might be Fail! %2X/%2X/%2X/\n",
                        s.key, s.asc, s.ascq);
            SleepMs(kPollPause);
            return false;
        }
    }
    SleepMs(kPollPause);
    return true;
}

void CFlashEngine::ReadNewIdentity(const std::uint8_t* sense)
{
    std::uint8_t data[scsi::kInquiryLength] = {};
    m_callbacks.CBSetProgress(m_callbacks.pContext, 90);
    for (int u = 0;;) {
        if (fgInquiryComplete(*this, data)) {
            WriteSum("fgInquiryComplete successed!\n");
            break;
        }
        // INQUIRY keeps its sense to itself; the triple is the ready poll's.
        const scsi::SenseTriple s = scsi::SenseTriple::Of(sense);
        WriteSum("fgInquiryComplete times Out! Drive might be fail!\n %2X/%2X/%2X/\n", s.key,
                 s.asc, s.ascq);
        if (++u > kMaxInquiryRetries) {
            ShowMessage("fgInquiryComplete times Out! Drive might be fail! %2X/%2X/%2X/\n", s.key,
                        s.asc, s.ascq);
            // Whatever failed transfers left behind is no identity.
            std::memset(data, 0, sizeof data);
            break;
        }
        SleepMs(kPollPause);
    }

    char driveName[kModelChars + 1] = {};
    std::memcpy(driveName, data + scsi::kVendorProductAt, kModelChars);
    char revision[5] = {};
    std::memcpy(revision, data + scsi::kRevisionAt, 4);
    m_callbacks.CBSetDriveName(m_callbacks.pContext, driveName);
    m_callbacks.CBSetRevision(m_callbacks.pContext, revision);

    if (m_callbacks.CBIfTerminated(m_callbacks.pContext)) {
        ReportError(FE_TERMINATED);
        WriteSum("2: CBIfTerminated()\n");
    }
}
