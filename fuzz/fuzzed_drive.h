// A drive whose every answer comes from the fuzzer's input: the status, the
// sense bytes, how much data it sends back and what, and whether the request
// reached it at all. Each transport stand-in turns an answer into its own
// form; a command counts as accepted exactly when the answer is Good.
#pragma once

#include <cstdint>

#include "fuzz/answer_stream.h"

struct DriveAnswer {
    enum class Kind : std::uint8_t { Good, CheckCondition, OtherStatus, TransportFailure, SystemFailure };
    Kind kind = Kind::Good;
    std::uint8_t status = 0;      // CheckCondition and OtherStatus: the SCSI status
    std::uint8_t sense[32] = {};  // CheckCondition: what the drive reports
    std::uint8_t senseLength = 0;
    std::uint8_t code = 0;        // failures: picks the transport's error code
};

// Sees every command the drive answered, in order, with the answer.
class CommandObserver {
public:
    virtual ~CommandObserver() = default;
    virtual void Saw(const std::uint8_t* cdb, const std::uint8_t* data, std::uint32_t length,
                     const DriveAnswer& answer) = 0;
};

class FuzzedDrive {
public:
    explicit FuzzedDrive(Answers* answers) : answers_(answers) {}
    void SetAnswers(Answers* answers) { answers_ = answers; }
    void Watch(CommandObserver* observer) { observer_ = observer; }

    // Answers one command. Data-in goes to `data`, never more than `length`
    // bytes; data-out is read from it.
    DriveAnswer Answer(const std::uint8_t* cdb, bool dataIn, std::uint8_t* data,
                       std::uint32_t length);

    // The standard INQUIRY data of the drive the image is made for.
    static const std::uint8_t kIdentity[36];

private:
    Answers* answers_;
    CommandObserver* observer_ = nullptr;
};
