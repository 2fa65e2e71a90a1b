#include "flash/drive_commands.h"
#include "emu/drive_rig.h"
#include "engine_fixture.h"

namespace engine_test {
namespace {

using Cdb12 = std::array<std::uint8_t, 12>;

Cdb12 CdbOf(const ReceivedCommand& command)
{
    Cdb12 cdb{};
    std::copy_n(command.cdb.begin(), 12, cdb.begin());
    return cdb;
}

// A drive behind the rig and an engine holding `image` as a raw image, with
// its bank position on the second block.
class DriveCommandsTest : public EngineTest, public ::testing::WithParamInterface<RigTransport> {
protected:
    void Start(const Bytes& image)
    {
        rig_ = std::make_unique<DriveRig>(drive_, GetParam());
        engine_ = std::make_unique<CFlashEngine>(
            Param(WriteFile("image.bin", image), false, &rig_->Entry()), rig_->Transport());
        ASSERT_GE(engine_->LoadImage(), 0);
        engine_->m_byBankIndex = 0;
        engine_->m_wBankOffset = 0x1000;
    }
    const ReceivedCommand& Last() const { return drive_.Commands().back(); }

    VirtualDrive drive_;
    std::unique_ptr<DriveRig> rig_;
    std::unique_ptr<CFlashEngine> engine_;
    std::uint8_t sense_[scsi::kSenseAreaSize] = {};
};

TEST_P(DriveCommandsTest, SendsEachCommandBlockByteForByte)
{
    Bytes image = MakeImage(3 * 4096);
    Start(image);

    EXPECT_TRUE(fgWriteOneFlashCmdData(*engine_, 0x1020, sense_));
    EXPECT_EQ(CdbOf(Last()), (Cdb12{0x3B, 0x06, 0, 0x00, 0x10, 0x20, 0x00, 0x10, 0x00, 0, 0, 0}));
    EXPECT_TRUE(Last().dataOut);
    EXPECT_EQ(Last().length, 4096u);
    EXPECT_TRUE(std::equal(image.begin() + 0x1000, image.begin() + 0x2000,
                           drive_.DownloadBuffer().begin() + 0x1020));

    engine_->_wSecSum = 0x1234;
    EXPECT_TRUE(fgWriteHeader(*engine_, 0, sense_));
    EXPECT_EQ(CdbOf(Last()), (Cdb12{0x3B, 0x06, 0, 0, 0, 0, 0x00, 0x00, 0x20, 0, 0, 0}));
    EXPECT_TRUE(Last().dataOut);
    EXPECT_EQ(Last().length, 32u);
    Bytes header(drive_.DownloadBuffer().begin(), drive_.DownloadBuffer().begin() + 32);
    Bytes expected(32, 0);
    expected[30] = 0x12;
    expected[31] = 0x34;
    EXPECT_EQ(header, expected);

    fgSaveFlash(*engine_, sense_); // the drive may refuse this sum; the block is what counts
    EXPECT_EQ(CdbOf(Last()), (Cdb12{0x3B, 0x07, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(Last().dataOut);
    EXPECT_EQ(Last().length, 0u);

    fgTestUnitReadyComplete(*engine_, sense_);
    EXPECT_EQ(CdbOf(Last()), Cdb12{});
    EXPECT_FALSE(Last().dataOut);
    EXPECT_EQ(Last().length, 0u);

    std::uint8_t inquiry[36] = {};
    EXPECT_TRUE(fgInquiryComplete(*engine_, inquiry));
    EXPECT_EQ(CdbOf(Last()), (Cdb12{0x12, 0, 0, 0, 0x24, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Last().length, 36u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(inquiry + 8), 28), std::string(kModel) + "1.00");

    for (const ReceivedCommand& command : drive_.Commands())
        EXPECT_EQ(command.cdbLength, 12);
}

// The running sum only grows by blocks the drive accepted; "sum.txt" hears of
// every send all the same.
TEST_P(DriveCommandsTest, BlockSumAndItsDiagnosticLines)
{
    Start(Bytes(3 * 4096, 0xFF));
    engine_->m_pSumFile = std::fopen("sum.txt", "w");
    ASSERT_NE(engine_->m_pSumFile, nullptr);
    const std::uint16_t total = engine_->_total;
    engine_->_wSecSum = 0x0100;

    EXPECT_TRUE(fgWriteOneFlashCmdData(*engine_, 0x1020, sense_));
    EXPECT_EQ(engine_->_wSecSum, 0xF100); // 4096 x 0xFF wraps to 0xF000

    drive_.FailWriteAt(0x1020, 1, {0x03, 0x0C, 0x00});
    EXPECT_FALSE(fgWriteOneFlashCmdData(*engine_, 0x1020, sense_));
    EXPECT_EQ(engine_->_wSecSum, 0xF100);
    EXPECT_EQ(sense_[2], 0x03);
    EXPECT_EQ(sense_[12], 0x0C);
    EXPECT_EQ(sense_[13], 0x00);

    EXPECT_TRUE(fgWriteHeader(*engine_, 0, sense_));
    engine_->_wSecSum = 0x1234;
    EXPECT_TRUE(fgWriteHeader(*engine_, 0, sense_));
    std::fclose(engine_->m_pSumFile);
    engine_->m_pSumFile = nullptr;

    char first[64], second[64];
    std::snprintf(first, sizeof first, "Address=00001020,_wSecSum=F100,_total=%.4X",
                  static_cast<unsigned>(static_cast<std::uint16_t>(total + 0xF100)));
    std::snprintf(second, sizeof second, "Address=00001020,_wSecSum=F100,_total=%.4X",
                  static_cast<unsigned>(static_cast<std::uint16_t>(total + 2 * 0xF100)));
    EXPECT_EQ(SumLines(), (std::vector<std::string>{first, second, "sSendBuf[30]=F1   sSendBuf[31]=0",
                                                    "sSendBuf[30]=12   sSendBuf[31]=34"}));
    EXPECT_EQ(engine_->_total, static_cast<std::uint16_t>(total + 2 * 0xF100));
}

TEST_P(DriveCommandsTest, RefusalsReturnFalseWithTheirSense)
{
    Start(MakeImage(4096));
    drive_.RefuseHeader(1, {0x05, 0x26, 0x00});
    EXPECT_FALSE(fgWriteHeader(*engine_, 0, sense_));
    EXPECT_EQ(sense_[2], 0x05);
    EXPECT_EQ(sense_[12], 0x26);

    drive_.WithholdInquiry(1, false);
    std::uint8_t inquiry[36] = {};
    EXPECT_FALSE(fgInquiryComplete(*engine_, inquiry));
    EXPECT_EQ(inquiry[8], 0); // nothing came back
    EXPECT_TRUE(fgInquiryComplete(*engine_, inquiry));
}

INSTANTIATE_TEST_SUITE_P(Transports, DriveCommandsTest,
                         ::testing::Values(RigTransport::PassThrough, RigTransport::Aspi),
                         [](const auto& info) {
                             return info.param == RigTransport::Aspi ? "Aspi" : "PassThrough";
                         });

} // namespace
} // namespace engine_test
