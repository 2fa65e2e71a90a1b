// One firmware transfer: image, blocks, header, save, wait, new identity.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "flash/drive_commands.h"
#include "flash/clock.h"
#include "flash/flash_engine.h"
#include "flash/hex_lines.h"
#include "flash/model_list.h"
#include "flash/run_timing.h"

namespace {

using namespace run_timing;

// The drive's answer to the poll: still programming, whatever flag bits
// stand beside the key.
bool OperationInProgress(const scsi::Result& answer)
{
    const scsi::SenseTriple& busy = scsi::kOperationInProgress;
    return answer.outcome == scsi::Outcome::CheckCondition && answer.decoded.Is(busy.key, busy.asc, busy.ascq);
}

// A command answered with UNIT ATTENTION was not carried out: the drive
// reports a changed state (a reset, new microcode) instead.
bool UnitAttention(const scsi::Result& answer) { return answer.CurrentKey() == scsi::kSenseKeyUnitAttention; }

// Whether sending a block again can end otherwise. A drive that refuses the
// command or its data (ILLEGAL REQUEST), or will not be written (DATA
// PROTECT), answers the same every time; a command that ran out of time
// would take its whole time-out again; a drive that is gone stays gone.
bool WorthSendingAgain(const scsi::Result& answer)
{
    const int key = answer.CurrentKey();
    return !answer.timedOut && !answer.deviceGone && key != scsi::kSenseKeyIllegalRequest &&
           key != scsi::kSenseKeyDataProtect;
}

void CopyText(char* to, std::size_t room, const char* from, std::size_t length)
{
    std::size_t n = strnlen(from, length);
    if (n >= room)
        n = room - 1;
    std::memcpy(to, from, n);
    to[n] = '\0';
}

// A save whose answer never came from the drive may have been carried out.
bool DriveAnswered(const scsi::Result& result)
{
    return result.outcome != scsi::Outcome::TransportFailure &&
           result.outcome != scsi::Outcome::SystemFailure;
}

} // namespace

// Drives that conform raise a unit attention after each download, so the
// header and the save, which are sent once otherwise, go again while that
// is the answer.
template <typename Send>
bool CFlashEngine::SendPastUnitAttentions(DriveCommand command, Send send)
{
    for (int sends = 1;; ++sends) {
        if (send())
            return true;
        if (!UnitAttention(m_lastResult) || sends == kUnitAttentionSends)
            return false;
        EmitResend(command, 0, static_cast<std::uint32_t>(sends + 1), kUnitAttentionSends);
    }
}

void CFlashEngine::EmitResend(DriveCommand command, std::uint32_t offset, std::uint32_t send, int sends)
{
    if (!m_callbacks.OnRunEvent)
        return;
    RunEvent event{RunStep::Resend, send, m_plan, {}, {}};
    event.resend = {command, offset, send, static_cast<std::uint32_t>(sends), &m_lastResult, m_dwLastTimeout};
    m_callbacks.OnRunEvent(m_callbacks.pContext, event);
}

bool CFlashEngine::Refuse(RefusalReason check)
{
    m_outcome.end = RunEnd::Refused;
    m_outcome.refusal = check;
    return false;
}

std::string CFlashEngine::NoteFailure(RunEnd end, DriveCommand command)
{
    m_outcome.end = end;
    m_outcome.failed = command;
    m_outcome.result = m_lastResult;
    m_outcome.timeoutSeconds = m_dwLastTimeout;
    const char* words =
        m_callbacks.DescribeFailure ? m_callbacks.DescribeFailure(m_callbacks.pContext, m_outcome) : nullptr;
    if (!words || !*words)
        return "";
    // The save's error line has no line end of its own.
    WriteSum(command == DriveCommand::Save ? "\n%s\n" : "%s\n", words);
    return words;
}

bool CFlashEngine::Fail(RunEnd end, DriveCommand command)
{
    const std::string words = NoteFailure(end, command);
    if (!words.empty())
        Show(words.c_str());
    return false;
}

