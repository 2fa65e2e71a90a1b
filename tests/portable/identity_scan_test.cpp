#include "engine_fixture.h"

namespace engine_test {
namespace {

struct Part {
    std::uint32_t address;
    std::string bytes;
};

struct ScanCase {
    const char* name;
    bool hex;
    const char* model;
    const char* revision;
    std::vector<Part> parts;
    bool found;
};

const std::string M = kModel;

// Image file holding only `parts`; HEX images get the bank advances that the
// addresses need.
std::string ImageText(const ScanCase& c)
{
    if (c.hex) {
        std::string text;
        std::uint32_t piece = 0;
        for (const Part& p : c.parts) {
            for (; p.address >= (piece + 1) * kHexBankSize; ++piece)
                text += HexBankAdvance();
            text += HexRecord(0x00, static_cast<std::uint16_t>(p.address & 0xFFFF),
                              Bytes(p.bytes.begin(), p.bytes.end()));
        }
        return text + HexEnd();
    }
    std::uint32_t end = 0;
    for (const Part& p : c.parts)
        end = std::max<std::uint32_t>(end, p.address + static_cast<std::uint32_t>(p.bytes.size()));
    std::string image(end, '\xFF');
    for (const Part& p : c.parts)
        image.replace(p.address, p.bytes.size(), p.bytes);
    return image;
}

class IdentityScanTest : public EngineTest, public ::testing::WithParamInterface<ScanCase> {};

TEST_P(IdentityScanTest, FindsTheDrivesModelAndRevision)
{
    const ScanCase& c = GetParam();
    CFlashEngine engine(Param(WriteFile("image", ImageText(c)), c.hex, nullptr, c.model, c.revision), noDrive);
    ASSERT_GE(engine.LoadImage(), 0);
    EXPECT_EQ(engine.CheckIdentity(), c.found);
}

// What `info` tells: every printable revision start with which the check
// passes, and no other.
TEST_P(IdentityScanTest, PassingRevisionStartsAreThoseTheScanPasses)
{
    const ScanCase& c = GetParam();
    CFlashEngine engine(Param(WriteFile("image", ImageText(c)), c.hex, nullptr, c.model, c.revision), noDrive);
    ASSERT_GE(engine.LoadImage(), 0);
    const std::vector<std::string> passing = engine.PassingRevisionStarts();
    EXPECT_STREQ(engine.m_szRevision, c.revision) << "the run's own revision is kept";
    std::vector<std::string> expected;
    for (char first = ' '; first <= '~'; ++first) {
        for (char second = ' '; second <= '~'; ++second) {
            std::memset(engine.m_szRevision, 0, sizeof engine.m_szRevision);
            engine.m_szRevision[0] = first;
            engine.m_szRevision[1] = second;
            if (engine.CarriesIdentity())
                expected.push_back({first, second});
        }
    }
    EXPECT_EQ(passing, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IdentityScanTest,
    ::testing::Values(
        ScanCase{"HexRightBehindModel", true, kListModel, "1.08", {{0x100, M + "1.10"}}, true},
        ScanCase{"HexOtherFirstCharacter", true, kListModel, "1.08", {{0x100, M + "2.10"}}, false},
        ScanCase{"HexAnyDigitSecond", true, kListModel, "12", {{0x100, M + "17"}}, true},
        ScanCase{"HexLetterIsNoDigit", true, kListModel, "12", {{0x100, M + "1A"}}, false},
        // The revision's first character as the seventh byte behind the model
        // still fits the window; as the eighth it doesn't.
        ScanCase{"HexSeventhByteBehind", true, kListModel, "1.00", {{0x100, M + "xxxxxx1."}}, true},
        ScanCase{"HexEighthByteBehind", true, kListModel, "1.00", {{0x100, M + "xxxxxxx1."}}, false},
        ScanCase{"HexRevisionBeforeModel", true, kListModel, "1.00", {{0x10, "1."}, {0x100, M + "zz"}}, false},
        ScanCase{"RawRevisionBeforeModel", false, kListModel, "1.00", {{0x10, "1."}, {0x100, M + "zz"}}, true},
        ScanCase{"RawNoDigitForTheSecond", false, kListModel, "12", {{0x100, M + "17"}}, false},
        ScanCase{"RawModelOnly", false, kListModel, "1.00", {{0x100, M + "xx"}}, false},
        // A failed comparison restarts the model without retrying the byte.
        ScanCase{"HexRepeatedFirstCharacter", true, kListModel, "1.00", {{0x100, "K" + M + "1."}}, false},
        ScanCase{"RawRepeatedFirstCharacter", false, kListModel, "1.00", {{0x100, "K" + M + "1."}}, false},
        ScanCase{"HexAcrossBanks", true, kListModel, "1.00", {{0x7FF0, M + "1.0"}}, true},
        ScanCase{"RawAcrossBanks", false, kListModel, "1.00", {{0x7FF0, M + "1.0"}}, true},
        ScanCase{"HexAfterBankAdvance", true, kListModel, "1.00", {{0x10010, M + "1.0"}}, true},
        // The byte that completes the model is already the revision's first
        // candidate: the model text ends in a blank.
        ScanCase{"HexLastModelByteStartsTheRevision", true, kListModel, " 1", {{0x100, M + "1"}}, true},
        // A broken revision restarts without retrying the byte that broke it.
        ScanCase{"HexRevisionRestartsWithoutRetry", true, kListModel, "1.", {{0x100, M + "11."}}, false},
        ScanCase{"RawRevisionRestartsWithoutRetry", false, kListModel, "1.", {{0x100, M + "11."}}, false},
        // Any digit stands in for the second revision character only.
        ScanCase{"HexDigitOnlyInSecondPlace", true, kListModel, "12", {{0x100, M + "27"}}, false},
        // A model whose window ran out doesn't stop a later copy from matching.
        ScanCase{"HexModelAgainAfterTheWindow", true, kListModel, "1.00",
                 {{0x100, M + "xxxxxxxxxx" + M + "1."}}, true},
        // Texts shorter than their fields are compared with their zero fill.
        ScanCase{"ShortModelNeedsZeros", true, "KAVORA", "1", {{0x100, "KAVORA" + std::string(18, '\0') + "1" + std::string(1, '\0')}}, true},
        ScanCase{"ShortModelAgainstFullText", true, "KAVORA", "1", {{0x100, M + "1."}}, false},
        ScanCase{"RawShortTexts", false, "KAVORA", "1", {{0x10, std::string("1") + '\0'}, {0x100, "KAVORA" + std::string(18, '\0')}}, true}),
    [](const auto& info) { return std::string(info.param.name); });

// A HEX image is scanned and summed in whole 64 KiB pieces up to its last
// bank advance: a record running over a piece's end is cut off unless a bank
// advance follows it.
TEST_F(EngineTest, HexScanAndChecksumCoverThePiecesUpToTheLastBankAdvance)
{
    std::string id = M + "1.10";
    Bytes idBytes(id.begin(), id.end());
    std::string crossing = HexRecord(0x00, 0xFFF8, idBytes);
    {
        CFlashEngine engine(Param(WriteFile("one.hex", crossing + HexEnd()), true), noDrive);
        ASSERT_EQ(engine.LoadImage(), 1);
        EXPECT_FALSE(engine.CheckIdentity());
        Bytes inside(idBytes.begin(), idBytes.begin() + 8);
        EXPECT_EQ(engine.m_wCheckSum, static_cast<std::uint16_t>((0x10000 - 8) * 0xFF + Sum16(inside)));
    }
    {
        CFlashEngine engine(Param(WriteFile("two.hex", crossing + HexBankAdvance() + HexEnd()), true), noDrive);
        ASSERT_EQ(engine.LoadImage(), 1);
        EXPECT_TRUE(engine.CheckIdentity());
        EXPECT_EQ(engine.m_wCheckSum,
                  static_cast<std::uint16_t>((0x20000 - idBytes.size()) * 0xFF + Sum16(idBytes)));
    }
}

} // namespace
} // namespace engine_test
