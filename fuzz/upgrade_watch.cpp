#include "fuzz/upgrade_watch.h"

#include <algorithm>
#include <iterator>

#include "device/scsi_defs.h"
#include "fuzz/require.h"

namespace {

constexpr int kBlockSends = 6;
constexpr int kAttentionSends = 3;
constexpr int kReadyPolls = 26;
constexpr int kInquiries = 11;

// The drive's sense as SPC lays it out: fixed format (70h current, 71h
// deferred) keeps the key in the low nibble of byte 2 and the codes in bytes
// 12 and 13, as far as its additional length (byte 7) reaches; descriptor
// format (72h, 73h) keeps them in bytes 1 to 3. Anything else says nothing.
struct Said {
    bool valid = false;
    bool current = false;
    std::uint8_t key = 0, asc = 0, ascq = 0;
    bool codes = false; // the sense reaches its ASC and ASCQ
};

Said SenseOf(const DriveAnswer& answer)
{
    Said said;
    if (answer.kind != DriveAnswer::Kind::CheckCondition || answer.senseLength == 0)
        return said;
    const std::uint8_t* s = answer.sense;
    std::uint32_t n = answer.senseLength;
    switch (s[0] & 0x7F) {
    case 0x70:
    case 0x71:
        if (n < 3)
            return said;
        if (n >= 8 && n > 8u + s[7])
            n = 8u + s[7];
        said = {true, (s[0] & 0x7F) == 0x70, static_cast<std::uint8_t>(s[2] & 0x0F), n > 12 ? s[12] : std::uint8_t{0},
                n > 13 ? s[13] : std::uint8_t{0}, n > 13};
        return said;
    case 0x72:
    case 0x73:
        if (n < 2)
            return said;
        said = {true, (s[0] & 0x7F) == 0x72, static_cast<std::uint8_t>(s[1] & 0x0F), n > 2 ? s[2] : std::uint8_t{0},
                n > 3 ? s[3] : std::uint8_t{0}, n > 3};
        return said;
    default:
        return said;
    }
}

// Carried out: GOOD, or current sense of NO SENSE or RECOVERED ERROR that
// reaches its ASC and ASCQ.
bool CarriedOut(const DriveAnswer& answer)
{
    if (answer.kind == DriveAnswer::Kind::Good)
        return true;
    const Said said = SenseOf(answer);
    return said.valid && said.current && said.key <= 0x01 && said.codes;
}

// Not started: sense that says the command was turned away (NOT READY,
// ILLEGAL REQUEST, UNIT ATTENTION, DATA PROTECT, or an earlier command's
// deferred error), or BUSY, RESERVATION CONFLICT, TASK SET FULL, ACA ACTIVE.
bool Declined(const DriveAnswer& answer)
{
    if (answer.kind == DriveAnswer::Kind::OtherStatus)
        return answer.status == 0x08 || answer.status == 0x18 || answer.status == 0x28 || answer.status == 0x30;
    const Said said = SenseOf(answer);
    return said.valid && (!said.current || said.key == 0x02 || said.key == 0x05 || said.key == 0x06 ||
                          said.key == 0x07);
}

bool UnitAttention(const DriveAnswer& answer)
{
    const Said said = SenseOf(answer);
    return said.valid && said.current && said.key == 0x06;
}

// An answer that the same command sent again would get again: the drive
// refuses the command or its data, or will not be written.
bool Final(const DriveAnswer& answer)
{
    const Said said = SenseOf(answer);
    return said.valid && said.current && (said.key == 0x05 || said.key == 0x07);
}

// "Operation in progress", whatever the format and the flag bits.
bool Programming(const DriveAnswer& answer)
{
    const Said said = SenseOf(answer);
    return said.valid && said.key == 0x02 && said.asc == 0x04 && said.ascq == 0x07;
}

std::uint16_t SumOfBlock(const std::uint8_t* data)
{
    std::uint16_t sum = 0;
    for (std::uint32_t i = 0; i < scsi::kBlockSize; ++i)
        sum = static_cast<std::uint16_t>(sum + data[i]);
    return sum;
}

} // namespace

