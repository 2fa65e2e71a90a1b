// The Windows program's table of sense words, made from libsgutils2 at build
// time, says what the library says.
#include <gtest/gtest.h>

#include "device/linux/sense_text.h"
#include "device/sense_words.h"

namespace {

TEST(SenseWords, AgreeWithLibsgutils2)
{
    ASSERT_GT(sense_table::kEntryCount, 1000u);
    std::vector<scsi::SenseTriple> sample = {
        {0x05, 0x20, 0x00}, {0x05, 0x24, 0x00}, {0x05, 0x26, 0x00}, {0x06, 0x29, 0x02},
        {0x02, 0x04, 0x07}, {0x03, 0x0C, 0x00}, {0x06, 0x3F, 0x16}, {0x00, 0x00, 0x00},
    };
    for (std::size_t k = 0; k < sense_table::kEntryCount; k += 37) {
        const sense_table::Entry& e = sense_table::kEntries[k];
        sample.push_back({static_cast<std::uint8_t>(k % 16), e.asc, e.ascq});
    }
    for (const scsi::SenseTriple& t : sample)
        EXPECT_EQ(SenseWords(t), SenseText(t)) << int(t.key) << "/" << int(t.asc) << "/" << int(t.ascq);
    EXPECT_EQ(SenseWords({0x05, 0x20, 0x00}), "Illegal Request, Invalid command operation code");
    // Vendor codes have no words in the standards: the codes, and what they are.
    EXPECT_EQ(SenseWords({0x04, 0x80, 0x01}), "Hardware Error, ASC 80h ASCQ 01h (vendor specific or reserved)");
}

// The commands a run sends, named as the library names them.
TEST(SenseWords, CommandNamesAgreeWithLibsgutils2)
{
    const std::uint8_t blocks[][12] = {
        {0x12, 0, 0, 0, 0x24}, {0x00}, {0x3B, 0x06, 0, 0, 0x10, 0, 0, 0x10}, {0x3B, 0x07}, {0x03, 0, 0, 0, 18},
    };
    for (const auto& cdb : blocks)
        EXPECT_EQ(CommandNameOf(cdb), CommandName(cdb)) << int(cdb[0]);
    // Every operation code, and every value of byte 1's low bits.
    for (int opcode = 0; opcode < 256; ++opcode) {
        for (int action = 0; action < 32; ++action) {
            const std::uint8_t cdb[16] = {static_cast<std::uint8_t>(opcode), static_cast<std::uint8_t>(action)};
            ASSERT_EQ(CommandNameOf(cdb), CommandName(cdb)) << opcode << "/" << action;
        }
    }
}

} // namespace
