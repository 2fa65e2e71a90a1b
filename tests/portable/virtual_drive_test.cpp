#include "emu/virtual_drive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

const SenseTriple kGood{};
const SenseTriple kBusy{0x02, 0x04, 0x07};

// What one command came back with.
struct Reply {
    TargetAnswer answer;
    SenseTriple sense;
    Bytes data;
    Bytes rawSense;
};

Reply Send(VirtualDrive& drive, Bytes cdb, bool out = false, Bytes data = {},
           std::uint32_t senseLength = 32)
{
    cdb.resize(12);
    Reply r{};
    r.rawSense.assign(32, 0xEE);
    r.data = std::move(data);
    r.answer = drive.Execute(cdb.data(), 12, out, r.data.data(),
                             static_cast<std::uint32_t>(r.data.size()), r.rawSense.data(),
                             senseLength);
    if (r.answer == TargetAnswer::CheckCondition)
        r.sense = {r.rawSense[2], r.rawSense[12], r.rawSense[13]};
    return r;
}

Reply Inquiry(VirtualDrive& drive, std::uint8_t allocation = 36)
{
    return Send(drive, {0x12, 0, 0, 0, allocation}, false, Bytes(allocation, 0xFF));
}

Reply Tur(VirtualDrive& drive) { return Send(drive, {0x00}); }

Reply Write(VirtualDrive& drive, std::uint32_t offset, const Bytes& data)
{
    const auto n = static_cast<std::uint32_t>(data.size());
    return Send(drive,
                {0x3B, 0x06, 0x00, std::uint8_t(offset >> 16), std::uint8_t(offset >> 8),
                 std::uint8_t(offset), std::uint8_t(n >> 16), std::uint8_t(n >> 8),
                 std::uint8_t(n)},
                true, data);
}

Reply Save(VirtualDrive& drive) { return Send(drive, {0x3B, 0x07}); }

std::string Revision(VirtualDrive& drive)
{
    const Reply r = Inquiry(drive);
    return r.answer == TargetAnswer::Good ? std::string(r.data.begin() + 32, r.data.begin() + 36)
                                          : "";
}

// An image of `blocks` blocks of 0xFF carrying the default model text followed
// by `revision` somewhere in its second block.
Bytes Image(const std::string& revision, std::size_t blocks = 2)
{
    Bytes image(blocks * VirtualDrive::kBlockSize, 0xFF);
    const std::string text = "KAVORA  CD-ROM VIRTUAL  " + revision;
    std::memcpy(image.data() + 0x1100, text.data(), text.size());
    return image;
}

std::uint16_t Sum(const Bytes& image)
{
    std::uint16_t sum = 0;
    for (auto b : image)
        sum = static_cast<std::uint16_t>(sum + b);
    return sum;
}

Bytes Header(std::uint16_t sum)
{
    Bytes header(32, 0);
    header[30] = std::uint8_t(sum >> 8);
    header[31] = std::uint8_t(sum);
    return header;
}

// Sends the image block by block and the header with the given sum.
void Download(VirtualDrive& drive, const Bytes& image, std::uint16_t headerSum)
{
    for (std::size_t k = 0; k * VirtualDrive::kBlockSize < image.size(); ++k) {
        Bytes block(image.begin() + k * VirtualDrive::kBlockSize,
                    image.begin() + (k + 1) * VirtualDrive::kBlockSize);
        ASSERT_EQ(Write(drive, VirtualDrive::BlockOffset(std::uint32_t(k)), block).answer,
                  TargetAnswer::Good);
    }
    ASSERT_EQ(Write(drive, 0, Header(headerSum)).answer, TargetAnswer::Good);
}

void Download(VirtualDrive& drive, const Bytes& image) { Download(drive, image, Sum(image)); }

// Polls until the drive stops reporting an operation in progress; returns the
// number of busy answers and the first other answer's sense.
std::pair<int, SenseTriple> PollReady(VirtualDrive& drive, int limit = 50)
{
    int busy = 0;
    for (; busy < limit; ++busy) {
        const Reply r = Tur(drive);
        if (r.sense != kBusy)
            return {busy, r.sense};
    }
    return {busy, kBusy};
}

