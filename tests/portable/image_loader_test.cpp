#include "engine_fixture.h"

namespace engine_test {
namespace {

const std::string kOpenInput = "ERR: fail to open input file!";
const std::string kFormat = "ERR: input file format mismatched!";
const std::string kTerminated = "ERR: terminate upgrade/backup flash!";
const std::string kNoMemory = "ERR: fail to allocate memory!";

std::string BankAdvances(int n)
{
    std::string text;
    for (int i = 0; i < n; ++i)
        text += HexBankAdvance();
    return text;
}

struct LoadFailure {
    const char* name;
    bool hex;
    std::string content; // ignored when `missing`
    bool missing;
    int expected;
    std::vector<std::string> messages;
    int stopFromCall = 0;
    bool noMemory = false;
};

class LoadFailureTest : public EngineTest, public ::testing::WithParamInterface<LoadFailure> {};

// Every failure ends with the file closed, the buffer given back and only the
// loader's own reports in the log.
TEST_P(LoadFailureTest, RefusesAndKeepsNothing)
{
    const LoadFailure& c = GetParam();
    std::string path = c.missing ? Path("absent.hex") : WriteFile("image", c.content);
    Calls().terminateFromCall = c.stopFromCall;
    if (c.noMemory)
        FailNextImageAllocation();
    CFlashEngine engine(Param(path, c.hex), noDrive);

    EXPECT_EQ(engine.LoadImage(), c.expected);
    EXPECT_EQ(Calls().messages, c.messages);
    EXPECT_EQ(engine.m_pInFile, nullptr);
    EXPECT_EQ(engine.m_pBank[0], nullptr);
    EXPECT_EQ(RegionsGained(), 0);
}

const std::string kData = HexRecord(0x00, 0x0000, {1, 2, 3});

INSTANTIATE_TEST_SUITE_P(
    Table, LoadFailureTest,
    ::testing::Values(
        LoadFailure{"MissingHex", true, "", true, -2, {kOpenInput}},
        LoadFailure{"MissingBin", false, "", true, -2, {kOpenInput}},
        LoadFailure{"EmptyBin", false, "", false, -2, {}},
        LoadFailure{"NoMemory", false, "abc", false, -3, {kNoMemory}, 0, true},
        LoadFailure{"Type02", true, kData + HexRecord(0x02, 0, {0x10, 0x00}) + HexEnd(), false, -1, {}},
        LoadFailure{"Type04", true, HexRecord(0x04, 0, {0x00, 0x01}) + kData + HexEnd(), false, -1, {}},
        LoadFailure{"EndWithCount", true, kData + ":0100000100FE\n", false, -1, {}},
        LoadFailure{"BankAdvanceWithCount", true, ":0100005500AA\n" + kData + HexEnd(), false, -1, {}},
        LoadFailure{"BadDataChecksum", true, ":03000000010203F8\n" + HexEnd(), false, -1, {}},
        LoadFailure{"BadEndChecksum", true, kData + ":00000001FE\n", false, -1, {}},
        LoadFailure{"NoEndRecord", true, kData, false, -1, {kFormat}},
        LoadFailure{"EmptyHex", true, "", false, -1, {kFormat}},
        LoadFailure{"EndsInsideRecord", true, kData + ":0300", false, -1, {kFormat}},
        LoadFailure{"NotADigit", true, ":03000000010G03F6\n" + HexEnd(), false, -1, {kFormat}},
        LoadFailure{"StopWhileReading", true, kData + HexEnd(), false, -1, {kTerminated}, 5},
        // Addresses from 1 MiB on lie outside the buffer.
        LoadFailure{"DataPastOneMiB", true,
                    BankAdvances(15) + HexRecord(0x00, 0xFFFF, {0xAA, 0xBB}) + HexEnd(), false, -1, {}},
        LoadFailure{"SixteenBankAdvances", true,
                    BankAdvances(16) + HexRecord(0x00, 0x0000, {0xAA}) + HexEnd(), false, -1, {}}),
    [](const auto& info) { return std::string(info.param.name); });

class HexLoadTest : public EngineTest {
protected:
    // Loads `text` as a HEX image and expects it to be complete.
    void Load(const std::string& text)
    {
        engine_ = std::make_unique<CFlashEngine>(Param(WriteFile("image.hex", text), true), noDrive);
        ASSERT_EQ(engine_->LoadImage(), 1);
        ASSERT_NE(engine_->m_pBank[0], nullptr);
        EXPECT_EQ(engine_->m_pInFile, nullptr);
    }
    std::uint8_t At(std::uint32_t address) const
    {
        return engine_->m_pBank[address >> 15][address & 0x7FFF];
    }
    std::unique_ptr<CFlashEngine> engine_;
};

TEST_F(HexLoadTest, FirstPageOnlyLeavesTheRestFilled)
{
    Bytes page(0x100);
    for (int i = 0; i < 0x100; ++i)
        page[i] = static_cast<std::uint8_t>(i);
    Load(ToHex(page));
    EXPECT_EQ(engine_->m_dwImageLen, 0x100u);
    EXPECT_EQ(At(0x00), 0x00);
    EXPECT_EQ(At(0xFF), 0xFF);
    EXPECT_EQ(At(0x7E), 0x7E);
    for (std::uint32_t a : {0x100u, 0x8000u, 0xFFFFFu})
        EXPECT_EQ(At(a), 0xFF) << a;
}

TEST_F(HexLoadTest, ReadsLowerCaseDigitsAndSkipsTextBetweenRecords)
{
    Load("leading text\r\n\n:02001000abcd76 trailing\r\n  junk " + HexEnd());
    EXPECT_EQ(At(0x10), 0xAB);
    EXPECT_EQ(At(0x11), 0xCD);
    EXPECT_EQ(engine_->m_dwImageLen, 0x12u);
}

TEST_F(HexLoadTest, ClearsTheTopBitOfEveryCharacter)
{
    std::string record = HexRecord(0x00, 0x0020, {0x5A});
    for (char& c : record)
        if (c != '\n')
            c = static_cast<char>(static_cast<unsigned char>(c) | 0x80);
    Load(record + HexEnd());
    EXPECT_EQ(At(0x20), 0x5A);
}

TEST_F(HexLoadTest, RecordCrossing64KContinuesAbove)
{
    Bytes data(32);
    for (int i = 0; i < 32; ++i)
        data[i] = static_cast<std::uint8_t>(0x40 + i);
    Load(HexRecord(0x00, 0xFFF0, data) + HexEnd());
    EXPECT_EQ(At(0xFFF0), 0x40);
    EXPECT_EQ(At(0x10000), 0x50);
    EXPECT_EQ(At(0x1000F), 0x5F);
    EXPECT_EQ(engine_->m_dwImageLen, 0x10010u);
    EXPECT_EQ(engine_->m_nBankCount, 0);
}

TEST_F(HexLoadTest, BankAdvanceMovesLaterRecords64KUp)
{
    Load(HexRecord(0x00, 0x0000, {0x11}) + HexBankAdvance() + HexRecord(0x00, 0x0000, {0x22}) + HexEnd());
    EXPECT_EQ(engine_->m_nBankCount, 1);
    EXPECT_EQ(At(0x00000), 0x11);
    EXPECT_EQ(At(0x10000), 0x22);
    EXPECT_EQ(engine_->m_dwImageLen, 0x10001u);
}

TEST_F(HexLoadTest, LastByteOfTheBufferIsStillAccepted)
{
    Load(BankAdvances(15) + HexRecord(0x00, 0xFFFF, {0x77}) + HexEnd());
    EXPECT_EQ(At(0xFFFFF), 0x77);
    EXPECT_EQ(engine_->m_dwImageLen, 0x100000u);
}

TEST_F(HexLoadTest, EmptyDataRecordStoresNothing)
{
    Load(HexRecord(0x00, 0x1234, {}) + HexEnd());
    EXPECT_EQ(engine_->m_dwImageLen, 0u);
    EXPECT_EQ(At(0x1234), 0xFF);
}

TEST_F(HexLoadTest, NothingAfterTheEndRecordIsRead)
{
    Load(HexRecord(0x00, 0x0000, {0x01}) + HexEnd() + ":0G garbage " + HexRecord(0x00, 0x0001, {0x02}));
    EXPECT_EQ(At(0x0001), 0xFF);
    EXPECT_TRUE(Calls().messages.empty());
}

TEST_F(HexLoadTest, AsksForAStopForEveryCharacterRead)
{
    std::string text = "xy" + HexRecord(0x00, 0x0000, {0x01}) + HexEnd();
    Load(text);
    // Everything up to the end record's checksum: all but the last line end.
    std::size_t read = text.size() - 1;
    EXPECT_EQ(Calls().terminateCalls, static_cast<int>(read));
}

// A flipped bit in a record's ':' must not drop the record without a word:
// a line that is a whole record but for its mark breaks the file. Any other
// text between records is still skipped.
struct MarkCase {
    const char* name;
    std::string text;
    int expected;
    std::uint32_t line = 0; // of the record without its mark
    std::uint32_t mark = 0; // the character in the mark's place
};

// A record of 32 bytes whose ':' is replaced by `mark` (none when 0).
std::string Damaged(char mark, std::uint16_t address = 0x0020)
{
    std::string record = HexRecord(0x00, address, Bytes(32, 0x5A));
    if (mark)
        record[0] = mark;
    else
        record.erase(0, 1);
    return record;
}

// Six lines of what a HEX file may carry between records.
const std::string kSixLines = HexRecord(0x00, 0x0000, {1, 2, 3}) + "# built from fw.c\n" + "\n" +
                              "0123456789ABCDEF\n" + "; 10002000 comment\n" + HexRecord(0x00, 0x0040, {4});

// Text of `length` characters that ends with a line end.
std::string CommentLine(std::size_t length, char c = '#')
{
    return std::string(length - 1, c) + "\n";
}

// The file offset of the first character of `line` (from 1) as the loader
// reads `text`: in text mode, which drops a line end's carriage return on
// Windows.
std::size_t LineStart(std::string text, std::uint32_t line)
{
#ifdef _WIN32
    for (std::size_t cr; (cr = text.find("\r\n")) != std::string::npos;)
        text.erase(cr, 1);
#endif
    std::size_t at = 0;
    for (std::uint32_t k = 1; k < line; ++k)
        at = text.find('\n', at) + 1;
    return at;
}

class DamagedMarkTest : public EngineTest, public ::testing::WithParamInterface<MarkCase> {};

TEST_P(DamagedMarkTest, RefusesARecordWithoutItsMarkAndSkipsOtherText)
{
    const MarkCase& c = GetParam();
    CFlashEngine engine(Param(WriteFile("image.hex", c.text), true), noDrive);
    ASSERT_EQ(engine.LoadImage(), c.expected);
    if (c.expected == kLoadComplete) {
        EXPECT_EQ(engine.m_loadProblem.kind, LoadProblemKind::None);
        EXPECT_TRUE(Calls().messages.empty());
        return;
    }
    const LoadProblem& problem = engine.m_loadProblem;
    EXPECT_EQ(problem.kind, LoadProblemKind::MissingStartMark);
    EXPECT_EQ(problem.line, c.line);
    EXPECT_EQ(problem.value, c.mark);
    EXPECT_EQ(problem.at, LineStart(c.text, c.line));
    // As a record that breaks the format: the procedure's report only.
    EXPECT_TRUE(Calls().messages.empty());
    EXPECT_EQ(engine.m_pBank[0], nullptr);
}

// The reader takes its text in chunks of 16 KiB.
constexpr std::size_t kChunk = 16384;

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedMarkTest,
    ::testing::Values(
        MarkCase{"Semicolon", kSixLines + Damaged(';') + HexEnd(), -1, 7, ';'},
        MarkCase{"Digit8", kSixLines + Damaged('8') + HexEnd(), -1, 7, '8'},
        MarkCase{"Digit2", kSixLines + Damaged('2') + HexEnd(), -1, 7, '2'},
        MarkCase{"LetterZ", kSixLines + Damaged('z') + HexEnd(), -1, 7, 'z'},
        MarkCase{"NoMarkAtAll", kSixLines + Damaged(0) + HexEnd(), -1, 7, kNoMark},
        MarkCase{"FirstLine", Damaged(';') + HexEnd(), -1, 1, ';'},
        MarkCase{"CrLf", HexRecord(0x00, 0, {1}) + "\r\n" + ";00000001FF\r\n" + HexEnd(), -1, 3, ';'},
        // The end record itself, as the file's last line, without a line end.
        MarkCase{"LastLineWithoutLineEnd", kSixLines + ";00000001FF", -1, 7, ';'},
        MarkCase{"AcrossAChunk",
                 CommentLine(kChunk - 20) + HexRecord(0x00, 0, {1}) + Damaged('8') + HexEnd(), -1, 3, '8'},
        MarkCase{"AfterLongSkippedText",
                 CommentLine(3 * kChunk) + CommentLine(700, '0') + Damaged(';') + HexEnd(), -1, 3, ';'},
        MarkCase{"Skipped", kSixLines + HexEnd(), 1},
        MarkCase{"TopBitSetMarkIsAMark", kSixLines + Damaged('\xBA') + HexEnd(), 1},
        // Digits that are not a whole record: a count that disagrees with
        // the length, a sum that is not 0, one digit too many.
        MarkCase{"CountDisagrees", kSixLines + "0300000001FF\n" + HexEnd(), 1},
        MarkCase{"SumNotZero", kSixLines + ";00000001FE\n" + HexEnd(), 1},
        MarkCase{"TwoCharactersBeforeTheCount", kSixLines + ";;00000001FF\n" + HexEnd(), 1},
        // Behind a record's checksum, on its line: the rest of that line.
        MarkCase{"BehindARecordOnItsLine", HexRecord(0x00, 0, {1}).substr(0, 13) + " 00000001FF\n" + HexEnd(), 1},
        MarkCase{"LongHexComment", CommentLine(600, '0') + HexEnd(), 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HexLoadTest, TopBitSetMarkStillLoadsItsRecord)
{
    Load(kSixLines + Damaged('\xBA') + HexEnd());
    EXPECT_EQ(At(0x20), 0x5A);
    EXPECT_EQ(At(0x3F), 0x5A);
}

class RawLoadTest : public EngineTest {};

TEST_F(RawLoadTest, ShortFileIsCompleteAndItsChecksumCoversTheWholeBuffer)
{
    Bytes image = MakeImage(5000, 0x10, "1.10");
    CFlashEngine engine(Param(WriteFile("image.bin", image), false), noDrive);
    ASSERT_EQ(engine.LoadImage(), 1);
    EXPECT_EQ(engine.m_dwImageLen, 5000u);
    EXPECT_EQ(engine.m_dwFileSize, 5000u);
    EXPECT_EQ(engine.m_pBank[0][4999], image[4999]);
    EXPECT_EQ(engine.m_pBank[0][5000], 0xFF);

    EXPECT_TRUE(engine.CheckIdentity());
    std::uint32_t fill = (0x100000u - 5000u) * 0xFFu;
    EXPECT_EQ(engine.m_wCheckSum, static_cast<std::uint16_t>(Sum16(image) + fill));
}

TEST_F(RawLoadTest, OneMiBAndMoreLoadTheirFirstMiB)
{
    for (std::size_t size : {std::size_t{0x100000}, std::size_t{0x100000 + 4097}}) {
        Bytes image = MakeImage(0x100000);
        image.resize(size, 0xFF); // fill behind the image, as a larger part's padding
        image[0xFFFFF] = 0x42;
        CFlashEngine engine(Param(WriteFile("image.bin", image), false), noDrive);
        EXPECT_EQ(engine.LoadImage(), 0) << size;
        EXPECT_EQ(engine.m_dwImageLen, 0x100000u);
        EXPECT_EQ(engine.m_pBank[31][0x7FFF], 0x42);
    }
}

TEST_F(RawLoadTest, FileEndingOnABankBoundaryIsComplete)
{
    CFlashEngine engine(Param(WriteFile("image.bin", MakeImage(0x10000)), false), noDrive);
    EXPECT_EQ(engine.LoadImage(), 1);
    EXPECT_EQ(engine.m_dwImageLen, 0x10000u);
    EXPECT_EQ(engine.m_pBank[2][0], 0xFF);
}

} // namespace
} // namespace engine_test
