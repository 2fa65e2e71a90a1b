// A CD-ROM class drive as a SCSI target: what the drive itself would answer,
// independent of how a command reaches it. Used by the demo program and tests.
//
// Commands it understands (anything else: CHECK CONDITION 05/20/00):
//   INQUIRY (12h)            36 bytes of standard data, cut to the allocation
//                            length and to the transfer length; a page code
//                            or EVPD gives 05/24/00
//   TEST UNIT READY (00h)    GOOD, or NOT READY 02/04/07 while programming
//   WRITE BUFFER (3Bh) 06h   stores the parameter list at the buffer offset
//                            (header at 0, image byte A at 0x20 + A)
//   WRITE BUFFER (3Bh) 07h   stores its parameter list, if any, like 06h,
//                            then saves: checks the header sum and programs
// WRITE BUFFER knows buffer ID 0 only (05/24/00 for another).
//
// Data moves the way the command moves it: when the host set up the other
// direction (data out for INQUIRY; no data, or too little, to send for a
// WRITE BUFFER with a parameter list) the adapter fails the request, which
// the drive answers as TransportFailure.
//
// Download buffer and save: header bytes 30-31 (most significant first) must
// equal the 16-bit sum of the buffer from 0x20 up to the highest byte written
// since the last save; otherwise the save is refused with 05/26/00 and the old
// firmware stays. An accepted save starts programming: the next `busyPolls`
// TEST UNIT READY commands answer NOT READY 02/04/07, then the new identity
// takes effect. The new revision is the 4 bytes that follow the first copy of
// the drive's 24-character model text (vendor + product) in the received
// image; the model itself does not change. If the image does not carry the
// model text, the revision stays as it was. The buffer is emptied (0xFF) by an
// accepted save.
//
// Sense goes out in fixed format (70h) unless the faults ask for descriptor
// format (72h); the faults may also set FILEMARK, EOM or ILI beside every key.
//
// Unit attentions (a fault setting, as scsi_debug and other conforming
// targets behave): after each WRITE BUFFER it carried out, the drive answers
// the next command other than INQUIRY with CHECK CONDITION, UNIT ATTENTION
// 06/29/02 (after a download) or 06/3F/16 (microcode changed, after a save),
// and does not carry that command out.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "device/scsi_defs.h"

using SenseTriple = scsi::SenseTriple;

struct DriveIdentity {
    std::uint8_t deviceType = 5;   // INQUIRY byte 0, qualifier included
    std::string vendor = "KAVORA  ";  // 8 bytes; zero bytes allowed
    std::string product = "CD-ROM VIRTUAL  "; // 16 bytes
    std::string revision = "1.00";   // 4 bytes
};

// How a hard disk answers INQUIRY (device type 0).
DriveIdentity HardDiskIdentity();

// What a transport does with one command.
enum class TargetAnswer : std::uint8_t {
    Good = 0x00,           // SCSI status GOOD
    CheckCondition = 0x02, // SCSI status CHECK CONDITION, sense filled
    TransportFailure = 0xFF, // the request never reached the drive: the OS fails it
};

// One command as the drive received it.
struct ReceivedCommand {
    std::array<std::uint8_t, 16> cdb{};
    std::uint8_t cdbLength = 0;
    bool dataOut = false;
    std::uint32_t length = 0;
    bool good = false; // answered GOOD
    TargetAnswer answer = TargetAnswer::Good;
    SenseTriple sense; // the sense reported with CHECK CONDITION
};

// A count of "for ever" wherever a fault or a wait takes a number of times.
constexpr int kForever = -1;

// WRITE BUFFER mode 06h to one buffer offset fails a number of times.
struct WriteFault {
    std::uint32_t offset = 0;
    int times = 1; // kForever: every time
    SenseTriple sense{0x03, 0x0C, 0x00};
};

enum class SenseFormat : std::uint8_t { Fixed, Descriptor };

// How the drive misbehaves, and how long it programs. Counts are consumed as
// the faults fire, so this is live state as well as configuration.
struct DriveFaults {
    SenseFormat senseFormat = SenseFormat::Fixed;
    std::uint8_t senseFlags = 0;           // FILEMARK 80h, EOM 40h, ILI 20h on every sense
    std::size_t senseBytes = 0;            // when set: only this much of every sense is sent, zeros after it
    int noisySaves = 0;                    // saves carried out, answered CHECK CONDITION with:
    SenseTriple noisySaveSense{0x01, 0x00, 0x00}; // ... NO SENSE or RECOVERED ERROR sense
    std::string productAfterSave;          // when set: the product the drive names once programmed
    // Not a fault: TEST UNIT READY polls answered 02/04/07 after a save.
    int busyPolls = 2;
    std::vector<WriteFault> writes;        // header writes are at offset 0
    int saveRefusals = 0;                  // mode 07h refused this many times
    SenseTriple saveSense{0x05, 0x2C, 0x00};
    int senseAfterSaveTimes = 0;           // TEST UNIT READY answers once programmed
    SenseTriple senseAfterSave{0x06, 0x29, 0x00};
    int inquiryFailures = 0;               // INQUIRY answered CHECK CONDITION
    bool inquiryFailuresAfterSaveOnly = true; // count only INQUIRYs after a save
    SenseTriple inquirySense{0x02, 0x04, 0x01};
    std::vector<std::size_t> transportFailures; // command indexes (0-based)
    bool unitAttentions = false;           // a unit attention after each WRITE BUFFER
};

