// How a run reads the drive's answers, whatever path they take (natively the
// virtual drive's transport with either Windows path's rules; under Windows
// the program's own pass-through and ASPI transports over the virtual
// machine): the key apart from its flag bits, descriptor sense as fixed,
// NO SENSE and RECOVERED ERROR as a command carried out, no resend of what
// the drive will refuse again, and a save whose answer does not prove it
// was left alone never reported as nothing saved.
#include <gtest/gtest.h>

#include <functional>

#include "engine_drive.h"

namespace engine_test {
namespace {

struct RuleCase {
    const char* name;
    std::function<void(VirtualDrive&)> answer;
    RunEnd end;
    int blockSends; // WRITE BUFFER of a block, all sends
    int saves;      // save commands sent
    int polls;      // TEST UNIT READY commands
    const char* logLine; // a line the log must hold, or null
};

const RuleCase kCases[] = {
    // Still programming, with ILI beside the key, or in descriptor format:
    // the poll goes on until the drive is done.
    {"BusyWithIli",
     [](VirtualDrive& d) {
         d.SetBusyPolls(4);
         d.Faults().senseFlags = 0x20;
     },
     RunEnd::Upgraded, 2, 1, 5, nullptr},
    {"BusyInDescriptorFormat",
     [](VirtualDrive& d) {
         d.SetBusyPolls(4);
         d.Faults().senseFormat = SenseFormat::Descriptor;
     },
     RunEnd::Upgraded, 2, 1, 5, nullptr},
    {"BusyInDescriptorFormatWithEom",
     [](VirtualDrive& d) {
         d.SetBusyPolls(4);
         d.Faults().senseFormat = SenseFormat::Descriptor;
         d.Faults().senseFlags = 0x40;
     },
     RunEnd::Upgraded, 2, 1, 5, nullptr},
    // Descriptor sense reaches the log in the fixed form it prints.
    {"HeaderRefusedInDescriptorFormat",
     [](VirtualDrive& d) {
         d.Faults().senseFormat = SenseFormat::Descriptor;
         d.RefuseHeader(1, {0x05, 0x26, 0x00});
     },
     RunEnd::NotSaved, 2, 0, 0, "Execute command errorB!!  5/26/ 0"},
    // A unit attention with a flag bit is still a unit attention: sent again.
    {"HeaderUnitAttentionWithAFlag",
     [](VirtualDrive& d) {
         d.RefuseHeader(1, {0x06, 0x29, 0x02});
         d.Faults().senseFlags = 0x80;
     },
     RunEnd::Upgraded, 2, 1, 1, nullptr},
    // The drive carried the save out and says so with NO SENSE or RECOVERED
    // ERROR: the run waits for it and reads its identity.
    {"SaveRecoveredError", [](VirtualDrive& d) { d.AnswerSavesWith({0x01, 0x17, 0x01}); }, RunEnd::Upgraded, 2, 1,
     1, nullptr},
    {"SaveNoSense", [](VirtualDrive& d) { d.AnswerSavesWith({0x00, 0x00, 0x00}); }, RunEnd::Upgraded, 2, 1, 1,
     nullptr},
    {"SaveRecoveredErrorInDescriptorFormat",
     [](VirtualDrive& d) {
         d.Faults().senseFormat = SenseFormat::Descriptor;
         d.AnswerSavesWith({0x01, 0x17, 0x01});
     },
     RunEnd::Upgraded, 2, 1, 1, nullptr},
    // A block the drive did not take, answered with sense that stops at its
    // response code (the rest of the area as it was cleared, which reads as
    // NO SENSE): that proves nothing, and the block goes again rather than
    // into the header's sum.
    {"BlockNoSenseWithoutItsCodes",
     [](VirtualDrive& d) {
         d.FailBlock(0, 1, {0x00, 0x00, 0x00});
         d.Faults().senseBytes = 1;
     },
     RunEnd::Upgraded, 3, 1, 1, nullptr},
    // A refusal that will come again is not asked for again.
    {"BlockIllegalRequest", [](VirtualDrive& d) { d.FailBlock(0, kForever, {0x05, 0x20, 0x00}); },
     RunEnd::NotSaved, 1, 0, 0, "Execute command errorA!!  5/20/ 0"},
    {"BlockIllegalRequestInDescriptorFormat",
     [](VirtualDrive& d) {
         d.Faults().senseFormat = SenseFormat::Descriptor;
         d.FailBlock(0, kForever, {0x05, 0x26, 0x00});
     },
     RunEnd::NotSaved, 1, 0, 0, "Execute command errorA!!  5/26/ 0"},
    {"BlockDataProtect", [](VirtualDrive& d) { d.FailBlock(0, kForever, {0x07, 0x27, 0x00}); }, RunEnd::NotSaved,
     1, 0, 0, "Execute command errorA!!  7/27/ 0"},
    // Anything else may pass: six sends, as ever.
    {"BlockMediumError", [](VirtualDrive& d) { d.FailBlock(0, kForever, {0x03, 0x0C, 0x00}); }, RunEnd::NotSaved,
     6, 0, 0, "Execute command errorA!!  3/ C/ 0"},
    // The save refused in words that say it was not started, and in words
    // that do not.
    {"SaveIllegalRequest", [](VirtualDrive& d) { d.RefuseSave(1, {0x05, 0x2C, 0x00}); }, RunEnd::NotSaved, 2, 1, 0,
     "Execute command errorC!!  5/2C/ 0"},
    {"SaveHardwareError", [](VirtualDrive& d) { d.RefuseSave(1, {0x04, 0x44, 0x00}); }, RunEnd::SaveFailed, 2, 1,
     0, "Execute command errorC!!  4/44/ 0"},
    {"SaveMediumErrorWithAFlag",
     [](VirtualDrive& d) {
         d.RefuseSave(1, {0x03, 0x0C, 0x00});
         d.Faults().senseFlags = 0x20;
     },
     RunEnd::SaveFailed, 2, 1, 0, "Execute command errorC!! 23/ C/ 0"},
};

class SenseRulesTest : public DriveTest,
                       public ::testing::WithParamInterface<std::tuple<RuleCase, RigTransport>> {
protected:
    void SetUp() override
    {
        DriveTest::SetUp();
        rig = std::make_unique<DriveRig>(drive, std::get<1>(GetParam()));
    }
};

TEST_P(SenseRulesTest, RunReadsTheAnswerAsScsiDefinesIt)
{
    const RuleCase& c = std::get<0>(GetParam());
    drive.SetBusyPolls(0);
    c.answer(drive);
    engine = std::make_unique<CFlashEngine>(
        Param(WriteFile("image.bin", MakeImage(5000)), false, &rig->Entry(), kListModel, "1.00"), rig->Transport());
    const RunOutcome outcome = engine->Run();
    EXPECT_EQ(RunEndName(outcome.end), std::string(RunEndName(c.end)));
    EXPECT_EQ(Count([](const ReceivedCommand& r) { return IsWrite(r, 4096); }), c.blockSends);
    EXPECT_EQ(Count(IsSave), c.saves);
    EXPECT_EQ(Count(IsTestUnitReady), c.polls);
    if (c.logLine) {
        const auto& log = Calls().messages;
        EXPECT_NE(std::find(log.begin(), log.end(), c.logLine), log.end()) << ::testing::PrintToString(log);
    }
    ExpectNoSaveBeforeCompleteDownload(2);
}

INSTANTIATE_TEST_SUITE_P(Table, SenseRulesTest,
                         ::testing::Combine(::testing::ValuesIn(kCases),
                                            ::testing::Values(RigTransport::PassThrough, RigTransport::Aspi)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).name) +
                                    (std::get<1>(info.param) == RigTransport::PassThrough ? "_PassThrough" : "_Aspi");
                         });

