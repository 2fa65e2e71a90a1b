#include "flash/drive_commands.h"
#include "engine_drive.h"

namespace engine_test {
namespace {

const std::string kTerminated = "ERR: terminate upgrade/backup flash!";

std::string Format(const char* format, unsigned a, unsigned b)
{
    char text[128];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

std::vector<std::int32_t> ProgressOf(int blocks, int pieces, int polls, bool done = true)
{
    std::vector<std::int32_t> progress{0};
    for (int k = 0; k < blocks; ++k) {
        progress.push_back(5);
        progress.push_back(10);
    }
    progress.push_back(15);
    for (int j = 0; j < pieces; ++j)
        progress.push_back(20 + 3 * j);
    for (int t = 0; t < polls; ++t)
        progress.push_back(70 + t);
    if (done) {
        progress.push_back(90);
        progress.push_back(100);
    }
    return progress;
}

std::vector<std::uint32_t> WaitsOf(int pieces, int polls)
{
    std::vector<std::uint32_t> waits(pieces, 4000);
    waits.insert(waits.end(), polls + 1, 1000);
    return waits;
}

using UpgradeTest = DriveTest;

// Everything the user and "sum.txt" see of a good run, in order.
TEST_F(UpgradeTest, SuccessfulRunShowsAndRecordsEachStep)
{
    Bytes image = MakeImage(5000);
    const std::uint16_t total = 0; // a run starts its own running total
    ASSERT_TRUE(UpgradeRaw(image));

    std::uint32_t fill = (0x100000u - 5000u) * 0xFFu;
    char checkSum[32];
    std::snprintf(checkSum, sizeof checkSum, "Check Sum : %X",
                  static_cast<unsigned>(static_cast<std::uint16_t>(Sum16(image) + fill)));
    EXPECT_EQ(Calls().messages, (std::vector<std::string>{checkSum, "Please wait a minute....."}));
    EXPECT_EQ(Calls().statuses, std::vector<std::string>{"Updating....."});
    EXPECT_EQ(Calls().progress, ProgressOf(2, 0, 3));
    EXPECT_EQ(clock.waits, WaitsOf(0, 3));
    EXPECT_EQ(Calls().driveNames, std::vector<std::string>{kModel});
    EXPECT_EQ(Calls().revisions, std::vector<std::string>{"1.10"});
    EXPECT_EQ(drive.Identity().revision, "1.10");

    Bytes first(image.begin(), image.begin() + 4096);
    Bytes second(image.begin() + 4096, image.end());
    second.resize(4096, 0xFF);
    std::uint16_t sum1 = Sum16(first);
    std::uint16_t sum2 = static_cast<std::uint16_t>(sum1 + Sum16(second));
    std::uint16_t total1 = static_cast<std::uint16_t>(total + sum1);
    std::uint16_t total2 = static_cast<std::uint16_t>(total1 + sum2);
    const DriveEntry& entry = rig->Entry();
    char model[160];
    std::snprintf(model, sizeof model, "Model Name : %s HID : %d TID : %d Ver.: %s", entry.sModel,
                  entry.byHaId, entry.byTargetId, entry.sRevision);
    EXPECT_EQ(SumLines(),
              (std::vector<std::string>{
                  model,
                  Format("Address=00000020,_wSecSum=%.4X,_total=%.4X", sum1, total1),
                  Format("Address=00001020,_wSecSum=%.4X,_total=%.4X", sum2, total2),
                  "Finished : fgWriteOneFlashCmdData()",
                  Format("sSendBuf[30]=%X   sSendBuf[31]=%X", sum2 >> 8, sum2 & 0xFF),
                  "Finished : fgWriteHeader()",
                  "I will in fgTestUnitReadyComplete()",
                  "fgTestUnitReadyComplete failed.  2/ 4/ 7",
                  "fgTestUnitReadyComplete failed.  2/ 4/ 7",
                  "fgTestUnitReadyComplete OK!!",
                  "fgInquiryComplete successed!",
              }));

    const auto& commands = drive.Commands();
    ASSERT_EQ(commands.size(), 8u);
    EXPECT_EQ(BlockOffsets(), (std::vector<std::uint32_t>{0x20, 0x1020}));
    EXPECT_TRUE(IsWrite(commands[2], 32));
    EXPECT_TRUE(IsSave(commands[3]));
    EXPECT_EQ(Count(IsTestUnitReady), 3);
    EXPECT_TRUE(IsInquiry(commands[7]));
}

struct LengthCase {
    const char* name;
    bool hex;
    std::size_t imageLength;
    std::uint32_t blocks;
    int pieces; // 4-second waits
};

class SentLengthTest : public DriveTest, public ::testing::WithParamInterface<LengthCase> {};

TEST_P(SentLengthTest, SendsWholeBlocksAndWaitsPer64K)
{
    const LengthCase& c = GetParam();
    Bytes image = MakeImage(c.imageLength, c.imageLength > 0x80000 ? 0x80000 : 0x100);
    ASSERT_TRUE(c.hex ? UpgradeHex(image) : UpgradeRaw(image));

    std::vector<std::uint32_t> offsets;
    for (std::uint32_t k = 0; k < c.blocks; ++k)
        offsets.push_back(0x20 + 4096 * k);
    EXPECT_EQ(BlockOffsets(), offsets);
    EXPECT_EQ(clock.waits, WaitsOf(c.pieces, kDefaultBusyPolls + 1));
    EXPECT_EQ(Calls().progress, ProgressOf(c.blocks, c.pieces, kDefaultBusyPolls + 1));
    EXPECT_EQ(drive.SavesAccepted(), 1);
    EXPECT_EQ(drive.Identity().revision, "1.10");
}

INSTANTIATE_TEST_SUITE_P(
    Table, SentLengthTest,
    ::testing::Values(LengthCase{"HexJustUnder64K", true, 0xFFFF, 16, 1},
                      LengthCase{"HexExactly64K", true, 0x10000, 32, 2},
                      LengthCase{"HexJustOver64K", true, 0x10001, 32, 2},
                      LengthCase{"HexOneMiB", true, 0x100000, 256, 16},
                      LengthCase{"Raw5000", false, 5000, 2, 0},
                      LengthCase{"RawOneMiB", false, 0x100000, 256, 16}),
    [](const auto& info) { return std::string(info.param.name); });

struct FaultCase {
    const char* name;
    std::function<void(VirtualDrive&)> inject;
    bool result;
    std::vector<std::string> messages; // after "Please wait a minute....."
    std::vector<std::string> sumTail;  // last lines of "sum.txt"
    int saves;                         // save commands sent
    std::vector<std::uint32_t> waits;
    std::int32_t lastProgress; // where the progress bar is left
};

class DriveFaultTest : public DriveTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(DriveFaultTest, EndsAsTheFaultDemands)
{
    const FaultCase& c = GetParam();
    c.inject(drive);
    EXPECT_EQ(UpgradeRaw(MakeImage(5000)), c.result);

    std::vector<std::string> messages(Calls().messages.begin() + 2, Calls().messages.end());
    EXPECT_EQ(messages, c.messages);
    std::vector<std::string> lines = SumLines();
    ASSERT_GE(lines.size(), c.sumTail.size());
    EXPECT_EQ(std::vector<std::string>(lines.end() - c.sumTail.size(), lines.end()), c.sumTail);
    EXPECT_EQ(Count(IsSave), c.saves);
    EXPECT_EQ(clock.waits, c.waits);
    ASSERT_FALSE(Calls().progress.empty());
    EXPECT_EQ(Calls().progress.back(), c.lastProgress);
    ExpectNoSaveBeforeCompleteDownload(2);
}

const std::string kTimeOut = "fgTestUnitReadyComplete times Out! Drive might be Fail!  2/ 4/ 7/\n";

INSTANTIATE_TEST_SUITE_P(
    Table, DriveFaultTest,
    ::testing::Values(
        FaultCase{"BlockFailsFiveTimes", [](VirtualDrive& d) { d.FailBlock(1, 5); }, true, {},
                  {"fgInquiryComplete successed!"}, 1, WaitsOf(0, 3), 100},
        FaultCase{"BlockFailsSixTimes", [](VirtualDrive& d) { d.FailBlock(1, 6, {0x03, 0x0C, 0x00}); },
                  false, {"Execute command errorA!!  3/ C/ 0"}, {"Execute command error!!  3/ C/ 0"}, 0, {}, 10},
        FaultCase{"BlockLostInTransport", [](VirtualDrive& d) { d.FailTransportAt(0, 6); }, false,
                  {"Execute command errorA!!  0/ 0/ 0"}, {"Execute command error!!  0/ 0/ 0"}, 0, {}, 0},
        FaultCase{"HeaderRefused", [](VirtualDrive& d) { d.RefuseHeader(1, {0x05, 0x26, 0x00}); }, false,
                  {"Execute command errorB!!  5/26/ 0"}, {"Execute command error!!  5/26/ 0"}, 0, {}, 10},
        FaultCase{"SaveRefused", [](VirtualDrive& d) { d.RefuseSave(1, {0x05, 0x2C, 0x00}); }, false,
                  {"Execute command errorC!!  5/2C/ 0"},
                  {"Finished : fgWriteHeader()", "Execute command error!!  5/2C/ 0"}, 1, {}, 15},
        // A unit attention says the command was not carried out: header and
        // save go again, three sends in all; any other refusal ends the run.
        FaultCase{"HeaderUnitAttentionTwice", [](VirtualDrive& d) { d.RefuseHeader(2, {0x06, 0x29, 0x02}); },
                  true, {}, {"fgInquiryComplete successed!"}, 1, WaitsOf(0, 3), 100},
        FaultCase{"HeaderUnitAttentionThrice", [](VirtualDrive& d) { d.RefuseHeader(3, {0x06, 0x29, 0x02}); },
                  false, {"Execute command errorB!!  6/29/ 2"}, {"Execute command error!!  6/29/ 2"}, 0, {}, 10},
        FaultCase{"SaveUnitAttentionTwice", [](VirtualDrive& d) { d.RefuseSave(2, {0x06, 0x29, 0x02}); }, true,
                  {}, {"fgInquiryComplete successed!"}, 3, WaitsOf(0, 3), 100},
        FaultCase{"SaveUnitAttentionThrice", [](VirtualDrive& d) { d.RefuseSave(3, {0x06, 0x29, 0x02}); },
                  false, {"Execute command errorC!!  6/29/ 2"},
                  {"Finished : fgWriteHeader()", "Execute command error!!  6/29/ 2"}, 3, {}, 15},
        FaultCase{"BusyFor25Polls", [](VirtualDrive& d) { d.SetBusyPolls(25); }, true, {},
                  {"fgTestUnitReadyComplete OK!!", "fgInquiryComplete successed!"}, 1, WaitsOf(0, 26), 100},
        FaultCase{"BusyFor26Polls", [](VirtualDrive& d) { d.SetBusyPolls(26); }, false, {kTimeOut},
                  {"fgTestUnitReadyComplete failed.  2/ 4/ 7",
                   "fgTestUnitReadyComplete times Out! Drive might be fail!  2/ 4/ 7/"},
                  1, WaitsOf(0, 26), 95},
        FaultCase{"BusyForEver", [](VirtualDrive& d) { d.SetBusyPolls(kForever); }, false, {kTimeOut},
                  {"fgTestUnitReadyComplete times Out! Drive might be fail!  2/ 4/ 7/"}, 1, WaitsOf(0, 26), 95},
        FaultCase{"OtherSenseEndsThePoll",
                  [](VirtualDrive& d) {
                      d.SetBusyPolls(0);
                      d.SetSenseAfterSave({0x04, 0x44, 0x00});
                  },
                  true, {},
                  {"I will in fgTestUnitReadyComplete()", "fgTestUnitReadyComplete failed.  4/44/ 0",
                   "fgTestUnitReadyComplete OK!!", "fgInquiryComplete successed!"},
                  1, WaitsOf(0, 1), 100},
        // A unit attention answers nothing about readiness: the poll asks again.
        FaultCase{"UnitAttentionPollsAgain",
                  [](VirtualDrive& d) {
                      d.SetBusyPolls(0);
                      d.SetSenseAfterSave({0x06, 0x29, 0x00});
                  },
                  true, {},
                  {"I will in fgTestUnitReadyComplete()", "fgTestUnitReadyComplete failed.  6/29/ 0",
                   "fgTestUnitReadyComplete OK!!", "fgInquiryComplete successed!"},
                  1, WaitsOf(0, 2), 100}),
    [](const auto& info) { return std::string(info.param.name); });

// A drive that raises a unit attention after every download, as conforming
// targets do: each block but the first, the header and the save cost a second
// send, the ready poll ends on "microcode changed", and the upgrade succeeds.
TEST_F(UpgradeTest, UnitAttentionAfterEachDownloadCostsASendEach)
{
    drive.RaiseUnitAttentions();
    drive.SetBusyPolls(0);
    ASSERT_TRUE(UpgradeRaw(MakeImage(3 * 4096)));
    EXPECT_EQ(Count([](const ReceivedCommand& c) { return IsWrite(c, 4096); }), 5);
    EXPECT_EQ(Count([](const ReceivedCommand& c) { return IsWrite(c, 32); }), 2);
    EXPECT_EQ(Count(IsSave), 2);
    EXPECT_EQ(drive.SavesAccepted(), 1) << "the header's sum counts each block once";
    EXPECT_EQ(Calls().revisions, std::vector<std::string>{"1.10"});
    ExpectNoSaveBeforeCompleteDownload(3);
    std::vector<std::string> lines = SumLines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "fgTestUnitReadyComplete failed.  6/3F/16"), lines.end());
}

TEST_F(UpgradeTest, DriveThatNeverAnswersInquiryStillSucceedsWithEmptyTexts)
{
    drive.WithholdInquiry(kForever);
    ASSERT_TRUE(UpgradeRaw(MakeImage(5000)));

    EXPECT_EQ(Calls().messages.back(), "fgInquiryComplete times Out! Drive might be fail!  0/ 0/ 0/\n");
    EXPECT_EQ(Calls().driveNames, std::vector<std::string>{""});
    EXPECT_EQ(Calls().revisions, std::vector<std::string>{""});
    EXPECT_EQ(Count(IsInquiry), 11);
    std::vector<std::uint32_t> waits = WaitsOf(0, 3);
    waits.insert(waits.end(), 10, 1000);
    EXPECT_EQ(clock.waits, waits);
    EXPECT_EQ(Calls().progress.back(), 100);
    std::vector<std::string> lines = SumLines();
    EXPECT_EQ(lines.back(), "  0/ 0/ 0/");
    EXPECT_EQ(lines[lines.size() - 2], "fgInquiryComplete times Out! Drive might be fail!");
}

TEST_F(UpgradeTest, TenFailedInquiriesThenAnAnswer)
{
    drive.WithholdInquiry(10);
    ASSERT_TRUE(UpgradeRaw(MakeImage(5000)));
    EXPECT_EQ(Count(IsInquiry), 11);
    EXPECT_EQ(Calls().revisions, std::vector<std::string>{"1.10"});
    EXPECT_EQ(Calls().messages.size(), 2u);
}

// The drive checks the header's sum against what it holds: a block sent again
// must not be counted twice.
TEST_F(UpgradeTest, ResentBlockCountsOnceInTheHeaderSum)
{
    Bytes image = MakeImage(5000);
    drive.FailBlock(0, 2);
    drive.FailBlock(1, 3);
    ASSERT_TRUE(UpgradeRaw(image));
    EXPECT_EQ(drive.SavesAccepted(), 1);
    image.resize(2 * 4096, 0xFF);
    EXPECT_EQ(engine->_wSecSum, Sum16(image));
    EXPECT_EQ(BlockOffsets().size(), 7u);
}

TEST_F(UpgradeTest, ImageOfAnotherDriveSendsNothing)
{
    for (bool hex : {false, true}) {
        Calls() = Recorded{};
        Bytes image = MakeImage(5000, 0x100, "1.10");
        image[0x100] = 'X'; // spoils the model text
        std::string path = WriteFile(hex ? "other.hex" : "other.bin", hex ? ToHex(image) : std::string(image.begin(), image.end()));
        EXPECT_FALSE(Upgrade(path, hex)) << hex;
        EXPECT_EQ(Calls().messages, std::vector<std::string>{"It is an incorrect firmware version!"});
        EXPECT_TRUE(drive.Commands().empty());
        EXPECT_FALSE(std::filesystem::exists("sum.txt"));
    }
}

TEST_F(UpgradeTest, OlderRevisionIsRefused)
{
    EXPECT_FALSE(Upgrade(WriteFile("image.bin", MakeImage(5000)), false, "2.00"));
    EXPECT_TRUE(drive.Commands().empty());
}

TEST_F(UpgradeTest, ImagesThatDoNotLoadSendNothing)
{
    EXPECT_FALSE(Upgrade(Path("missing.hex"), true));
    EXPECT_EQ(Calls().messages,
              (std::vector<std::string>{"ERR: fail to open input file!", "ERR: fail to read input file!"}));
    Calls() = Recorded{};
    EXPECT_FALSE(Upgrade(WriteFile("bad.hex", HexRecord(0x00, 0, {1}) + ":00000001FE\n"), true));
    EXPECT_EQ(Calls().messages, std::vector<std::string>{"ERR: input file format mismatched!"});
    Calls() = Recorded{};
    EXPECT_FALSE(Upgrade(WriteFile("digit.hex", ":0G"), true));
    EXPECT_EQ(Calls().messages, (std::vector<std::string>{"ERR: input file format mismatched!",
                                                          "ERR: input file format mismatched!"}));
    EXPECT_TRUE(drive.Commands().empty());
    EXPECT_EQ(RegionsGained(), 0);
}

// Past 1 MiB a raw image may carry only fill; more than that is firmware the
// buffer can't hold, and none of it may reach the drive.
struct OversizeCase {
    const char* name;
    Bytes tail; // behind a 1 MiB image
    bool sent;
    std::uint64_t firstNotFill = 0;
};

class OversizeRawTest : public DriveTest, public ::testing::WithParamInterface<OversizeCase> {};

TEST_P(OversizeRawTest, SendsOnlyAnImageWithFillBehindItsFirstMiB)
{
    const OversizeCase& c = GetParam();
    Bytes image = MakeImage(0x100000, 0x100, "1.10");
    image.insert(image.end(), c.tail.begin(), c.tail.end());
    const bool upgraded = UpgradeRaw(image);
    if (c.sent) {
        EXPECT_TRUE(upgraded);
        EXPECT_EQ(BlockOffsets().size(), 256u);
        EXPECT_EQ(drive.SavesAccepted(), 1);
        return;
    }
    EXPECT_FALSE(upgraded);
    EXPECT_TRUE(drive.Commands().empty());
    EXPECT_EQ(Calls().messages, std::vector<std::string>{"ERR: input file format mismatched!"});
    EXPECT_EQ(engine->m_loadProblem.kind, LoadProblemKind::TooLarge);
    EXPECT_EQ(engine->m_loadProblem.at, c.firstNotFill);
    EXPECT_EQ(engine->m_loadProblem.size, image.size());
    EXPECT_FALSE(std::filesystem::exists("sum.txt"));
    EXPECT_EQ(RegionsGained(), 0);
}

Bytes MixedTail()
{
    Bytes tail(0x1000, 0xFF);
    tail[0x800] = 0x00;
    return tail;
}

INSTANTIATE_TEST_SUITE_P(
    Table, OversizeRawTest,
    // The pattern's first byte is 00h, a fill value; its second is not.
    ::testing::Values(OversizeCase{"FourKiBOfData", MakeImage(0x1000, 0x1000), false, 0x100001},
                      OversizeCase{"FourKiBOfFF", Bytes(0x1000, 0xFF), true},
                      OversizeCase{"FourKiBOf00", Bytes(0x1000, 0x00), true},
                      OversizeCase{"FFThen00", MixedTail(), false, 0x100800},
                      // The last byte of a long tail still counts.
                      OversizeCase{"OneByteAtTheEnd", [] { Bytes t(0x9000, 0x00); t.back() = 0x01; return t; }(),
                                   false, 0x100000 + 0x8FFF}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpgradeTest, StopRequestBeforeABlockEndsTheRunBeforeTheSave)
{
    Calls().terminateFromCall = 2; // asked before the second block
    EXPECT_FALSE(UpgradeRaw(MakeImage(3 * 4096)));
    EXPECT_EQ(Calls().messages.back(), kTerminated);
    EXPECT_EQ(SumLines().back(), "CBIfTerminated failed!!");
    EXPECT_EQ(BlockOffsets(), std::vector<std::uint32_t>{0x20});
    EXPECT_EQ(Count(IsSave), 0);
    EXPECT_EQ(RegionsGained(), 0); // the report gave the buffer back
    EXPECT_TRUE(clock.waits.empty());
}

TEST_F(UpgradeTest, StopRequestAfterTheIdentityIsReportedButChangesNothing)
{
    Calls().terminateFromCall = 3; // two blocks, then the final check
    EXPECT_TRUE(UpgradeRaw(MakeImage(5000)));
    EXPECT_EQ(Calls().messages.back(), kTerminated);
    EXPECT_EQ(SumLines().back(), "2: CBIfTerminated()");
    EXPECT_EQ(drive.Identity().revision, "1.10");
    EXPECT_EQ(Calls().progress.back(), 100);
}

// "sum.txt" keeps what earlier runs wrote, and the save's error line has no
// line end of its own.
TEST_F(UpgradeTest, DiagnosticsAreAppendedAndTheSaveErrorLineIsLeftOpen)
{
    WriteFile("sum.txt", "earlier run\n");
    drive.RefuseSave(1, {0x05, 0x2C, 0x00});
    EXPECT_FALSE(UpgradeRaw(MakeImage(5000)));

    std::ifstream file("sum.txt");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text.rfind("earlier run\nModel Name : ", 0), 0u) << text;
    const std::string last = "\nExecute command error!!  5/2C/ 0";
    ASSERT_GE(text.size(), last.size());
    EXPECT_EQ(text.substr(text.size() - last.size()), last);
}

TEST_F(UpgradeTest, MissingDiagnosticFileCostsOnlyItsLines)
{
    std::filesystem::create_directory("sum.txt"); // can't be opened as a file
    EXPECT_TRUE(UpgradeRaw(MakeImage(5000)));
    EXPECT_EQ(BlockOffsets(), (std::vector<std::uint32_t>{0x20, 0x1020}));
    EXPECT_EQ(drive.Identity().revision, "1.10");
}

} // namespace
} // namespace engine_test
