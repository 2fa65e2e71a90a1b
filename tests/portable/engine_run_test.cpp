#include <algorithm>

#include "engine_drive.h"
#include "flash/run_progress.h"

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

// Every way a run can end, as the outcome names it: what a front end
// decides from, beside the log lines.
enum class Image { Good, Missing, BrokenHex, OtherDrive };

struct EndCase {
    const char* name;
    Image image;
    std::function<void(VirtualDrive&)> fault;
    int stopFromCall;
    RunEnd end;
    RefusalReason refusal;
    DriveCommand failed;
    SenseTriple sense; // the failed command's, when the drive answered it
    bool driveAnswered;
};

class RunEndTest : public RunTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(RunEndTest, OutcomeNamesWhatHappened)
{
    const EndCase& c = GetParam();
    if (c.fault)
        c.fault(drive);
    Calls().terminateFromCall = c.stopFromCall;
    std::string path;
    switch (c.image) {
    case Image::Good: path = WriteFile("image.bin", MakeImage(5000)); break; // two blocks
    case Image::Missing: path = Path("none.bin"); break;
    case Image::BrokenHex: path = WriteFile("bad.hex", ":0100000001FF\n" + HexEnd()); break;
    case Image::OtherDrive: path = WriteFile("other.bin", MakeImage(5000, 0x100000)); break;
    }
    engine = std::make_unique<CFlashEngine>(
        Param(path, c.image == Image::BrokenHex, &rig->Entry()), rig->Transport());
    const RunOutcome outcome = engine->Run();

    EXPECT_EQ(RunEndName(outcome.end), std::string(RunEndName(c.end)));
    EXPECT_EQ(outcome.refusal, c.refusal);
    EXPECT_EQ(DriveCommandName(outcome.failed), std::string(DriveCommandName(c.failed)));
    EXPECT_EQ(outcome.sentAnything, c.end != RunEnd::Refused);
    EXPECT_EQ(outcome.Succeeded(), Calls().messages.back() == "Please Restart Your Computer.");
    EXPECT_EQ(std::string(outcome.before.revision), "1.00");
    if (c.end == RunEnd::Refused) {
        EXPECT_TRUE(drive.Commands().empty());
    }
    if (c.failed != DriveCommand::None) {
        const bool answered = outcome.result.outcome == scsi::Outcome::CheckCondition;
        EXPECT_EQ(answered, c.driveAnswered);
        if (answered) {
            const SenseTriple t = outcome.result.Triple();
            EXPECT_EQ(t.key, c.sense.key);
            EXPECT_EQ(t.asc, c.sense.asc);
            EXPECT_EQ(t.ascq, c.sense.ascq);
        }
    }
    if (c.failed == DriveCommand::Block) {
        EXPECT_EQ(outcome.blockOffset, 0x1000u);
    }
    if (c.end == RunEnd::Upgraded) {
        EXPECT_EQ(std::string(outcome.after.model), kModel);
        EXPECT_EQ(std::string(outcome.after.revision), "1.10");
    } else {
        EXPECT_EQ(std::string(outcome.after.model), "");
    }
    // Whatever the outcome, the old firmware is gone only after an accepted save.
    EXPECT_EQ(drive.SavesAccepted() > 0,
              c.end == RunEnd::Upgraded || c.end == RunEnd::NeverReady || c.end == RunEnd::NeverIdentified);
}