TEST(VirtualDriveInquiry, ReportsIdentityInStandardLayout)
{
    VirtualDrive drive({0x05, "VEND", "PRODUCT", "9.9"});
    const Reply r = Inquiry(drive);
    ASSERT_EQ(r.answer, TargetAnswer::Good);
    EXPECT_EQ(r.data[0], 0x05);
    EXPECT_EQ(r.data[4], 31); // additional length of 36-byte data
    EXPECT_EQ(std::string(r.data.begin() + 8, r.data.begin() + 36),
              "VEND    PRODUCT         9.9 ");
}

TEST(VirtualDriveInquiry, KeepsZeroBytesAndQualifier)
{
    VirtualDrive drive({0x25, std::string("KA\0ORA  ", 8), "CD-ROM VIRTUAL  ", "1.00"});
    const Reply r = Inquiry(drive);
    EXPECT_EQ(r.data[0], 0x25);
    EXPECT_EQ(r.data[10], 0x00);
    EXPECT_EQ(r.data[11], 'O');
}

TEST(VirtualDriveInquiry, StopsAtAllocationAndTransferLength)
{
    VirtualDrive drive;
    Reply r = Inquiry(drive, 5);
    EXPECT_EQ(r.data, (Bytes{0x05, 0x80, 0x00, 0x32, 31}));

    // A larger transfer than 36 bytes leaves the rest of the buffer alone.
    r = Send(drive, {0x12, 0, 0, 0, 0x7F}, false, Bytes(127, 0xFF));
    EXPECT_EQ(r.data[35], '0');
    EXPECT_EQ(r.data[36], 0xFF);
}

TEST(VirtualDrive, TestUnitReadyIsGoodWhenIdle)
{
    VirtualDrive drive;
    EXPECT_EQ(Tur(drive).answer, TargetAnswer::Good);
}

TEST(VirtualDrive, RefusesWhatItDoesNotSupportWithFixedFormatSense)
{
    struct Case {
        const char* what;
        Bytes cdb;
        SenseTriple sense;
    } cases[] = {
        {"READ(10)", {0x28}, {0x05, 0x20, 0x00}},
        {"REQUEST SENSE", {0x03, 0, 0, 0, 18}, {0x05, 0x20, 0x00}},
        {"WRITE BUFFER mode 02h", {0x3B, 0x02}, {0x05, 0x24, 0x00}},
        {"INQUIRY of a VPD page", {0x12, 0x01, 0x80, 0, 36}, {0x05, 0x24, 0x00}},
        {"INQUIRY page code without EVPD", {0x12, 0x00, 0x80, 0, 36}, {0x05, 0x24, 0x00}},
        {"WRITE BUFFER to buffer 1", {0x3B, 0x06, 0x01}, {0x05, 0x24, 0x00}},
        {"save of buffer 1", {0x3B, 0x07, 0x01}, {0x05, 0x24, 0x00}},
    };
    for (const Case& c : cases) {
        VirtualDrive drive;
        const Reply r = Send(drive, c.cdb);
        EXPECT_EQ(r.answer, TargetAnswer::CheckCondition) << c.what;
        EXPECT_EQ(r.sense, c.sense) << c.what;
        EXPECT_EQ(r.rawSense[0], 0x70) << c.what;
        EXPECT_EQ(r.rawSense[7], 10) << c.what;
        EXPECT_EQ(r.rawSense[18], 0xEE) << c.what << ": 18 bytes of sense, no more";
    }
}

