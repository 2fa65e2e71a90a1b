#include "emu/virtual_drive.h"

#include <algorithm>
#include <cstring>

namespace {

using scsi::kInquiryLength;
using scsi::kOpInquiry;
using scsi::kOpTestUnitReady;
using scsi::kOpWriteBuffer;
constexpr std::uint8_t kModeDownload = scsi::kModeDownloadWithOffsets;
constexpr std::uint8_t kModeSave = scsi::kModeDownloadAndSave;

constexpr SenseTriple kInvalidOpcode{0x05, 0x20, 0x00};
constexpr SenseTriple kInvalidField{0x05, 0x24, 0x00};
constexpr SenseTriple kSumMismatch{0x05, 0x26, 0x00};
constexpr SenseTriple kInProgress = scsi::kOperationInProgress;
constexpr SenseTriple kAfterDownload{0x06, 0x29, 0x02}; // bus reset
constexpr SenseTriple kAfterSave{0x06, 0x3F, 0x16};     // microcode changed without reset

// Fixed-size text field of INQUIRY data: cut or padded with blanks.
void PutField(std::uint8_t* out, const std::string& text, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        out[i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : ' ';
}

// Consumes one firing of a counted fault; kForever never runs out.
bool Fire(int& times)
{
    if (times == 0)
        return false;
    if (times > 0)
        --times;
    return true;
}

std::uint32_t Be24(const std::uint8_t* p) { return (p[0] << 16) | (p[1] << 8) | p[2]; }

} // namespace

DriveIdentity HardDiskIdentity() { return {0x00, "ATA     ", "VIRTUAL DISK    ", "1.0 "}; }

VirtualDrive::VirtualDrive(DriveIdentity identity)
    : identity_(std::move(identity)), buffer_(kBufferSize, 0xFF)
{
}

TargetAnswer VirtualDrive::Execute(const std::uint8_t* cdb, std::uint8_t cdbLength, bool dataOut,
                                   std::uint8_t* data, std::uint32_t length, std::uint8_t* sense,
                                   std::uint32_t senseLength)
{
    ReceivedCommand received;
    const std::size_t kept = std::min<std::size_t>(cdbLength, received.cdb.size());
    if (cdb)
        std::copy_n(cdb, kept, received.cdb.begin());
    received.cdbLength = cdbLength;
    received.dataOut = dataOut;
    received.length = length;

    const std::size_t index = commands_.size();
    auto& failing = faults_.transportFailures;
    if (std::find(failing.begin(), failing.end(), index) != failing.end()) {
        received.answer = TargetAnswer::TransportFailure;
        commands_.push_back(received);
        return TargetAnswer::TransportFailure;
    }

    SenseTriple triple;
    TargetAnswer answer = TargetAnswer::CheckCondition;
    if (!cdb || cdbLength == 0) {
        triple = kInvalidOpcode;
    } else if (attentionPending_ && cdb[0] != kOpInquiry) {
        // Reported once, in place of the command; INQUIRY neither reports
        // nor clears it.
        attentionPending_ = false;
        triple = attention_;
    } else if (cdb[0] == kOpInquiry) {
        answer = Inquiry(cdb, dataOut, data, length, triple);
    } else if (cdb[0] == kOpTestUnitReady) {
        answer = TestUnitReady(triple);
    } else if (cdb[0] == kOpWriteBuffer && cdbLength >= 10) {
        answer = WriteBuffer(cdb, dataOut, data, length, triple);
    } else {
        triple = kInvalidOpcode;
    }

    received.answer = answer;
    received.good = answer == TargetAnswer::Good;
    if (answer == TargetAnswer::CheckCondition) {
        received.sense = triple;
        std::uint8_t built[kSenseLength] = {};
        const std::uint8_t flags = faults_.senseFlags & scsi::kSenseFlagBits;
        if (faults_.senseFormat == SenseFormat::Descriptor) {
            built[0] = 0x72; // current error, descriptor format
            built[1] = triple.key & scsi::kSenseKeyMask;
            built[2] = triple.asc;
            built[3] = triple.ascq;
            if (flags) {
                // The flags travel in a stream commands descriptor.
                built[7] = 4;
                built[8] = 0x04;
                built[9] = 2;
                built[11] = flags;
            }
        } else {
            built[0] = 0x70; // current error, fixed format
            built[2] = static_cast<std::uint8_t>(triple.key | flags);
            built[7] = kSenseLength - 8;
            built[12] = triple.asc;
            built[13] = triple.ascq;
        }
        if (faults_.senseBytes != 0 && faults_.senseBytes < kSenseLength)
            std::memset(built + faults_.senseBytes, 0, kSenseLength - faults_.senseBytes);
        if (sense)
            std::memcpy(sense, built, std::min<std::size_t>(senseLength, kSenseLength));
    }
    commands_.push_back(received);
    return answer;
}

TargetAnswer VirtualDrive::Inquiry(const std::uint8_t* cdb, bool dataOut, std::uint8_t* data,
                                   std::uint32_t length, SenseTriple& sense)
{
    const bool afterSave = saves_ > 0;
    if ((afterSave || !faults_.inquiryFailuresAfterSaveOnly) && Fire(faults_.inquiryFailures)) {
        sense = faults_.inquirySense;
        return TargetAnswer::CheckCondition;
    }
    // Vital product data pages are not offered, and without EVPD the page
    // code must be zero.
    if ((cdb[1] & 0x01) || cdb[2] != 0) {
        sense = kInvalidField;
        return TargetAnswer::CheckCondition;
    }
    const auto reply = InquiryData();
    const std::uint32_t count = std::min<std::uint32_t>({cdb[4], length, kInquiryLength});
    // The drive sends its data whatever the host set up; an adapter that was
    // told to send fails the request instead of taking it.
    if (count && dataOut)
        return TargetAnswer::TransportFailure;
    if (data && count)
        std::memcpy(data, reply.data(), count);
    return TargetAnswer::Good;
}

std::array<std::uint8_t, 36> VirtualDrive::InquiryData() const
{
    std::array<std::uint8_t, kInquiryLength> reply{};
    reply[0] = identity_.deviceType;
    reply[1] = 0x80; // removable medium
    reply[2] = 0x00;
    reply[3] = 0x32; // ATAPI, response format 2
    reply[4] = kInquiryLength - 5;
    PutField(reply.data() + 8, identity_.vendor, 8);
    PutField(reply.data() + 16, identity_.product, 16);
    PutField(reply.data() + scsi::kRevisionAt, identity_.revision, scsi::kRevisionChars);
    return reply;
}

TargetAnswer VirtualDrive::TestUnitReady(SenseTriple& sense)
{
    if (programming_) {
        sense = kInProgress;
        if (busyLeft_ > 0 && --busyLeft_ == 0)
            FinishProgramming();
        return TargetAnswer::CheckCondition;
    }
    if (saves_ > 0 && Fire(faults_.senseAfterSaveTimes)) {
        sense = faults_.senseAfterSave;
        return TargetAnswer::CheckCondition;
    }
    return TargetAnswer::Good;
}

TargetAnswer VirtualDrive::WriteBuffer(const std::uint8_t* cdb, bool dataOut,
                                       const std::uint8_t* data, std::uint32_t length,
                                       SenseTriple& sense)
{
    if (programming_) {
        sense = kInProgress;
        return TargetAnswer::CheckCondition;
    }
    const std::uint8_t mode = cdb[1] & 0x1F;
    // One download buffer, number 0.
    if ((mode != kModeDownload && mode != kModeSave) || cdb[2] != 0) {
        sense = kInvalidField;
        return TargetAnswer::CheckCondition;
    }
    const std::uint32_t offset = Be24(cdb + 3);
    const std::uint32_t count = Be24(cdb + 6);
    if (offset > kBufferSize || count > kBufferSize - offset) {
        sense = kInvalidField;
        return TargetAnswer::CheckCondition;
    }
    // The drive asks for `count` bytes; a host that set up no data to send,
    // or less, leaves the adapter to fail the request.
    if (count > 0 && (!dataOut || !data || length < count))
        return TargetAnswer::TransportFailure;
    if (mode == kModeDownload) {
        for (WriteFault& fault : faults_.writes) {
            if (fault.offset == offset && Fire(fault.times)) {
                sense = fault.sense;
                return TargetAnswer::CheckCondition;
            }
        }
    }
    if (count > 0) {
        std::memcpy(buffer_.data() + offset, data, count);
        if (offset + count > kHeaderSize)
            end_ = std::max(end_, offset + count);
    }
    // Mode 07h takes its own parameter list, if any, and then saves.
    const TargetAnswer answer = mode == kModeSave ? Save(sense) : TargetAnswer::Good;
    if (answer == TargetAnswer::Good && faults_.unitAttentions) {
        attentionPending_ = true;
        attention_ = mode == kModeSave ? kAfterSave : kAfterDownload;
    }
    return answer;
}

TargetAnswer VirtualDrive::Save(SenseTriple& sense)
{
    if (Fire(faults_.saveRefusals)) {
        sense = faults_.saveSense;
        return TargetAnswer::CheckCondition;
    }
    const std::uint16_t expected = static_cast<std::uint16_t>(buffer_[scsi::kHeaderSumAt] << 8 | buffer_[scsi::kHeaderSumAt + 1]);
    if (expected != ImageSum()) {
        sense = kSumMismatch;
        return TargetAnswer::CheckCondition;
    }

    pendingRevision_ = identity_.revision;
    const std::string model = ModelText();
    const auto image = buffer_.begin() + kHeaderSize;
    const auto imageEnd = buffer_.begin() + end_;
    const auto found = std::search(image, imageEnd, model.begin(), model.end());
    if (found != imageEnd && imageEnd - (found + model.size()) >= 4) {
        const auto revision = found + model.size();
        pendingRevision_.assign(revision, revision + 4);
    }

    ++saves_;
    std::fill(buffer_.begin(), buffer_.end(), 0xFF);
    end_ = kHeaderSize;
    programming_ = true;
    busyLeft_ = faults_.busyPolls;
    if (busyLeft_ == 0)
        FinishProgramming();
    if (Fire(faults_.noisySaves)) {
        sense = faults_.noisySaveSense;
        return TargetAnswer::CheckCondition;
    }
    return TargetAnswer::Good;
}

void VirtualDrive::FinishProgramming()
{
    programming_ = false;
    identity_.revision = pendingRevision_;
    if (!faults_.productAfterSave.empty())
        identity_.product = faults_.productAfterSave;
}

const DriveIdentity& VirtualDrive::Identity() const { return identity_; }

void VirtualDrive::SetIdentity(const DriveIdentity& identity) { identity_ = identity; }

std::string VirtualDrive::ModelText() const
{
    std::uint8_t text[scsi::kModelChars];
    PutField(text, identity_.vendor, 8);
    PutField(text + 8, identity_.product, 16);
    return std::string(reinterpret_cast<const char*>(text), sizeof text);
}

const std::vector<ReceivedCommand>& VirtualDrive::Commands() const { return commands_; }

void VirtualDrive::ClearCommands() { commands_.clear(); }

const std::vector<std::uint8_t>& VirtualDrive::DownloadBuffer() const { return buffer_; }

std::uint32_t VirtualDrive::ImageEnd() const { return end_; }

std::uint16_t VirtualDrive::ImageSum() const
{
    std::uint16_t sum = 0;
    for (std::uint32_t i = kHeaderSize; i < end_; ++i)
        sum = static_cast<std::uint16_t>(sum + buffer_[i]);
    return sum;
}

int VirtualDrive::SavesAccepted() const { return saves_; }

bool VirtualDrive::Programming() const { return programming_; }

DriveFaults& VirtualDrive::Faults() { return faults_; }

void VirtualDrive::SetBusyPolls(int polls) { faults_.busyPolls = polls; }

void VirtualDrive::FailWriteAt(std::uint32_t offset, int times, SenseTriple sense)
{
    faults_.writes.push_back({offset, times, sense});
}

void VirtualDrive::FailBlock(std::uint32_t index, int times, SenseTriple sense)
{
    FailWriteAt(BlockOffset(index), times, sense);
}

void VirtualDrive::RefuseHeader(int times, SenseTriple sense) { FailWriteAt(0, times, sense); }

void VirtualDrive::RaiseUnitAttentions(bool on) { faults_.unitAttentions = on; }

void VirtualDrive::AnswerSavesWith(SenseTriple sense, int times)
{
    faults_.noisySaves = times;
    faults_.noisySaveSense = sense;
}

void VirtualDrive::RefuseSave(int times, SenseTriple sense)
{
    faults_.saveRefusals = times;
    faults_.saveSense = sense;
}

void VirtualDrive::SetSenseAfterSave(SenseTriple sense, int times)
{
    faults_.senseAfterSave = sense;
    faults_.senseAfterSaveTimes = times;
}

void VirtualDrive::WithholdInquiry(int attempts, bool afterSaveOnly, SenseTriple sense)
{
    faults_.inquiryFailures = attempts;
    faults_.inquiryFailuresAfterSaveOnly = afterSaveOnly;
    faults_.inquirySense = sense;
}

void VirtualDrive::FailTransportAt(std::size_t index, int count)
{
    for (int i = 0; i < count; ++i)
        faults_.transportFailures.push_back(index + static_cast<std::size_t>(i));
}