const EndCase kEnds[] = {
    {"MissingImage", Image::Missing, nullptr, 0, RunEnd::Refused, RefusalReason::ImageUnreadable,
     DriveCommand::None, {}, false},
    {"BrokenHex", Image::BrokenHex, nullptr, 0, RunEnd::Refused, RefusalReason::ImageFormat,
     DriveCommand::None, {}, false},
    {"ImageOfAnotherDrive", Image::OtherDrive, nullptr, 0, RunEnd::Refused, RefusalReason::WrongImage,
     DriveCommand::None, {}, false},
    {"StoppedBetweenBlocks", Image::Good, nullptr, 2, RunEnd::Stopped, RefusalReason::None,
     DriveCommand::None, {}, false},
    {"BlockRefusedSixTimes", Image::Good, [](VirtualDrive& d) { d.FailBlock(1, 6); }, 0, RunEnd::NotSaved,
     RefusalReason::None, DriveCommand::Block, {0x03, 0x0C, 0x00}, true},
    {"HeaderRefused", Image::Good, [](VirtualDrive& d) { d.RefuseHeader(); }, 0, RunEnd::NotSaved,
     RefusalReason::None, DriveCommand::Header, {0x05, 0x26, 0x00}, true},
    {"SaveRefused", Image::Good, [](VirtualDrive& d) { d.RefuseSave(); }, 0, RunEnd::NotSaved,
     RefusalReason::None, DriveCommand::Save, {0x05, 0x2C, 0x00}, true},
    // Blocks are commands 0 and 1, the header 2, the save 3.
    {"SaveLostOnTheWay", Image::Good, [](VirtualDrive& d) { d.FailTransportAt(3); }, 0,
     RunEnd::SaveUnanswered, RefusalReason::None, DriveCommand::Save, {}, false},
    {"BusyForEver", Image::Good, [](VirtualDrive& d) { d.SetBusyPolls(kForever); }, 0, RunEnd::NeverReady,
     RefusalReason::None, DriveCommand::ReadyPoll, {0x02, 0x04, 0x07}, true},
    {"NeverAnswersInquiryAgain", Image::Good, [](VirtualDrive& d) { d.WithholdInquiry(11); }, 0,
     RunEnd::NeverIdentified, RefusalReason::None, DriveCommand::Inquiry, {0x02, 0x04, 0x01}, true},
    {"Upgraded", Image::Good, nullptr, 0, RunEnd::Upgraded, RefusalReason::None, DriveCommand::None, {}, false},
};

INSTANTIATE_TEST_SUITE_P(Table, RunEndTest, ::testing::ValuesIn(kEnds),
                         [](const auto& info) { return std::string(info.param.name); });

// Hands every command on to the drive; on the way, when `when` first says so,
// asks the run's stop request as a user would at that moment.
class StopOnTheWay final : public scsi::Transport {
public:
    StopOnTheWay(scsi::Transport& inner, StopRequest& stop, std::function<bool(const scsi::Command&)> when)
        : inner_(inner), stop_(stop), when_(std::move(when))
    {
    }
    scsi::Result Execute(const scsi::Command& command) override
    {
        if (!asked && when_(command)) {
            asked = true;
            answer = stop_.Request();
        }
        return inner_.Execute(command);
    }
    bool asked = false;
    StopRequest::Answer answer = StopRequest::Answer::Taken;

private:
    scsi::Transport& inner_;
    StopRequest& stop_;
    std::function<bool(const scsi::Command&)> when_;
};

struct StopCase {
    const char* name;
    int atBlock;        // the request comes while this block (1-based) is on its way; 0: before the run
    bool atReadyPoll;   // or while the first ready poll is
    bool taken;         // answered Taken (else TooLate)
    int blocksSent;
};

class StopTimingTest : public RunTest, public ::testing::WithParamInterface<StopCase> {};

// A request is honoured before the next block, or answered "too late" and
// then changes nothing at all: no log line, no diagnostic line, the run's
// outcome as if it never came.
TEST_P(StopTimingTest, TakenBeforeTheLastBlockOrChangesNothing)
{
    const StopCase& c = GetParam();
    Calls().stop = &stop;
    int blocks = 0;
    StopOnTheWay transport(rig->Transport(), stop, [&](const scsi::Command& command) {
        const bool block = command.cdb[0] == 0x3B && command.cdb[1] == 0x06 && command.dataLength == 4096;
        if (block && ++blocks == c.atBlock)
            return true;
        return c.atReadyPoll && command.cdb[0] == 0x00;
    });
    if (c.atBlock == 0 && !c.atReadyPoll) {
        transport.asked = true;
        transport.answer = stop.Request();
    }
    engine = std::make_unique<CFlashEngine>(
        Param(WriteFile("image.bin", MakeImage(3 * 4096)), false, &rig->Entry()), transport);
    const RunOutcome outcome = engine->Run();

    ASSERT_TRUE(transport.asked);
    EXPECT_EQ(transport.answer == StopRequest::Answer::Taken, c.taken);
    EXPECT_EQ(Count([](const ReceivedCommand& r) { return IsWrite(r, 4096); }), c.blocksSent);
    const auto& log = Calls().messages;
    const bool stopLogged =
        std::count(log.begin(), log.end(), "ERR: terminate upgrade/backup flash!") > 0;
    EXPECT_EQ(stopLogged, c.taken);
    const std::vector<std::string> sum = SumLines();
    EXPECT_EQ(std::count(sum.begin(), sum.end(), "2: CBIfTerminated()"), 0);
    if (c.taken) {
        EXPECT_EQ(outcome.end, RunEnd::Stopped);
        EXPECT_EQ(drive.SavesAccepted(), 0);
        EXPECT_EQ(log.back(), "Flashing is incorrect!!");
    } else {
        EXPECT_EQ(outcome.end, RunEnd::Upgraded);
        EXPECT_EQ(drive.SavesAccepted(), 1);
        EXPECT_EQ(log.back(), "Please Restart Your Computer.");
        EXPECT_EQ(stop.LateRequests(), 1u);
    }
}