void UpgradeWatch::Saw(const std::uint8_t* cdb, const std::uint8_t* data, std::uint32_t length,
                       const DriveAnswer& drives)
{
    DriveAnswer answer = drives;
    if (throughAspi_ && answer.kind == DriveAnswer::Kind::CheckCondition) {
        const std::uint32_t written = std::min<std::uint32_t>(answer.senseLength, scsi::kAspiSenseLength);
        std::fill(answer.sense + written, std::end(answer.sense), std::uint8_t{0});
        answer.senseLength = scsi::kAspiSenseArea;
    }
    ++commands_;
    Require(commands_ <= static_cast<int>(blocks_) * kBlockSends + 2 * kAttentionSends + kReadyPolls + kInquiries,
            "more commands than a run may send");
    Require(!headerRefused_, "a command after the drive refused the header");
    Require(!blockFinal_, "a command after a block the drive refuses for good");
    switch (cdb[0]) {
    case scsi::kOpWriteBuffer: {
        ++downloads_;
        Require(!saveAccepted_, "a download after the save was accepted");
        const std::uint32_t offset = cdb[3] << 16 | cdb[4] << 8 | cdb[5];
        const std::uint32_t count = cdb[6] << 16 | cdb[7] << 8 | cdb[8];
        Require(count == length, "a download whose length is not its data's");
        if (cdb[1] == scsi::kModeDownloadWithOffsets && count == scsi::kBlockSize)
            Block(offset, data, answer);
        else if (cdb[1] == scsi::kModeDownloadWithOffsets && count == scsi::kHeaderSize && offset == 0)
            Header(data, answer);
        else if (cdb[1] == scsi::kModeDownloadAndSave && count == 0 && offset == 0)
            Save(answer);
        else
            Require(false, "a download the program never sends");
        break;
    }
    case scsi::kOpTestUnitReady:
        Require(saveAccepted_, "a ready poll before the save was accepted");
        Require(++readyPolls_ <= kReadyPolls, "more ready polls than the wait allows");
        lastPollBusy_ = Programming(answer);
        break;
    case scsi::kOpInquiry:
        if (downloads_ == 0) {
            Require(commands_ <= 1, "more than one question for the drive's identity");
            break;
        }
        Require(saveAccepted_, "INQUIRY before the save was accepted");
        Require(!lastPollBusy_, "INQUIRY while the drive said it was still programming");
        Require(++inquiries_ <= kInquiries, "more INQUIRY commands than the wait allows");
        break;
    default:
        Require(false, "a command the program never sends");
    }
}

void UpgradeWatch::Block(std::uint32_t offset, const std::uint8_t* data, const DriveAnswer& answer)
{
    Require(headerSends_ == 0, "a block after the header");
    Require(offset == scsi::kImageBufferOffset + accepted_ * scsi::kBlockSize,
            "a block out of order: skipped, or sent again after it was accepted");
    Require(accepted_ < blocks_, "more blocks than the image holds");
    Require(++sendsOfNext_ <= kBlockSends, "a block sent more often than allowed");
    if (!CarriedOut(answer)) {
        blockFinal_ = Final(answer);
        return;
    }
    sumHeld_ = static_cast<std::uint16_t>(sumHeld_ + SumOfBlock(data));
    ++accepted_;
    sendsOfNext_ = 0;
}

void UpgradeWatch::Header(const std::uint8_t* data, const DriveAnswer& answer)
{
    Require(accepted_ == blocks_, "the header before every block was accepted");
    Require(!headerAccepted_, "the header sent again after it was accepted");
    Require(++headerSends_ <= kAttentionSends, "the header sent more often than allowed");
    Require((data[scsi::kHeaderSumAt] << 8 | data[scsi::kHeaderSumAt + 1]) == sumHeld_,
            "a header sum other than the sum of the blocks the drive holds");
    headerAccepted_ = CarriedOut(answer);
    headerRefused_ = !headerAccepted_ && (!UnitAttention(answer) || headerSends_ == kAttentionSends);
}

void UpgradeWatch::Save(const DriveAnswer& answer)
{
    Require(headerAccepted_, "a save without an accepted header");
    Require(++saveSends_ <= kAttentionSends, "the save sent more often than allowed");
    saveAccepted_ = CarriedOut(answer);
    saveDeclined_ = Declined(answer);
}

void UpgradeWatch::CheckVerdict(bool succeeded) const
{
    if (succeeded)
        Require(saveAccepted_ && inquiries_ >= 1, "success reported without an accepted save");
    else
        Require(!saveAccepted_ || readyPolls_ == kReadyPolls,
                "failure reported although the drive took the save and came back");
}

void UpgradeWatch::CheckOldFirmwareClaim() const
{
    Require(!saveAccepted_, "old firmware reported after the drive carried out the save");
    Require(saveSends_ == 0 || saveDeclined_, "old firmware reported although the drive may have started the save");
}

void UpgradeWatch::CheckUpgradeClaim() const
{
    Require(!lastPollBusy_, "upgraded, although the last ready poll said the drive was still programming");
    Require(saveAccepted_ && inquiries_ >= 1, "upgraded without an accepted save and an answered INQUIRY");
}

void UpgradeWatch::CheckOutcome(const RunOutcome& outcome) const
{
    CheckVerdict(outcome.Succeeded());
    const bool saveTaken = outcome.end == RunEnd::Upgraded || outcome.end == RunEnd::SameRevision ||
                           outcome.end == RunEnd::OtherModel || outcome.end == RunEnd::NeverReady ||
                           outcome.end == RunEnd::NeverIdentified;
    Require(!saveTaken || saveAccepted_, "an outcome after the save without an accepted save");
    Require(outcome.end != RunEnd::Refused || downloads_ == 0, "refused, yet something was written");
    Require(outcome.end != RunEnd::Stopped || saveSends_ == 0, "stopped, yet a save was sent");
    if (outcome.end == RunEnd::Refused || outcome.end == RunEnd::Stopped || outcome.end == RunEnd::NotSaved)
        CheckOldFirmwareClaim();
    if (outcome.end == RunEnd::Upgraded || outcome.end == RunEnd::SameRevision)
        CheckUpgradeClaim();
    Require(downloads_ == 0 || outcome.sentAnything, "the drive got a download the outcome does not know of");
    Require(outcome.failed == DriveCommand::None || !outcome.result.Good(),
            "a failed command whose result was good");
}

void WatchedRun::CheckWaits() const
{
    Require(clock.waited <= kMostWaitMs, "waited longer than a run may");
}