// Failures the transport recognises: sending again would only take the
// command's whole time-out again, or knock at a drive that is gone.
class LostBlocks final : public scsi::Transport {
public:
    LostBlocks(scsi::Transport& inner, bool timedOut) : inner_(inner), timedOut_(timedOut) {}
    scsi::Result Execute(const scsi::Command& command) override
    {
        if (command.cdb[0] != scsi::kOpWriteBuffer || command.dataLength != scsi::kBlockSize)
            return inner_.Execute(command);
        ++sends;
        scsi::Result lost;
        lost.outcome = timedOut_ ? scsi::Outcome::TransportFailure : scsi::Outcome::SystemFailure;
        lost.timedOut = timedOut_;
        lost.deviceGone = !timedOut_;
        return lost;
    }
    int sends = 0;

private:
    scsi::Transport& inner_;
    bool timedOut_;
};

TEST_F(DriveTest, TimedOutOrVanishedBlockIsSentOnce)
{
    for (bool timedOut : {true, false}) {
        SCOPED_TRACE(timedOut ? "timed out" : "drive gone");
        LostBlocks lost(rig->Transport(), timedOut);
        CFlashEngine run(Param(WriteFile("image.bin", MakeImage(5000)), false, &rig->Entry()), lost);
        const RunOutcome outcome = run.Run();
        EXPECT_EQ(outcome.end, RunEnd::NotSaved);
        EXPECT_EQ(lost.sends, 1);
        EXPECT_EQ(outcome.failed, DriveCommand::Block);
    }
}

} // namespace
} // namespace engine_test