bool CFlashEngine::Upgrade()
{
    m_outcome = RunOutcome{};
    m_bStopTaken = false;
    m_bSumOpened = false;
    // What the front end showed of the drive: its model (less the list's
    // index suffix) and its current revision.
    CopyText(m_outcome.before.model, sizeof m_outcome.before.model, m_szModel, scsi::kModelChars);
    CopyText(m_outcome.before.revision, sizeof m_outcome.before.revision, m_szRevision, scsi::kRevisionChars);
    m_wCheckSum = 0;
    switch (m_bImageAdopted ? kLoadComplete : LoadImage()) {
    case kLoadReadError:
        ReportError(FE_READ_INPUT);
        return Refuse(RefusalReason::ImageUnreadable);
    case kLoadFormatError:
        ReportError(FE_FORMAT);
        // A stop request during the HEX read ends it the same way.
        if (m_bStopTaken) {
            m_outcome.end = RunEnd::Stopped;
            return false;
        }
        return Refuse(RefusalReason::ImageFormat);
    case kLoadNoMemory:
        return Refuse(RefusalReason::NoMemory);
    default:
        break;
    }
    if (!CheckIdentity()) {
        Show("It is an incorrect firmware version!");
        return Refuse(RefusalReason::WrongImage);
    }
    ShowMessage("Check Sum : %X", static_cast<unsigned>(m_wCheckSum));
    m_callbacks.CBShowStatus(m_callbacks.pContext, "Updating.....");
    m_callbacks.CBSetProgress(m_callbacks.pContext, 0);
    Show("Please wait a minute.....");

    m_byBankIndex = 0;
    m_wBankOffset = 0;
    _wSecSum = 0;
    const std::uint32_t sentLength = SentLength();
    m_plan = Plan();
    Emit(RunStep::Planned);

    m_pSumFile = std::fopen(m_szSumPath, "a");
    m_bSumOpened = m_pSumFile != nullptr;
    if (!m_pSumFile && m_callbacks.OnRunEvent) {
        // The diagnostics are lost, the transfer is not; the user hears why.
        RunEvent event{RunStep::NoSumFile, 0, m_plan, {}, {}};
        event.sumFile = {m_szSumPath, errno};
        m_callbacks.OnRunEvent(m_callbacks.pContext, event);
    }
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
    // A HEX image goes out in whole HEX banks, one more when it ends on a
    // bank's boundary; never more than the buffer holds.
    const std::uint32_t length =
        m_bHexFile ? (m_dwImageLen / kHexBankSize + 1) * kHexBankSize : m_dwImageLen;
    return length < kImageSize ? length : kImageSize;
}

RunPlan CFlashEngine::Plan() const
{
    const std::uint32_t sent = SentLength();
    RunPlan plan;
    plan.blocks = (sent + scsi::kBlockSize - 1) / scsi::kBlockSize;
    plan.programmingWaits = ProgrammingWaits(sent);
    return plan;
}

bool CFlashEngine::StopBeforeBlock(bool last)
{
    if (m_callbacks.CBIfTerminated(m_callbacks.pContext))
        return true;
    // A request that beats the closing still stops the run; one after it is
    // answered "too late" and never reaches the run.
    return last && !m_pStop->Close();
}