const StopCase kStopTimes[] = {
    {"BeforeTheFirstBlock", 0, false, true, 0},
    {"BetweenBlocks", 2, false, true, 2},
    {"DuringTheLastBlock", 3, false, false, 3},
    {"AfterTheSave", 0, true, false, 3},
};

INSTANTIATE_TEST_SUITE_P(Times, StopTimingTest, ::testing::ValuesIn(kStopTimes),
                         [](const auto& info) { return std::string(info.param.name); });

// The engine's plan and events carry a bar from 0 to the end without a step
// back, through resends, unit attentions, busy polls and unanswered INQUIRYs.
TEST_F(RunTest, ProgressNeverGoesBackAndIsFullOnlyAtTheEnd)
{
    drive.FailBlock(1, 3);
    drive.RaiseUnitAttentions();
    drive.SetBusyPolls(4);
    drive.WithholdInquiry(2);
    engine = std::make_unique<CFlashEngine>(
        Param(WriteFile("image.bin", MakeImage(0x20000)), false, &rig->Entry()), rig->Transport());
    ASSERT_EQ(engine->Run().end, RunEnd::Upgraded);

    const std::vector<RunEvent>& events = Calls().events;
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.front().step, RunStep::Planned);
    EXPECT_EQ(events.front().plan.blocks, 32u);
    EXPECT_EQ(events.front().plan.programmingWaits, 2u);
    EXPECT_EQ(events.back().step, RunStep::Identified);
    const auto count = [&](RunStep step) {
        return std::count_if(events.begin(), events.end(), [&](const RunEvent& e) { return e.step == step; });
    };
    EXPECT_EQ(count(RunStep::BlockAccepted), 32); // a resent block once
    EXPECT_EQ(count(RunStep::HeaderAccepted), 1);
    EXPECT_EQ(count(RunStep::SaveAccepted), 1);
    EXPECT_EQ(count(RunStep::ProgrammingWait), 2);
    EXPECT_EQ(count(RunStep::Inquiry), 3);

    RunProgress progress;
    std::uint32_t last = 0;
    for (const RunEvent& e : events) {
        progress.Take(e);
        EXPECT_GE(progress.Permille(), last) << "step " << static_cast<int>(e.step) << " " << e.index;
        if (e.step != RunStep::Identified) {
            EXPECT_LT(progress.Permille(), 1000u);
        }
        last = progress.Permille();
    }
    EXPECT_EQ(progress.Percent(), 100);
}

TEST_F(RunTest, ProgressOfARunThatFailsStopsShortOfFull)
{
    drive.SetBusyPolls(kForever);
    engine = std::make_unique<CFlashEngine>(
        Param(WriteFile("image.bin", MakeImage(5000)), false, &rig->Entry()), rig->Transport());
    engine->Run();
    RunProgress progress;
    for (const RunEvent& e : Calls().events)
        progress.Take(e);
    EXPECT_GT(progress.Percent(), 0);
    EXPECT_LT(progress.Percent(), 100);
}

} // namespace
} // namespace engine_test

namespace engine_test {
namespace {

// An image read and checked before the run (a front end that judges the file
// before it looks for drives) is sent as it was read: the file is not read
// again, and the buffer is given back once.
TEST_F(RunTest, AdoptedImageIsSentAsItWasRead)
{
    const std::string path = WriteFile("image.hex", ToHex(MakeImage(0x200)));
    CFlashEngine reader(Param(path, true), noDrive);
    ASSERT_EQ(reader.LoadImage(), kLoadComplete);
    std::remove(path.c_str());

    engine = std::make_unique<CFlashEngine>(Param(path, true, &rig->Entry()), rig->Transport());
    engine->AdoptImage(reader);
    EXPECT_EQ(reader.m_pBank[0], nullptr);
    const RunOutcome outcome = engine->Run();
    EXPECT_EQ(outcome.end, RunEnd::Upgraded);
    EXPECT_EQ(BlockOffsets().size(), 16u);
    EXPECT_EQ(drive.SavesAccepted(), 1);
    EXPECT_EQ(noDrive.commands, 0);
    EXPECT_EQ(RegionsGained(), 0);
}

} // namespace
} // namespace engine_test

