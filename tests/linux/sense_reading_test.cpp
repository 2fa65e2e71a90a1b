// The program's reading of sense data against sg3_utils' own
// (sg_scsi_normalize_sense), over every response code and length and bytes
// of all kinds: the two agree on what is readable and on key, ASC and ASCQ,
// but for one deliberate difference. sg3_utils takes sense that ends before
// its key byte (fixed format of one or two bytes, descriptor format of one)
// as readable with key 0 (NO SENSE); the program does not read a key from
// bytes that do not hold one, as NO SENSE would count as a command carried
// out.
#include <gtest/gtest.h>

#include <scsi/sg_lib.h>

#include <array>
#include <cstdint>

#include "device/sense_data.h"

namespace {

TEST(SenseReading, AgreesWithSgUtils)
{
    std::uint32_t seed = 12345;
    const auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return static_cast<std::uint8_t>(seed >> 16);
    };
    const std::uint8_t codes[] = {0x00, 0x6F, 0x70, 0x71, 0x72, 0x73, 0x74, 0x7F, 0xF0, 0xF1, 0xF2};
    int compared = 0;
    for (int round = 0; round < 4000; ++round) {
        std::array<std::uint8_t, scsi::kSenseAreaSize> bytes;
        for (auto& b : bytes)
            b = next();
        bytes[0] = codes[round % (sizeof codes)];
        // Additional lengths short and long, so the codes are in and out of reach.
        bytes[7] = static_cast<std::uint8_t>(next() % 24);
        const std::size_t length = next() % (bytes.size() + 1);

        sg_scsi_sense_hdr theirs{};
        const bool theyRead = sg_scsi_normalize_sense(bytes.data(), static_cast<int>(length), &theirs);
        auto area = bytes;
        const scsi::DecodedSense ours = scsi::NormaliseSense(area.data(), length);
        SCOPED_TRACE(::testing::Message() << "code " << std::hex << int(bytes[0]) << " length " << std::dec << length);
        const bool fixed = (bytes[0] & 0x7F) == 0x70 || (bytes[0] & 0x7F) == 0x71;
        if (theyRead && !ours.valid) {
            EXPECT_LT(length, fixed ? 3u : 2u) << "readable to sg3_utils, not to us";
            continue;
        }
        EXPECT_EQ(ours.valid, theyRead);
        if (!ours.valid)
            continue;
        ++compared;
        EXPECT_EQ(ours.key, theirs.sense_key);
        EXPECT_EQ(ours.asc, theirs.asc);
        EXPECT_EQ(ours.ascq, theirs.ascq);
        EXPECT_EQ(ours.deferred, theirs.response_code == 0x71 || theirs.response_code == 0x73);
        // Fixed format afterwards, read the same again.
        const scsi::DecodedSense again = scsi::ReadFixedSense(area.data(), area.size());
        EXPECT_EQ(again.key, ours.key);
        EXPECT_EQ(again.asc, ours.asc);
        EXPECT_EQ(again.ascq, ours.ascq);
    }
    EXPECT_GT(compared, 1000);
}

} // namespace
