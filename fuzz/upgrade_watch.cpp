#include "fuzz/upgrade_watch.h"

#include "device/scsi_defs.h"
#include "fuzz/require.h"

namespace {

constexpr int kBlockSends = 6;
constexpr int kAttentionSends = 3;
constexpr int kReadyPolls = 26;
constexpr int kInquiries = 11;

std::uint16_t SumOfBlock(const std::uint8_t* data)
{
    std::uint16_t sum = 0;
    for (std::uint32_t i = 0; i < scsi::kBlockSize; ++i)
        sum = static_cast<std::uint16_t>(sum + data[i]);
    return sum;
}

} // namespace

void UpgradeWatch::Saw(const std::uint8_t* cdb, const std::uint8_t* data, std::uint32_t length,
                       bool accepted)
{
    ++commands_;
    Require(commands_ <= static_cast<int>(blocks_) * kBlockSends + 2 * kAttentionSends + kReadyPolls + kInquiries,
            "more commands than a run may send");
    switch (cdb[0]) {
    case scsi::kOpWriteBuffer: {
        ++downloads_;
        Require(!saveAccepted_, "a download after the save was accepted");
        const std::uint32_t offset = cdb[3] << 16 | cdb[4] << 8 | cdb[5];
        const std::uint32_t count = cdb[6] << 16 | cdb[7] << 8 | cdb[8];
        Require(count == length, "a download whose length is not its data's");
        if (cdb[1] == scsi::kModeDownloadWithOffsets && count == scsi::kBlockSize)
            Block(offset, data, accepted);
        else if (cdb[1] == scsi::kModeDownloadWithOffsets && count == scsi::kHeaderSize && offset == 0)
            Header(data, accepted);
        else if (cdb[1] == scsi::kModeDownloadAndSave && count == 0 && offset == 0)
            Save(accepted);
        else
            Require(false, "a download the program never sends");
        break;
    }
    case scsi::kOpTestUnitReady:
        Require(saveAccepted_, "a ready poll before the save was accepted");
        Require(++readyPolls_ <= kReadyPolls, "more ready polls than the wait allows");
        break;
    case scsi::kOpInquiry:
        if (downloads_ == 0) {
            Require(commands_ <= 1, "more than one question for the drive's identity");
            break;
        }
        Require(saveAccepted_, "INQUIRY before the save was accepted");
        Require(++inquiries_ <= kInquiries, "more INQUIRY commands than the wait allows");
        break;
    default:
        Require(false, "a command the program never sends");
    }
}

void UpgradeWatch::Block(std::uint32_t offset, const std::uint8_t* data, bool accepted)
{
    Require(headerSends_ == 0, "a block after the header");
    Require(offset == scsi::kImageBufferOffset + accepted_ * scsi::kBlockSize,
            "a block out of order: skipped, or sent again after it was accepted");
    Require(accepted_ < blocks_, "more blocks than the image holds");
    Require(++sendsOfNext_ <= kBlockSends, "a block sent more often than allowed");
    if (!accepted)
        return;
    sumHeld_ = static_cast<std::uint16_t>(sumHeld_ + SumOfBlock(data));
    ++accepted_;
    sendsOfNext_ = 0;
}

void UpgradeWatch::Header(const std::uint8_t* data, bool accepted)
{
    Require(accepted_ == blocks_, "the header before every block was accepted");
    Require(!headerAccepted_, "the header sent again after it was accepted");
    Require(++headerSends_ <= kAttentionSends, "the header sent more often than allowed");
    Require((data[scsi::kHeaderSumAt] << 8 | data[scsi::kHeaderSumAt + 1]) == sumHeld_,
            "a header sum other than the sum of the blocks the drive holds");
    headerAccepted_ = accepted;
}

void UpgradeWatch::Save(bool accepted)
{
    Require(headerAccepted_, "a save without an accepted header");
    Require(++saveSends_ <= kAttentionSends, "the save sent more often than allowed");
    saveAccepted_ = accepted;
}

void UpgradeWatch::CheckVerdict(bool succeeded) const
{
    if (succeeded)
        Require(saveAccepted_ && inquiries_ >= 1, "success reported without an accepted save");
    else
        Require(!saveAccepted_ || readyPolls_ == kReadyPolls,
                "failure reported although the drive took the save and came back");
}

void UpgradeWatch::CheckOutcome(const RunOutcome& outcome) const
{
    CheckVerdict(outcome.Succeeded());
    const bool saveTaken = outcome.end == RunEnd::Upgraded || outcome.end == RunEnd::NeverReady ||
                           outcome.end == RunEnd::NeverIdentified;
    Require(!saveTaken || saveAccepted_, "an outcome after the save without an accepted save");
    Require(outcome.end != RunEnd::Refused || downloads_ == 0, "refused, yet something was written");
    Require(outcome.end != RunEnd::Stopped || saveSends_ == 0, "stopped, yet a save was sent");
    Require(outcome.end != RunEnd::NotSaved || outcome.failed == DriveCommand::Save || saveSends_ == 0,
            "failed before the save, yet a save was sent");
    Require(downloads_ == 0 || outcome.sentAnything, "the drive got a download the outcome does not know of");
    Require(outcome.failed == DriveCommand::None || !outcome.result.Good(),
            "a failed command whose result was good");
}

void WatchedRun::CheckWaits() const
{
    Require(clock.waited <= kMostWaitMs, "waited longer than a run may");
}