bool CFlashEngine::SendBlocks(std::uint32_t sentLength, std::uint8_t* sense)
{
    for (std::uint32_t blockOffset = 0; blockOffset < sentLength; blockOffset += scsi::kBlockSize) {
        if (StopBeforeBlock(blockOffset + scsi::kBlockSize >= sentLength)) {
            ReportError(FE_TERMINATED);
            WriteSum("CBIfTerminated failed!!\n");
            m_outcome.end = RunEnd::Stopped;
            return false;
        }
        bool accepted = false;
        for (int send = 1; send <= kBlockSends && !accepted; ++send) {
            if (send > 1) {
                if (!WorthSendingAgain(m_lastResult))
                    break;
                EmitResend(DriveCommand::Block, blockOffset, static_cast<std::uint32_t>(send), kBlockSends);
            }
            m_outcome.sentAnything = true;
            accepted = fgWriteOneFlashCmdData(*this, scsi::kImageBufferOffset + blockOffset, sense);
        }
        if (!accepted) {
            const scsi::SenseTriple t = scsi::SenseTriple::Of(sense);
            WriteSum("Execute command error!! %2X/%2X/%2X\n", t.key, t.asc, t.ascq);
            ShowMessage("Execute command errorA!! %2X/%2X/%2X", t.key, t.asc, t.ascq);
            m_outcome.blockOffset = blockOffset;
            return Fail(RunEnd::NotSaved, DriveCommand::Block);
        }
        Emit(RunStep::BlockAccepted, m_outcome.blocksAccepted++);
        m_callbacks.CBSetProgress(m_callbacks.pContext, 5);
        m_wBankOffset = static_cast<std::uint16_t>(m_wBankOffset + scsi::kBlockSize);
        if (m_wBankOffset >= kBankSize) {
            m_wBankOffset = 0;
            ++m_byBankIndex;
        }
        m_callbacks.CBSetProgress(m_callbacks.pContext, 10);
    }
    WriteSum("Finished : fgWriteOneFlashCmdData()\n");

    if (!SendPastUnitAttentions(DriveCommand::Header,
                                [&] { return fgWriteHeader(*this, scsi::kHeaderOffset, sense); })) {
        const scsi::SenseTriple t = scsi::SenseTriple::Of(sense);
        WriteSum("Execute command error!! %2X/%2X/%2X\n", t.key, t.asc, t.ascq);
        ShowMessage("Execute command errorB!! %2X/%2X/%2X", t.key, t.asc, t.ascq);
        return Fail(RunEnd::NotSaved, DriveCommand::Header);
    }
    Emit(RunStep::HeaderAccepted);
    WriteSum("Finished : fgWriteHeader()\n");
    m_callbacks.CBSetProgress(m_callbacks.pContext, 15);

    if (!SendPastUnitAttentions(DriveCommand::Save, [&] { return fgSaveFlash(*this, sense); })) {
        const scsi::SenseTriple t = scsi::SenseTriple::Of(sense);
        WriteSum("Execute command error!! %2X/%2X/%2X", t.key, t.asc, t.ascq);
        ShowMessage("Execute command errorC!! %2X/%2X/%2X", t.key, t.asc, t.ascq);
        // Only an answer that says the drive declined the save leaves the old
        // firmware certain; any other error may have come from programming.
        const RunEnd end = m_lastResult.NotCarriedOut() ? RunEnd::NotSaved
                           : DriveAnswered(m_lastResult) ? RunEnd::SaveFailed
                                                         : RunEnd::SaveUnanswered;
        return Fail(end, DriveCommand::Save);
    }
    // The drive is programming: from here a failure leaves it in a state
    // nobody can know.
    Emit(RunStep::SaveAccepted);
    return true;
}

