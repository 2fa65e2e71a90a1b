// What engine tests share: a clock that only records the waits asked of it,
// callbacks that record what the dialog would show (the recorder is their
// context, one per test), a scratch working
// directory (runs write "sum.txt" there), and image file writers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "flash/clock.h"
#include "flash/flash_engine.h"
#include "flash/flash_param.h"
#include "flash/hex_lines.h"
#include "flash/image_buffer.h"
#include "tests/support/scratch_folder.h"

namespace engine_test {

inline const char kModel[] = "KAVORA  CD-ROM VIRTUAL  ";
// What the dialog's drive list shows for the first drive.
inline const char kListModel[] = "KAVORA  CD-ROM VIRTUAL  (0)";

// A run that must not reach a drive: every command fails as if the system
// refused it, and is counted.
class NoDrive final : public scsi::Transport {
public:
    scsi::Result Execute(const scsi::Command&) override
    {
        ++commands;
        return {};
    }
    int commands = 0;
};

// Several runs at once (a tower) ask for their waits from their own threads.
class RecordingClock final : public Clock {
public:
    void Sleep(std::uint32_t milliseconds) override
    {
        std::lock_guard<std::mutex> hold(mutex_);
        waits.push_back(milliseconds);
    }
    // Read once the runs are over.
    std::vector<std::uint32_t> waits;

private:
    std::mutex mutex_;
};

struct Recorded {
    std::vector<std::string> messages, statuses, driveNames, revisions;
    std::vector<std::int32_t> progress;
    std::vector<RunEvent> events;
    int terminateCalls = 0;
    int terminateFromCall = 0; // answer "stop" from this call on (1-based); 0: never
    // When set, the stop question is answered from this request, as the
    // front ends answer it.
    const StopRequest* stop = nullptr;
};

inline Recorded& Of(void* context) { return *static_cast<Recorded*>(context); }

inline FlashCallbacks RecordingCallbacks(Recorded& recorded)
{
    FlashCallbacks callbacks{};
    callbacks.CBShowMessage = [](void* c, const char* text) { Of(c).messages.emplace_back(text); };
    callbacks.CBShowStatus = [](void* c, const char* text) { Of(c).statuses.emplace_back(text); };
    callbacks.CBSetRevision = [](void* c, const char* text) { Of(c).revisions.emplace_back(text); };
    callbacks.CBSetDriveName = [](void* c, const char* text) { Of(c).driveNames.emplace_back(text); };
    callbacks.CBSetProgress = [](void* c, std::int32_t position) { Of(c).progress.push_back(position); };
    callbacks.CBIfTerminated = [](void* c) -> std::uint8_t {
        Recorded& r = Of(c);
        ++r.terminateCalls;
        if (r.stop)
            return r.stop->Requested();
        return r.terminateFromCall != 0 && r.terminateCalls >= r.terminateFromCall;
    };
    callbacks.OnRunEvent = [](void* c, const RunEvent& event) { Of(c).events.push_back(event); };
    callbacks.pContext = &recorded;
    return callbacks;
}

using Bytes = std::vector<std::uint8_t>;

// One Intel HEX record with its checksum.
inline std::string HexRecord(std::uint8_t type, std::uint16_t address, const Bytes& data = {})
{
    char text[16];
    std::uint8_t sum = static_cast<std::uint8_t>(data.size() + (address >> 8) + address + type);
    std::snprintf(text, sizeof text, ":%02X%04X%02X", static_cast<unsigned>(data.size()),
                  static_cast<unsigned>(address), static_cast<unsigned>(type));
    std::string record = text;
    for (std::uint8_t b : data) {
        std::snprintf(text, sizeof text, "%02X", static_cast<unsigned>(b));
        record += text;
        sum = static_cast<std::uint8_t>(sum + b);
    }
    std::snprintf(text, sizeof text, "%02X\n", static_cast<unsigned>(static_cast<std::uint8_t>(-sum)));
    return record + text;
}

inline std::string HexEnd() { return ":00000001FF\n"; }
inline std::string HexBankAdvance() { return ":00000055AB\n"; }

// The whole of `image` as HEX: data records that stay inside HEX banks,
// a bank advance between pieces, and the end record.
inline std::string ToHex(const Bytes& image, std::size_t perRecord = 32)
{
    std::string text;
    for (std::size_t at = 0; at < image.size();) {
        if (at != 0 && at % kHexBankSize == 0)
            text += HexBankAdvance();
        std::size_t pieceEnd = (at / kHexBankSize + 1) * kHexBankSize;
        std::size_t end = std::min({at + perRecord, image.size(), pieceEnd});
        text += HexRecord(0x00, static_cast<std::uint16_t>(at & 0xFFFF),
                          Bytes(image.begin() + at, image.begin() + end));
        at = end;
    }
    return text + HexEnd();
}

// `length` bytes of a pattern that never forms the model text, with the model
// and `revision` written at `at`.
inline Bytes MakeImage(std::size_t length, std::size_t at = 0x100, const char* revision = "1.10")
{
    Bytes image(length);
    for (std::size_t i = 0; i < length; ++i)
        image[i] = static_cast<std::uint8_t>((i * 13 + (i >> 8)) & 0x7F);
    std::string id = std::string(kModel) + revision;
    if (at + id.size() <= length)
        std::memcpy(image.data() + at, id.data(), id.size());
    return image;
}

inline std::uint16_t Sum16(const Bytes& bytes)
{
    std::uint32_t sum = 0;
    for (std::uint8_t b : bytes)
        sum += b;
    return static_cast<std::uint16_t>(sum);
}

// Runs each test in a fresh working directory with the recording clock and
// callbacks; checks on the way out that no image buffer was left behind.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previousDir_ = std::filesystem::current_path();
        std::filesystem::current_path(scratch_.Path());
        previousClock_ = SetClock(&clock);
        regionsAtStart_ = ImageRegionsHeld();
    }

    void TearDown() override
    {
        SetClock(previousClock_);
        std::filesystem::current_path(previousDir_);
    }

    std::string Path(const std::string& name) const { return (scratch_.Path() / name).string(); }

    std::string WriteFile(const std::string& name, const std::string& content) const
    {
        std::ofstream(Path(name), std::ios::binary) << content;
        return Path(name);
    }
    std::string WriteFile(const std::string& name, const Bytes& content) const
    {
        return WriteFile(name, std::string(content.begin(), content.end()));
    }

    FlashParam Param(const std::string& imagePath, bool hex, const DriveEntry* drive = nullptr,
                     const char* model = kListModel, const char* revision = "1.00")
    {
        FlashParam param{};
        if (drive)
            param.drive = *drive;
        std::snprintf(param.szImagePath, sizeof param.szImagePath, "%s", imagePath.c_str());
        std::snprintf(param.szModel, sizeof param.szModel, "%s", model);
        std::snprintf(param.szRevision, sizeof param.szRevision, "%s", revision);
        param.m_bHexFile = hex ? 1 : 0;
        param.callbacks = RecordingCallbacks(recorded_);
        param.pStop = &stop;
        return param;
    }

    // Lines of "sum.txt" in the working directory.
    static std::vector<std::string> SumLines()
    {
        std::vector<std::string> lines;
        std::ifstream file("sum.txt");
        for (std::string line; std::getline(file, line);)
            lines.push_back(line);
        return lines;
    }

    int RegionsGained() const { return ImageRegionsHeld() - regionsAtStart_; }

    // What the callbacks of this test's runs recorded.
    Recorded& Calls() { return recorded_; }

    RecordingClock clock;
    NoDrive noDrive;
    // The stop request of this test's runs.
    StopRequest stop;

private:
    ScratchFolder scratch_{"kavora_engine"};
    std::filesystem::path previousDir_;
    Clock* previousClock_ = nullptr;
    int regionsAtStart_ = 0;
    Recorded recorded_;
};

} // namespace engine_test