TEST(VirtualDrive, DataAgainstTheCommandsDirectionFailsInTheTransport)
{
    struct Case {
        const char* what;
        Bytes cdb;
        bool out;
        std::size_t length;
    } cases[] = {
        {"INQUIRY sent as data out", {0x12, 0, 0, 0, 36}, true, 36},
        {"block write set up as data in", {0x3B, 0x06, 0, 0, 0, 0x20, 0, 0x10, 0x00}, false, 4096},
        {"block write short of its list", {0x3B, 0x06, 0, 0, 0, 0x20, 0, 0x10, 0x00}, true, 100},
        {"save with a list and nothing to send", {0x3B, 0x07, 0, 0, 0, 0, 0, 0, 0x20}, false, 0},
    };
    for (const Case& c : cases) {
        VirtualDrive drive;
        drive.SetBusyPolls(0);
        const Reply r = Send(drive, c.cdb, c.out, Bytes(c.length, 0x5A));
        EXPECT_EQ(r.answer, TargetAnswer::TransportFailure) << c.what;
        EXPECT_EQ(r.data, Bytes(c.length, 0x5A)) << c.what;
        EXPECT_EQ(drive.ImageEnd(), VirtualDrive::kHeaderSize) << c.what;
        EXPECT_EQ(drive.SavesAccepted(), 0) << c.what;
    }
}

TEST(VirtualDrive, WritesNoMoreSenseThanAskedFor)
{
    VirtualDrive drive;
    const Reply r = Send(drive, {0x28}, false, {}, 14);
    EXPECT_EQ(r.rawSense[13], 0x00);
    EXPECT_EQ(r.rawSense[14], 0xEE);
}

TEST(VirtualDrive, KeepsEveryCommandItReceived)
{
    VirtualDrive drive;
    Tur(drive);
    Write(drive, 0x1020, Bytes(4096, 1));
    Send(drive, {0x28});
    const auto& log = drive.Commands();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_TRUE(log[0].good);
    EXPECT_EQ(log[1].cdb[0], 0x3B);
    EXPECT_EQ(log[1].cdb[4], 0x10);
    EXPECT_EQ(log[1].cdb[5], 0x20);
    EXPECT_TRUE(log[1].dataOut);
    EXPECT_EQ(log[1].length, 4096u);
    EXPECT_EQ(log[1].cdbLength, 12);
    EXPECT_FALSE(log[2].good);
    EXPECT_EQ(log[2].sense, (SenseTriple{0x05, 0x20, 0x00}));
}

TEST(VirtualDriveFirmware, StoresHeaderAndImageAtTheirOffsets)
{
    VirtualDrive drive;
    Write(drive, VirtualDrive::BlockOffset(1), Bytes(4096, 0x11));
    Write(drive, 0, Header(0xABCD));
    const auto& buffer = drive.DownloadBuffer();
    EXPECT_EQ(buffer[30], 0xAB);
    EXPECT_EQ(buffer[31], 0xCD);
    EXPECT_EQ(buffer[0x20 + 4095], 0xFF);
    EXPECT_EQ(buffer[0x20 + 4096], 0x11);
    EXPECT_EQ(drive.ImageEnd(), 0x20u + 8192);
    EXPECT_EQ(drive.ImageSum(), std::uint16_t(4096 * 0xFF + 4096 * 0x11));
}

TEST(VirtualDriveFirmware, RefusesAWritePastTheBuffer)
{
    VirtualDrive drive;
    const Reply r = Write(drive, VirtualDrive::BlockOffset(256), Bytes(4096, 0));
    EXPECT_EQ(r.sense, (SenseTriple{0x05, 0x24, 0x00}));
    EXPECT_EQ(drive.ImageEnd(), VirtualDrive::kHeaderSize);
}

TEST(VirtualDriveFirmware, SaveProgramsAndTakesTheNewRevision)
{
    VirtualDrive drive;
    drive.SetBusyPolls(3);
    Download(drive, Image("1.10"));
    ASSERT_EQ(Save(drive).answer, TargetAnswer::Good);

    EXPECT_EQ(Tur(drive).sense, kBusy);
    EXPECT_EQ(Revision(drive), "1.00") << "programming is not over yet";
    EXPECT_EQ(PollReady(drive), std::make_pair(2, kGood));
    EXPECT_EQ(Revision(drive), "1.10");
    EXPECT_EQ(drive.Identity().product, "CD-ROM VIRTUAL  ");
    EXPECT_EQ(drive.SavesAccepted(), 1);
}