namespace engine_test {
namespace {

// Several runs send one image that another engine owns: none of them gives
// it back, each writes the diagnostics file it was given.
TEST_F(RunTest, SharedImageStaysWithItsOwner)
{
    const std::string path = WriteFile("image.bin", MakeImage(5000));
    const int held = ImageRegionsHeld();
    {
        CFlashEngine owner(Param(path, false), noDrive);
        ASSERT_EQ(owner.LoadImage(), kLoadComplete);
        for (const char* sum : {"sum-a.txt", "sum-b.txt"}) {
            FlashParam param = Param(path, false, &rig->Entry());
            std::snprintf(param.szSumPath, sizeof param.szSumPath, "%s", sum);
            CFlashEngine run(param, rig->Transport());
            run.ShareImage(owner);
            EXPECT_EQ(run.Run().end, RunEnd::Upgraded);
            EXPECT_EQ(run.m_pBank[0], nullptr);
            EXPECT_NE(owner.m_pBank[0], nullptr) << "a run gave back an image it only borrowed";
            EXPECT_TRUE(std::filesystem::exists(sum));
        }
        EXPECT_EQ(drive.SavesAccepted(), 2);
        EXPECT_EQ(ImageRegionsHeld(), held + 1);
    }
    EXPECT_EQ(ImageRegionsHeld(), held);
    EXPECT_FALSE(std::filesystem::exists("sum.txt"));
}

} // namespace
} // namespace engine_test

namespace engine_test {
namespace {

// A front end that explains failures gets its words logged right after the
// error line the run logs, and written to "sum.txt"; the lines of the log
// and of "sum.txt" are otherwise those of a run without it.
TEST_F(RunTest, FailureWordsFollowTheErrorLine)
{
    struct Case {
        const char* name;
        std::function<void(VirtualDrive&)> fault;
        const char* errorLine; // its start
        bool succeeds;
    } cases[] = {
        {"block", [](VirtualDrive& d) { d.FailBlock(1, 6); }, "Execute command errorA!!", false},
        {"save", [](VirtualDrive& d) { d.RefuseSave(); }, "Execute command errorC!!", false},
        {"busy", [](VirtualDrive& d) { d.SetBusyPolls(kForever); }, "fgTestUnitReadyComplete times Out!", false},
        {"inquiry", [](VirtualDrive& d) { d.WithholdInquiry(11); }, "fgInquiryComplete times Out!", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove("sum.txt");
        drive = VirtualDrive();
        rig = std::make_unique<DriveRig>(drive);
        c.fault(drive);
        Calls().messages.clear();
        FlashParam param = Param(WriteFile("image.bin", MakeImage(5000)), false, &rig->Entry());
        param.callbacks.DescribeFailure = [](void*, const RunOutcome& outcome) -> const char* {
            static std::string words;
            words = std::string("WORDS ") + RunEndName(outcome.end) + " at " + DriveCommandName(outcome.failed);
            return words.c_str();
        };
        engine = std::make_unique<CFlashEngine>(param, rig->Transport());
        const RunOutcome outcome = engine->Run();
        const auto& log = Calls().messages;
        ASSERT_GE(log.size(), 3u);
        const std::string words = std::string("WORDS ") + RunEndName(outcome.end) + " at " +
                                  DriveCommandName(outcome.failed);
        EXPECT_EQ(log[log.size() - 3].rfind(c.errorLine, 0), 0u) << log[log.size() - 3];
        EXPECT_EQ(log[log.size() - 2], words);
        EXPECT_EQ(log.back(), c.succeeds ? "Please Restart Your Computer." : "Flashing is incorrect!!");
        const std::vector<std::string> sum = SumLines();
        EXPECT_EQ(std::count(sum.begin(), sum.end(), words), 1);
    }
}

} // namespace
} // namespace engine_test
