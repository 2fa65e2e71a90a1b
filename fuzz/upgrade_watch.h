// What the drive sees of one upgrade, checked as it happens against SCSI's
// own rules, read here from the standards (SAM, SPC) and not through the
// program's reading of them: blocks in order, each sent again only after it
// failed and never after an answer that will not change, the header only
// once every block was carried out and carrying their sum, nothing after a
// refused header, the save only after an accepted header, nothing but polls
// after it, and a bounded number of commands. An INQUIRY before the first
// download is the front end asking who the drive is.
#pragma once

#include <cstdint>

#include "flash/clock.h"
#include "flash/run_outcome.h"
#include "fuzz/fuzzed_drive.h"
#include "fuzz/run_bounds.h"

class UpgradeWatch : public CommandObserver {
public:
    explicit UpgradeWatch(std::uint32_t blocks) : blocks_(blocks) {}

    // ASPI gives no count of the sense bytes a drive wrote: the program sees
    // its whole sense area, the bytes the drive did not write as cleared.
    // The watch then judges the answers as they reach the program.
    void SeeSenseThroughAspi() { throughAspi_ = true; }

    void Saw(const std::uint8_t* cdb, const std::uint8_t* data, std::uint32_t length,
             const DriveAnswer& answer) override;
    // The run's verdict against what the drive answered.
    void CheckVerdict(bool succeeded) const;
    // What the run says happened against what the drive saw.
    void CheckOutcome(const RunOutcome& outcome) const;
    // A front end that says the drive keeps its old firmware: true only when
    // no save was sent, or the drive's last answer to it declined it.
    void CheckOldFirmwareClaim() const;
    // A front end that says the drive is upgraded: never while the last
    // ready poll said the drive is still programming.
    void CheckUpgradeClaim() const;
    int Commands() const { return commands_; }
    int Downloads() const { return downloads_; }
    int SaveSends() const { return saveSends_; }
    bool SaveAccepted() const { return saveAccepted_; }

private:
    void Block(std::uint32_t offset, const std::uint8_t* data, const DriveAnswer& answer);
    void Header(const std::uint8_t* data, const DriveAnswer& answer);
    void Save(const DriveAnswer& answer);

    std::uint32_t blocks_;
    std::uint32_t accepted_ = 0; // blocks the drive holds; the next one expected
    int sendsOfNext_ = 0;
    bool blockFinal_ = false;    // a block got an answer that sending again cannot change
    std::uint16_t sumHeld_ = 0;  // of the bytes of the blocks the drive holds
    int headerSends_ = 0;
    bool throughAspi_ = false;
    bool headerAccepted_ = false;
    bool headerRefused_ = false; // the header got an answer other than a unit attention
    int saveSends_ = 0;
    bool saveAccepted_ = false;
    bool saveDeclined_ = false;  // the last answer to the save says it was not started
    bool lastPollBusy_ = false;  // the last ready poll said "operation in progress"
    int readyPolls_ = 0;
    int inquiries_ = 0;
    int commands_ = 0;
    int downloads_ = 0;
};

// One upgrade watched: the watch on the drive and a counting clock in place of
// the real one, for as long as this lives.
class WatchedRun {
public:
    explicit WatchedRun(FuzzedDrive& drive, bool throughAspi = false)
        : drive_(drive), previousClock_(SetClock(&clock))
    {
        if (throughAspi)
            watch.SeeSenseThroughAspi();
        drive_.Watch(&watch);
    }
    ~WatchedRun()
    {
        SetClock(previousClock_);
        drive_.Watch(nullptr);
    }
    WatchedRun(const WatchedRun&) = delete;
    WatchedRun& operator=(const WatchedRun&) = delete;

    // The waits within what the run may take.
    void CheckWaits() const;

    UpgradeWatch watch{kImageBlocks};
    FakeClock clock;

private:
    FuzzedDrive& drive_;
    Clock* previousClock_;
};