TEST(VirtualDriveFirmware, SaveStoresItsOwnParameterListFirst)
{
    VirtualDrive drive;
    drive.SetBusyPolls(0);
    const Bytes image = Image("1.10");
    Download(drive, image, Sum(image) + 1);
    // Mode 07h with the corrected header at offset 0.
    const Reply r = Send(drive, {0x3B, 0x07, 0x00, 0, 0, 0, 0, 0, 0x20}, true, Header(Sum(image)));
    EXPECT_EQ(r.answer, TargetAnswer::Good);
    EXPECT_EQ(Revision(drive), "1.10");
}

TEST(VirtualDriveFirmware, ImageWithoutTheModelKeepsTheRevision)
{
    VirtualDrive drive;
    drive.SetBusyPolls(0);
    Download(drive, Bytes(4096, 0x5A));
    ASSERT_EQ(Save(drive).answer, TargetAnswer::Good);
    EXPECT_EQ(Revision(drive), "1.00");
}

TEST(VirtualDriveFirmware, RefusesASumMismatchAndKeepsTheOldFirmware)
{
    VirtualDrive drive;
    drive.SetBusyPolls(0);
    const Bytes image = Image("1.10");
    Download(drive, image, Sum(image) + 1);
    const Reply r = Save(drive);
    EXPECT_EQ(r.answer, TargetAnswer::CheckCondition);
    EXPECT_EQ(r.sense, (SenseTriple{0x05, 0x26, 0x00}));
    EXPECT_EQ(Tur(drive).answer, TargetAnswer::Good);
    EXPECT_EQ(Revision(drive), "1.00");

    // The image is still held: a corrected header saves it.
    Write(drive, 0, Header(Sum(image)));
    EXPECT_EQ(Save(drive).answer, TargetAnswer::Good);
    EXPECT_EQ(Revision(drive), "1.10");
}

TEST(VirtualDriveFirmware, ASecondDownloadStartsFromAnEmptyBuffer)
{
    VirtualDrive drive;
    drive.SetBusyPolls(0);
    Download(drive, Image("1.10", 3));
    ASSERT_EQ(Save(drive).answer, TargetAnswer::Good);
    Download(drive, Image("1.20", 2)); // one block fewer: the sum covers only these
    ASSERT_EQ(Save(drive).answer, TargetAnswer::Good);
    EXPECT_EQ(Revision(drive), "1.20");
}

TEST(VirtualDriveFaults, BlockFailsAGivenNumberOfTimes)
{
    VirtualDrive drive;
    const SenseTriple sense{0x03, 0x0C, 0x02};
    drive.FailBlock(1, 2, sense);
    const Bytes block(4096, 0);
    EXPECT_EQ(Write(drive, VirtualDrive::BlockOffset(0), block).answer, TargetAnswer::Good);
    EXPECT_EQ(Write(drive, VirtualDrive::BlockOffset(1), block).sense, sense);
    EXPECT_EQ(Write(drive, VirtualDrive::BlockOffset(1), block).sense, sense);
    EXPECT_EQ(Write(drive, VirtualDrive::BlockOffset(1), block).answer, TargetAnswer::Good);
}

TEST(VirtualDriveFaults, RefusedHeaderAndSaveKeepTheOldFirmware)
{
    struct Case {
        const char* what;
        void (*inject)(VirtualDrive&);
        bool headerAccepted;
        SenseTriple sense;
    } cases[] = {
        {"header", [](VirtualDrive& d) { d.RefuseHeader(); }, false, {0x05, 0x26, 0x00}},
        {"save", [](VirtualDrive& d) { d.RefuseSave(1, {0x04, 0x44, 0x00}); }, true,
         {0x04, 0x44, 0x00}},
    };
    for (const Case& c : cases) {
        VirtualDrive drive;
        drive.SetBusyPolls(0);
        c.inject(drive);
        const Bytes image = Image("1.10");
        for (std::uint32_t k = 0; k < 2; ++k)
            Write(drive, VirtualDrive::BlockOffset(k),
                  Bytes(image.begin() + k * 4096, image.begin() + (k + 1) * 4096));
        const Reply header = Write(drive, 0, Header(Sum(image)));
        EXPECT_EQ(header.answer == TargetAnswer::Good, c.headerAccepted) << c.what;
        const Reply save = Save(drive);
        EXPECT_EQ(c.headerAccepted ? save.sense : header.sense, c.sense) << c.what;
        EXPECT_EQ(Revision(drive), "1.00") << c.what;
        EXPECT_EQ(drive.SavesAccepted(), 0) << c.what;
    }
}