bool CFlashEngine::WaitUntilReady(std::uint32_t sentLength, std::uint8_t* sense)
{
    // The drive needs about four seconds to program each 64 KiB.
    const unsigned pieces = ProgrammingWaits(sentLength);
    for (unsigned j = 0; j < pieces; ++j) {
        Emit(RunStep::ProgrammingWait, j);
        m_callbacks.CBSetProgress(m_callbacks.pContext, static_cast<std::int32_t>(20 + 3 * j));
        SleepMs(kProgrammingWaitMs);
    }

    WriteSum("I will in fgTestUnitReadyComplete()\n");
    for (int t = 0;;) {
        SleepMs(kPollPauseMs);
        Emit(RunStep::ReadyPoll, static_cast<std::uint32_t>(t));
        m_callbacks.CBSetProgress(m_callbacks.pContext, 70 + t);
        if (!fgTestUnitReadyComplete(*this, sense)) {
            const scsi::SenseTriple s = scsi::SenseTriple::Of(sense);
            WriteSum("fgTestUnitReadyComplete failed. %2X/%2X/%2X\n", s.key, s.asc, s.ascq);
        }
        // Anything but "operation in progress" ends the wait, failures too:
        // INQUIRY will tell whether the drive came back. A unit attention is
        // no answer to the question: the poll was not carried out, and the
        // drive may still be programming, so it asks again.
        if (!OperationInProgress(m_lastResult) && !UnitAttention(m_lastResult)) {
            WriteSum("fgTestUnitReadyComplete OK!!\n");
            break;
        }
        if (++t >= kReadyPolls) {
            const scsi::SenseTriple s = scsi::SenseTriple::Of(sense);
            WriteSum("fgTestUnitReadyComplete times Out! Drive might be fail! %2X/%2X/%2X/\n",
                     s.key, s.asc, s.ascq);
            // Here "sum.txt" closes before the log line.
            const std::string words = NoteFailure(RunEnd::NeverReady, DriveCommand::ReadyPoll);
            if (m_pSumFile) {
                std::fclose(m_pSumFile);
                m_pSumFile = nullptr;
            }
            ShowMessage("fgTestUnitReadyComplete times Out! Drive might be Fail! %2X/%2X/%2X/\n",
                        s.key, s.asc, s.ascq);
            if (!words.empty())
                Show(words.c_str());
            SleepMs(kPollPauseMs);
            return false;
        }
    }
    SleepMs(kPollPauseMs);
    return true;
}

void CFlashEngine::ReadNewIdentity(const std::uint8_t* sense)
{
    std::uint8_t data[scsi::kInquiryLength] = {};
    m_callbacks.CBSetProgress(m_callbacks.pContext, 90);
    bool answered = false;
    for (int u = 0;;) {
        Emit(RunStep::Inquiry, static_cast<std::uint32_t>(u));
        if (fgInquiryComplete(*this, data)) {
            WriteSum("fgInquiryComplete successed!\n");
            answered = true;
            break;
        }
        // INQUIRY keeps its sense to itself; the triple is the ready poll's.
        const scsi::SenseTriple s = scsi::SenseTriple::Of(sense);
        WriteSum("fgInquiryComplete times Out! Drive might be fail!\n %2X/%2X/%2X/\n", s.key,
                 s.asc, s.ascq);
        if (++u >= kInquiries) {
            ShowMessage("fgInquiryComplete times Out! Drive might be fail! %2X/%2X/%2X/\n", s.key,
                        s.asc, s.ascq);
            // Whatever failed transfers left behind is no identity.
            std::memset(data, 0, sizeof data);
            break;
        }
        SleepMs(kPollPauseMs);
    }
    Emit(RunStep::Identified);
    char driveName[scsi::kModelChars + 1] = {};
    std::memcpy(driveName, data + scsi::kVendorProductAt, scsi::kModelChars);
    char revision[scsi::kRevisionChars + 1] = {};
    std::memcpy(revision, data + scsi::kRevisionAt, scsi::kRevisionChars);
    std::memcpy(m_outcome.after.model, driveName, sizeof driveName);
    std::memcpy(m_outcome.after.revision, revision, sizeof revision);
    // The drive's answer is what tells whether the flash took: its model
    // must be the one the run began with, and its revision another.
    if (!answered)
        Fail(RunEnd::NeverIdentified, DriveCommand::Inquiry);
    else if (!ModelTextsAgree(m_outcome.after.model, m_outcome.before.model))
        m_outcome.end = RunEnd::OtherModel;
    else if (std::strncmp(m_outcome.after.revision, m_outcome.before.revision, scsi::kRevisionChars) == 0)
        m_outcome.end = RunEnd::SameRevision;
    else
        m_outcome.end = RunEnd::Upgraded;

    m_callbacks.CBSetDriveName(m_callbacks.pContext, driveName);
    m_callbacks.CBSetRevision(m_callbacks.pContext, revision);

    // The run's stop request was closed before the last block, so a front
    // end that answers from it finds nothing here; the question stays for
    // those that answer otherwise.
    if (m_callbacks.CBIfTerminated(m_callbacks.pContext)) {
        ReportError(FE_TERMINATED);
        WriteSum("2: CBIfTerminated()\n");
    }
}
