#include "engine_drive.h"
#include "flash/run_stage.h"

namespace engine_test {
namespace {

using RunTest = DriveTest;

TEST_F(RunTest, SuccessEndsWithTheRestartLineAndGivesEverythingBack)
{
    engine = std::make_unique<CFlashEngine>(
        Param(WriteFile("image.bin", MakeImage(5000)), false, &rig->Entry()), rig->Transport());
    engine->Run();
    EXPECT_EQ(Calls().messages.back(), "Please Restart Your Computer.");
    EXPECT_EQ(Calls().statuses, (std::vector<std::string>{"Updating.....", ""}));
    EXPECT_EQ(engine->m_pBank[0], nullptr);
    EXPECT_EQ(RegionsGained(), 0);
    EXPECT_EQ(stage.load(), RunStage::Idle);
}

// A stop request that comes only after the new identity was read is reported,
// yet the run has succeeded.
TEST_F(RunTest, StopAfterTheIdentityStillEndsWithTheRestartLine)
{
    Calls().terminateFromCall = 3; // two blocks, then the final check
    engine = std::make_unique<CFlashEngine>(
        Param(WriteFile("image.bin", MakeImage(5000)), false, &rig->Entry()), rig->Transport());
    engine->Run();
    ASSERT_GE(Calls().messages.size(), 2u);
    EXPECT_EQ(Calls().messages[Calls().messages.size() - 2], "ERR: terminate upgrade/backup flash!");
    EXPECT_EQ(Calls().messages.back(), "Please Restart Your Computer.");
    EXPECT_EQ(RegionsGained(), 0);
}

// The run works on its own copy: what the dialog changes afterwards in its
// parameters doesn't reach it.
TEST_F(RunTest, ParametersChangedAfterTheStartDoNotReachTheRun)
{
    FlashParam param = Param(WriteFile("image.bin", MakeImage(5000)), false, &rig->Entry());
    engine = std::make_unique<CFlashEngine>(param, rig->Transport());
    std::snprintf(param.szImagePath, sizeof param.szImagePath, "%s", Path("other.bin").c_str());
    std::memset(param.szModel, 'X', sizeof param.szModel);
    std::memset(param.szRevision, 'X', sizeof param.szRevision);
    param.m_bHexFile = 1;
    param.drive.byTargetId = 99;
    param.callbacks = FlashCallbacks{};
    engine->Run();
    EXPECT_EQ(Calls().messages.back(), "Please Restart Your Computer.");
    EXPECT_EQ(drive.SavesAccepted(), 1);
}

struct FailedRun {
    const char* name;
    std::function<std::string(RunTest&)> image; // returns the image path
    bool hex;
    std::vector<std::string> messages;
    int stopFromCall = 0;
};

class FailedRunTest : public RunTest, public ::testing::WithParamInterface<FailedRun> {
public:
    using RunTest::WriteFile;
    using RunTest::Path;
};

// Whatever failed, the log ends in the failure's own lines and the closing
// line, the status is cleared and the buffer is back exactly once.
TEST_P(FailedRunTest, EndsWithTheFailureLine)
{
    const FailedRun& c = GetParam();
    Calls().terminateFromCall = c.stopFromCall;
    engine = std::make_unique<CFlashEngine>(Param(c.image(*this), c.hex, &rig->Entry()), rig->Transport());
    engine->Run();
    std::vector<std::string> messages = c.messages;
    messages.push_back("Flashing is incorrect!!");
    ASSERT_GE(Calls().messages.size(), messages.size());
    EXPECT_EQ(std::vector<std::string>(Calls().messages.end() - messages.size(), Calls().messages.end()),
              messages);
    EXPECT_EQ(Calls().statuses.back(), "");
    EXPECT_EQ(RegionsGained(), 0);
    EXPECT_EQ(stage.load(), RunStage::Idle);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FailedRunTest,
    ::testing::Values(
        FailedRun{"MissingImage", [](RunTest& t) { return static_cast<FailedRunTest&>(t).Path("none.bin"); },
                  false, {"ERR: fail to open input file!", "ERR: fail to read input file!"}},
        FailedRun{"BadRecordChecksum",
                  [](RunTest& t) {
                      return static_cast<FailedRunTest&>(t).WriteFile("bad.hex", ":0100000001FF\n" + HexEnd());
                  },
                  true, {"ERR: input file format mismatched!"}},
        FailedRun{"WrongModel",
                  [](RunTest& t) {
                      return static_cast<FailedRunTest&>(t).WriteFile("other.bin", MakeImage(5000, 0x100000));
                  },
                  false, {"It is an incorrect firmware version!"}},
        FailedRun{"StopBetweenBlocks",
                  [](RunTest& t) {
                      return static_cast<FailedRunTest&>(t).WriteFile("stop.bin", MakeImage(5000));
                  },
                  false, {"ERR: terminate upgrade/backup flash!"}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// The dialog decides from the stage whether a stop request can still be
// honoured: loading and the block loop honour it, nothing after does.
TEST_F(RunTest, StagesFollowTheRun)
{
    // The callbacks' context sees the stage the run has reached at each call.
    struct Probe {
        const std::atomic<RunStage>* stage;
        std::vector<RunStage> seen;
    } probe{&stage, {}};
    FlashParam param = Param(WriteFile("image.hex", ToHex(MakeImage(0x200, 0x10))), true, &rig->Entry());
    param.callbacks = FlashCallbacks{};
    param.callbacks.pContext = &probe;
    param.callbacks.CBShowMessage = [](void*, const char*) {};
    param.callbacks.CBShowStatus = [](void*, const char*) {};
    param.callbacks.CBSetDriveName = [](void*, const char*) {};
    param.callbacks.CBSetRevision = [](void*, const char*) {};
    param.callbacks.CBIfTerminated = [](void* context) -> std::uint8_t {
        auto& p = *static_cast<Probe*>(context);
        p.seen.push_back(p.stage->load());
        return 0;
    };
    param.callbacks.CBSetProgress = [](void* context, std::int32_t position) {
        auto& p = *static_cast<Probe*>(context);
        if (position == 15)
            p.seen.push_back(p.stage->load());
    };
    engine = std::make_unique<CFlashEngine>(param, rig->Transport());
    engine->Run();

    const std::vector<RunStage>& seen = probe.seen;
    ASSERT_GT(seen.size(), 18u);
    EXPECT_EQ(seen.front(), RunStage::Loading);
    // Then 16 block checks, the header's progress, and the final check made
    // while the drive is programming what the save gave it.
    std::vector<RunStage> tail(seen.end() - 18, seen.end());
    std::vector<RunStage> expected(16, RunStage::Transfer);
    expected.push_back(RunStage::Committed);
    expected.push_back(RunStage::Programming);
    EXPECT_EQ(tail, expected);
    EXPECT_EQ(stage.load(), RunStage::Idle);
}

} // namespace
} // namespace engine_test