TEST(VirtualDriveFaults, BusyForEverNeverTakesTheNewIdentity)
{
    VirtualDrive drive;
    drive.SetBusyPolls(kForever);
    Download(drive, Image("1.10"));
    ASSERT_EQ(Save(drive).answer, TargetAnswer::Good);
    EXPECT_EQ(PollReady(drive, 100).first, 100);
    EXPECT_TRUE(drive.Programming());
    EXPECT_EQ(Revision(drive), "1.00");
}

TEST(VirtualDriveFaults, AnotherSenseFollowsProgramming)
{
    for (int busy : {0, 2}) {
        VirtualDrive drive;
        drive.SetBusyPolls(busy);
        drive.SetSenseAfterSave({0x06, 0x29, 0x00});
        EXPECT_EQ(Tur(drive).answer, TargetAnswer::Good) << "nothing before a save";
        Download(drive, Image("1.10"));
        ASSERT_EQ(Save(drive).answer, TargetAnswer::Good);
        EXPECT_EQ(PollReady(drive), std::make_pair(busy, SenseTriple{0x06, 0x29, 0x00}));
        EXPECT_EQ(Tur(drive).answer, TargetAnswer::Good);
        EXPECT_EQ(Revision(drive), "1.10");
    }
}

TEST(VirtualDriveFaults, InquiryWithheldForSomeAttemptsOrForEver)
{
    for (int attempts : {3, kForever}) {
        VirtualDrive drive;
        drive.SetBusyPolls(0);
        drive.WithholdInquiry(attempts);
        EXPECT_EQ(Revision(drive), "1.00") << "counts only after a save";
        Download(drive, Image("1.10"));
        ASSERT_EQ(Save(drive).answer, TargetAnswer::Good);
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(Inquiry(drive).sense, (SenseTriple{0x02, 0x04, 0x01}));
        EXPECT_EQ(Revision(drive), attempts == kForever ? "" : "1.10");
    }
}

TEST(VirtualDriveFaults, InquiryWithheldFromTheStart)
{
    VirtualDrive drive;
    drive.WithholdInquiry(1, false);
    EXPECT_EQ(Inquiry(drive).answer, TargetAnswer::CheckCondition);
    EXPECT_EQ(Inquiry(drive).answer, TargetAnswer::Good);
}

TEST(VirtualDriveFaults, TransportFailureAtCommandIndex)
{
    VirtualDrive drive;
    drive.FailTransportAt(1, 2);
    Bytes block(4096, 0x42);
    EXPECT_EQ(Tur(drive).answer, TargetAnswer::Good);
    EXPECT_EQ(Write(drive, 0x20, block).answer, TargetAnswer::TransportFailure);
    EXPECT_EQ(Save(drive).answer, TargetAnswer::TransportFailure);
    EXPECT_EQ(Tur(drive).answer, TargetAnswer::Good);
    EXPECT_EQ(drive.ImageEnd(), VirtualDrive::kHeaderSize) << "the failed write never arrived";
    EXPECT_EQ(drive.SavesAccepted(), 0);
    ASSERT_EQ(drive.Commands().size(), 4u);
    EXPECT_EQ(drive.Commands()[1].answer, TargetAnswer::TransportFailure);
    EXPECT_FALSE(drive.Commands()[1].good);
}

} // namespace