class VirtualDrive {
public:
    static constexpr std::uint32_t kHeaderSize = scsi::kImageBufferOffset; // image bytes follow it
    static constexpr std::uint32_t kImageCapacity = 0x100000;
    static constexpr std::uint32_t kBufferSize = kHeaderSize + kImageCapacity;
    static constexpr std::uint32_t kBlockSize = scsi::kBlockSize;
    static constexpr std::size_t kSenseLength = scsi::kFixedSenseLength;
    // Buffer offset of image block `index` as the upgrade sends it.
    static constexpr std::uint32_t BlockOffset(std::uint32_t index) { return scsi::BlockOffset(index); }

    explicit VirtualDrive(DriveIdentity identity = {});

    // Executes one command block. Data flows into `data` for data-in commands
    // and out of it for data-out ones. On CHECK CONDITION, fixed-format sense
    // data (18 bytes or `senseLength`, whichever is less) goes to `sense`.
    // Nothing is written to `data` unless the answer is GOOD.
    TargetAnswer Execute(const std::uint8_t* cdb, std::uint8_t cdbLength, bool dataOut,
                         std::uint8_t* data, std::uint32_t length, std::uint8_t* sense,
                         std::uint32_t senseLength);

    const DriveIdentity& Identity() const;
    void SetIdentity(const DriveIdentity& identity);
    // Vendor and product as the 24 bytes INQUIRY reports (padded with blanks).
    std::string ModelText() const;
    // The standard INQUIRY data the drive answers with, as a port driver
    // would have cached it, without sending a command.
    std::array<std::uint8_t, 36> InquiryData() const;
    const std::vector<ReceivedCommand>& Commands() const;
    void ClearCommands();

    // --- firmware side ---
    const std::vector<std::uint8_t>& DownloadBuffer() const;
    // One past the highest buffer offset written since the last save;
    // kHeaderSize when no image byte has been received.
    std::uint32_t ImageEnd() const;
    // The 16-bit sum a save compares the header with.
    std::uint16_t ImageSum() const;
    int SavesAccepted() const;
    bool Programming() const;

    // --- fault injection (shortcuts into Faults()) ---
    DriveFaults& Faults();
    void SetBusyPolls(int polls); // kForever: never finishes programming
    void FailWriteAt(std::uint32_t offset, int times, SenseTriple sense = {0x03, 0x0C, 0x00});
    void FailBlock(std::uint32_t index, int times, SenseTriple sense = {0x03, 0x0C, 0x00});
    void RefuseHeader(int times = kForever, SenseTriple sense = {0x05, 0x26, 0x00});
    void RefuseSave(int times = kForever, SenseTriple sense = {0x05, 0x2C, 0x00});
    // Once programming is over, the next `times` TEST UNIT READY commands
    // answer with `sense` (with no busy polls: the first ones after the save).
    void SetSenseAfterSave(SenseTriple sense, int times = 1);
    // The next `attempts` INQUIRY commands (after a save, or from now on when
    // `afterSaveOnly` is false) answer CHECK CONDITION with `sense`.
    void WithholdInquiry(int attempts, bool afterSaveOnly = true,
                         SenseTriple sense = {0x02, 0x04, 0x01});
    // Command `index` (0-based, counting every command handed to Execute) and
    // the `count - 1` after it fail in the transport.
    void FailTransportAt(std::size_t index, int count = 1);
    void RaiseUnitAttentions(bool on = true);
    // The next `times` saves are carried out and answered CHECK CONDITION
    // with `sense`: a drive reporting something it dealt with.
    void AnswerSavesWith(SenseTriple sense, int times = 1);

private:
    TargetAnswer Inquiry(const std::uint8_t* cdb, bool dataOut, std::uint8_t* data,
                         std::uint32_t length, SenseTriple& sense);
    TargetAnswer TestUnitReady(SenseTriple& sense);
    TargetAnswer WriteBuffer(const std::uint8_t* cdb, bool dataOut, const std::uint8_t* data,
                             std::uint32_t length, SenseTriple& sense);
    TargetAnswer Save(SenseTriple& sense);
    void FinishProgramming();

    DriveIdentity identity_;
    DriveFaults faults_;
    std::vector<ReceivedCommand> commands_;
    std::vector<std::uint8_t> buffer_;
    std::uint32_t end_ = kHeaderSize; // one past the highest image byte written
    int saves_ = 0;
    bool attentionPending_ = false;
    SenseTriple attention_;
    bool programming_ = false;
    int busyLeft_ = 0;
    std::string pendingRevision_;
};
