// Sense data read as SCSI lays it out, whichever format the drive chose: the
// key apart from the flag bits beside it, the codes only as far as the
// drive's additional length reaches, descriptor format rewritten in fixed
// format, and nothing taken from bytes no response code vouches for.
#include "device/sense_data.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "device/scsi_transport.h"

namespace {

using Area = std::array<std::uint8_t, scsi::kSenseAreaSize>;

Area AreaOf(const std::vector<std::uint8_t>& bytes, std::uint8_t rest = 0xEE)
{
    Area area;
    area.fill(rest);
    std::copy(bytes.begin(), bytes.end(), area.begin());
    return area;
}

// Fixed format, 18 bytes: key byte (flags included), ASC, ASCQ.
std::vector<std::uint8_t> Fixed(std::uint8_t code, std::uint8_t keyByte, std::uint8_t asc, std::uint8_t ascq,
                                std::uint8_t additional = 10)
{
    std::vector<std::uint8_t> s(18, 0);
    s[0] = code;
    s[2] = keyByte;
    s[7] = additional;
    s[12] = asc;
    s[13] = ascq;
    return s;
}

struct Case {
    const char* what;
    std::vector<std::uint8_t> sent;
    std::size_t length; // as the transport says the drive wrote
    bool valid, deferred;
    std::uint8_t key, asc, ascq, flags;
    std::uint8_t byte2; // fixed format's key byte afterwards, flags included, as the log prints it
};

TEST(SenseData, ReadsEachFormatAsSpcLaysItOut)
{
    const Case cases[] = {
        {"fixed, current", Fixed(0x70, 0x05, 0x20, 0x00), 18, true, false, 0x05, 0x20, 0x00, 0, 0x05},
        {"fixed, valid bit set", Fixed(0xF0, 0x03, 0x0C, 0x00), 18, true, false, 0x03, 0x0C, 0x00, 0, 0x03},
        {"fixed, ILI beside NOT READY", Fixed(0x70, 0x22, 0x04, 0x07), 18, true, false, 0x02, 0x04, 0x07, 0x20,
         0x22},
        {"fixed, every flag beside NO SENSE", Fixed(0x70, 0xE0, 0x00, 0x02), 18, true, false, 0x00, 0x00, 0x02, 0xE0,
         0xE0},
        {"fixed, deferred", Fixed(0x71, 0x04, 0x44, 0x00), 18, true, true, 0x04, 0x44, 0x00, 0, 0x04},
        {"fixed, additional length stops before the codes", Fixed(0x70, 0x06, 0x29, 0x00, 4), 18, true, false,
         0x06, 0x00, 0x00, 0, 0x06},
        {"fixed, additional length stops between them", Fixed(0x70, 0x06, 0x29, 0x02, 5), 18, true, false, 0x06,
         0x29, 0x00, 0, 0x06},
        {"fixed, cut by ASPI's fourteen bytes", Fixed(0x70, 0x02, 0x04, 0x07), 14, true, false, 0x02, 0x04, 0x07,
         0, 0x02},
        {"fixed, cut before the codes", Fixed(0x70, 0x02, 0x04, 0x07), 12, true, false, 0x02, 0x00, 0x00, 0, 0x02},
        {"fixed, without its key byte", Fixed(0x70, 0x02, 0x04, 0x07), 2, false, false, 0, 0, 0, 0, 0},
        {"descriptor, current", {0x72, 0x06, 0x29, 0x02, 0, 0, 0, 0}, 8, true, false, 0x06, 0x29, 0x02, 0, 0x06},
        {"descriptor, deferred", {0x73, 0x03, 0x0C, 0x00, 0, 0, 0, 0}, 8, true, true, 0x03, 0x0C, 0x00, 0, 0x03},
        {"descriptor, flags in a stream commands descriptor",
         {0x72, 0x02, 0x04, 0x07, 0, 0, 0, 4, 0x04, 0x02, 0x00, 0x20}, 12, true, false, 0x02, 0x04, 0x07, 0x20,
         0x22},
        {"descriptor, a descriptor cut by the length is left out",
         {0x72, 0x02, 0x04, 0x07, 0, 0, 0, 4, 0x04, 0x02, 0x00, 0x20}, 11, true, false, 0x02, 0x04, 0x07, 0, 0x02},
        {"descriptor, key only", {0x72, 0x05}, 2, true, false, 0x05, 0x00, 0x00, 0, 0x05},
        {"no response code: SCSI-1 style bytes", {0x00, 0x00, 0x02, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0x04, 0x07}, 14,
         false, false, 0, 0, 0, 0, 0},
        {"vendor format", {0x7F, 0x00, 0x02}, 3, false, false, 0, 0, 0, 0, 0},
        {"nothing written", Fixed(0x70, 0x02, 0x04, 0x07), 0, false, false, 0, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Area area = AreaOf(c.sent);
        const scsi::DecodedSense d = scsi::NormaliseSense(area.data(), c.length);
        EXPECT_EQ(d.valid, c.valid);
        EXPECT_EQ(d.deferred, c.deferred);
        EXPECT_EQ(d.key, c.key);
        EXPECT_EQ(d.asc, c.asc);
        EXPECT_EQ(d.ascq, c.ascq);
        EXPECT_EQ(d.flags, c.flags);
        // What the log prints, and what a second reading makes of it.
        EXPECT_EQ(area[2], c.byte2);
        EXPECT_EQ(scsi::SenseTriple::Of(area.data()), (scsi::SenseTriple{c.byte2, c.asc, c.ascq}));
        const scsi::DecodedSense again = scsi::ReadFixedSense(area.data(), area.size());
        EXPECT_EQ(again.valid, c.valid);
        EXPECT_EQ(again.key, c.key);
        EXPECT_EQ(again.flags, c.flags);
        if (c.valid) {
            EXPECT_EQ(area[0] & 0x7E, 0x70) << "fixed format, current or deferred";
        }
    }
}

// Bytes past what the drive sent, or past its additional length, are not
// the drive's: no stale byte of an earlier answer may pass for a code.
TEST(SenseData, NothingBeyondWhatTheDriveSentSurvives)
{
    Area area = AreaOf(Fixed(0x70, 0x05, 0x24, 0x00, 6), 0xEE);
    scsi::NormaliseSense(area.data(), 20);
    for (std::size_t i = 14; i < area.size(); ++i)
        EXPECT_EQ(area[i], 0) << i;
    Area invalid = AreaOf({0x00, 0x00, 0x02}, 0xEE);
    scsi::NormaliseSense(invalid.data(), invalid.size());
    EXPECT_EQ(invalid, Area{});
}

// Descriptor content that fixed format has a place for keeps its place.
TEST(SenseData, DescriptorFieldsLandWhereFixedFormatKeepsThem)
{
    const std::vector<std::uint8_t> sent = {
        0x72, 0x05, 0x24, 0x00, 0, 0, 0, 24,
        0x00, 0x0A, 0x80, 0, 0, 0, 0, 0, 0x12, 0x34, 0x56, 0x78, // information, valid, fits 32 bits
        0x02, 0x06, 0, 0, 0xC0, 0x00, 0x05, 0,                   // sense key specific: field pointer 5
        0x03, 0x02, 0, 0x9A,                                     // field replaceable unit
    };
    Area area = AreaOf(sent);
    const scsi::DecodedSense d = scsi::NormaliseSense(area.data(), sent.size());
    ASSERT_TRUE(d.valid);
    EXPECT_EQ(area[0], 0xF0) << "current, information valid";
    EXPECT_EQ((std::vector<std::uint8_t>{area[3], area[4], area[5], area[6]}),
              (std::vector<std::uint8_t>{0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(area[7], 10);
    EXPECT_EQ(area[14], 0x9A);
    EXPECT_EQ((std::vector<std::uint8_t>{area[15], area[16], area[17]}),
              (std::vector<std::uint8_t>{0xC0, 0x00, 0x05}));
}

// What an answer means for the command it answers.
TEST(SenseData, CompletedAndDeclinedFollowSam)
{
    struct Answer {
        const char* what;
        scsi::Outcome outcome;
        std::uint8_t status;
        std::vector<std::uint8_t> sense;
        bool completed, declined;
    } answers[] = {
        {"good", scsi::Outcome::Good, 0x00, {}, true, false},
        {"no sense", scsi::Outcome::CheckCondition, 0x02, Fixed(0x70, 0x00, 0x00, 0x00), true, false},
        {"recovered error", scsi::Outcome::CheckCondition, 0x02, Fixed(0x70, 0x01, 0x17, 0x01), true, false},
        {"recovered error, descriptor", scsi::Outcome::CheckCondition, 0x02, {0x72, 0x01, 0x18, 0x00}, true, false},
        {"recovered error, deferred: an earlier command's",
         scsi::Outcome::CheckCondition, 0x02, Fixed(0x71, 0x01, 0x17, 0x01), false, true},
        {"check condition without readable sense", scsi::Outcome::CheckCondition, 0x02, {}, false, false},
        {"not ready", scsi::Outcome::CheckCondition, 0x02, Fixed(0x70, 0x02, 0x04, 0x07), false, true},
        {"medium error", scsi::Outcome::CheckCondition, 0x02, Fixed(0x70, 0x03, 0x0C, 0x00), false, false},
        {"hardware error", scsi::Outcome::CheckCondition, 0x02, Fixed(0x70, 0x04, 0x44, 0x00), false, false},
        {"illegal request", scsi::Outcome::CheckCondition, 0x02, Fixed(0x70, 0x05, 0x26, 0x00), false, true},
        {"unit attention with a flag", scsi::Outcome::CheckCondition, 0x02, Fixed(0x70, 0x86, 0x29, 0x00), false,
         true},
        {"data protect", scsi::Outcome::CheckCondition, 0x02, Fixed(0x70, 0x07, 0x27, 0x00), false, true},
        {"aborted command", scsi::Outcome::CheckCondition, 0x02, Fixed(0x70, 0x0B, 0x47, 0x00), false, false},
        {"busy", scsi::Outcome::OtherStatus, 0x08, {}, false, true},
        {"reservation conflict", scsi::Outcome::OtherStatus, 0x18, {}, false, true},
        {"task set full", scsi::Outcome::OtherStatus, 0x28, {}, false, true},
        {"task aborted", scsi::Outcome::OtherStatus, 0x40, {}, false, false},
        {"transport failure", scsi::Outcome::TransportFailure, 0x00, {}, false, false},
        {"system failure", scsi::Outcome::SystemFailure, 0x00, {}, false, false},
    };
    for (const Answer& a : answers) {
        SCOPED_TRACE(a.what);
        scsi::Result r;
        r.outcome = a.outcome;
        r.status = a.status;
        std::copy(a.sense.begin(), a.sense.end(), r.sense);
        r.decoded = scsi::NormaliseSense(r.sense, a.sense.size());
        EXPECT_EQ(r.Completed(), a.completed);
        EXPECT_EQ(r.NotCarriedOut(), a.declined);
    }
}

} // namespace
