// The request records of both Windows architectures, byte for byte, in every
// build: a record filled field by field must give exactly the bytes of the
// published layout, and what a driver writes into those bytes must come back
// in the fields the program reads, whatever machine compiles it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "device/win/scsi_records.h"
#include "tests/support/request_bytes.h"

namespace {

template <typename Pointer>
void PutPointer(Pointer& field, std::uint64_t value)
{
    for (std::size_t i = 0; i < sizeof field.bytes; ++i)
        field.bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

template <typename Record>
Bytes AsBytes(const Record& record)
{
    Bytes bytes(sizeof record);
    std::memcpy(bytes.data(), &record, sizeof record);
    return bytes;
}

template <typename Pointer>
Bytes FilledPassThrough(const PassThroughFields& f)
{
    scsi::BasicPassThroughRequest<Pointer> request;
    std::memset(&request, 0, sizeof request);
    auto& sptd = request.sptd;
    sptd.Length = sizeof sptd;
    sptd.PathId = f.pathId;
    sptd.TargetId = f.targetId;
    sptd.CdbLength = f.cdbLength;
    sptd.SenseInfoLength = f.senseInfoLength;
    sptd.DataIn = f.dataIn;
    sptd.DataTransferLength = f.dataLength;
    sptd.TimeOutValue = f.timeout;
    PutPointer(sptd.DataBuffer, f.dataBuffer);
    sptd.SenseInfoOffset = offsetof(scsi::BasicPassThroughRequest<Pointer>, ucSenseBuf);
    std::memcpy(sptd.Cdb, f.cdb.data(), sizeof sptd.Cdb);
    Bytes whole = AsBytes(request);
    EXPECT_EQ(whole.size(), sizeof request);
    return Bytes(whole.begin(), whole.begin() + sizeof sptd);
}

template <typename Pointer>
Bytes FilledExec(const ExecFields& f)
{
    scsi::BasicExecSCSICmd<Pointer> srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = scsi::SC_EXEC_SCSI_CMD;
    srb.SRB_HaId = f.haId;
    srb.SRB_Flags = f.flags;
    srb.SRB_Target = f.target;
    srb.SRB_BufLen = f.bufLength;
    PutPointer(srb.SRB_BufPointer, f.bufPointer);
    srb.SRB_SenseLen = f.senseLength;
    srb.SRB_CDBLen = f.cdbLength;
    PutPointer(srb.SRB_PostProc, f.postProc);
    std::memcpy(srb.CDBByte, f.cdb.data(), sizeof srb.CDBByte);
    return AsBytes(srb);
}

TEST(RecordLayouts, BothArchitecturesByteForByte)
{
    PassThroughFields pt;
    pt.pathId = 2;
    pt.targetId = 3;
    pt.cdbLength = 12;
    pt.senseInfoLength = 24;
    pt.dataIn = 1;
    pt.dataLength = 0x1000;
    pt.timeout = 0xFFFF;
    pt.dataBuffer = 0x0000000012345800ull;
    pt.cdb = {0x3B, 0x06, 0x00, 0x00, 0x10, 0x20, 0x00, 0x10};

    ExecFields exec;
    exec.haId = 1;
    exec.flags = 0x50;
    exec.target = 3;
    exec.senseLength = 14;
    exec.cdbLength = 12;
    exec.bufLength = 0x1000;
    exec.bufPointer = 0x0000000012345678ull;
    exec.postProc = 0x0000000000000ABCull;
    exec.cdb = pt.cdb;

    struct Case {
        const RecordLayout& layout;
        Bytes passThrough, execRecord;
    } cases[] = {
        {kRecordLayouts[0], FilledPassThrough<scsi::Pointer32>(pt), FilledExec<scsi::Pointer32>(exec)},
        {kRecordLayouts[1], FilledPassThrough<scsi::Pointer64>(pt), FilledExec<scsi::Pointer64>(exec)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.layout.arch);
        EXPECT_EQ(c.passThrough, PassThroughRecord(c.layout, pt));
        EXPECT_EQ(c.execRecord, ExecRecord(c.layout, exec));
    }
}

// The port driver knows the request only as bytes in the published layout:
// it writes the status, how much sense it wrote, and the sense at the offset
// the request names. The program reads them back through its own fields.
template <typename Pointer>
void PortAnswersPassThrough(const RecordLayout& layout)
{
    using Request = scsi::BasicPassThroughRequest<Pointer>;
    Request request;
    std::memset(&request, 0, sizeof request);
    request.sptd.Length = sizeof request.sptd;
    request.sptd.CdbLength = scsi::kCdbLength;
    request.sptd.SenseInfoLength = scsi::kPassThroughSenseLength;
    request.sptd.SenseInfoOffset = offsetof(Request, ucSenseBuf);
    Bytes bytes = AsBytes(request);
    ASSERT_EQ(bytes.size(), layout.requestSize);

    const std::size_t senseAt = ReadLe(bytes, layout.senseInfoOffsetAt, 4);
    const std::size_t asked = bytes[7];
    ASSERT_EQ(asked, scsi::kPassThroughSenseLength);
    ASSERT_LE(senseAt + asked, bytes.size()) << "the port would write past the request";
    bytes[2] = scsi::kStatusCheckCondition;
    bytes[7] = static_cast<std::uint8_t>(scsi::kFixedSenseLength);
    for (std::size_t i = 0; i < asked; ++i)
        bytes[senseAt + i] = static_cast<std::uint8_t>(0xA0 + i);
    std::memcpy(&request, bytes.data(), bytes.size());

    EXPECT_EQ(request.sptd.ScsiStatus, scsi::kStatusCheckCondition);
    EXPECT_EQ(request.sptd.SenseInfoLength, scsi::kFixedSenseLength);
    EXPECT_EQ(request.sptd.CdbLength, scsi::kCdbLength);
    for (std::size_t i = 0; i < asked; ++i)
        EXPECT_EQ(request.ucSenseBuf[i], 0xA0 + i) << "sense byte " << i;
}

// The ASPI manager likewise: the request's status, the adapter's and the
// target's, and the sense in the record's sense area. The published record
// keeps SRB_SenseLen, SRB_CDBLen, SRB_HaStat and SRB_TargStat side by side.
template <typename Pointer>
void ManagerAnswersExec(const RecordLayout& layout)
{
    scsi::BasicExecSCSICmd<Pointer> srb;
    std::memset(&srb, 0, sizeof srb);
    srb.SRB_Cmd = scsi::SC_EXEC_SCSI_CMD;
    srb.SRB_SenseLen = scsi::SENSE_LEN;
    srb.SRB_CDBLen = scsi::kCdbLength;
    Bytes bytes = AsBytes(srb);
    ASSERT_EQ(bytes.size(), layout.srbSize);

    const std::size_t asked = bytes[layout.senseLenAt];
    ASSERT_EQ(asked, scsi::SENSE_LEN);
    ASSERT_LE(layout.senseAreaAt + asked, bytes.size()) << "the manager would write past the record";
    bytes[1] = scsi::SS_ERR;
    bytes[layout.senseLenAt + 2] = scsi::HASTAT_SEL_TO;
    bytes[layout.senseLenAt + 3] = scsi::kStatusCheckCondition;
    for (std::size_t i = 0; i < asked; ++i)
        bytes[layout.senseAreaAt + i] = static_cast<std::uint8_t>(0xB0 + i);
    std::memcpy(&srb, bytes.data(), bytes.size());

    EXPECT_EQ(srb.SRB_Cmd, scsi::SC_EXEC_SCSI_CMD);
    EXPECT_EQ(srb.SRB_Status, scsi::SS_ERR);
    EXPECT_EQ(srb.SRB_HaStat, scsi::HASTAT_SEL_TO);
    EXPECT_EQ(srb.SRB_TargStat, scsi::kStatusCheckCondition);
    EXPECT_EQ(srb.SRB_CDBLen, scsi::kCdbLength);
    for (std::size_t i = 0; i < asked; ++i)
        EXPECT_EQ(srb.SenseArea[i], 0xB0 + i) << "sense byte " << i;
}

TEST(RecordLayouts, AnswersWrittenAsBytesComeBackInTheFields)
{
    {
        SCOPED_TRACE("x86");
        PortAnswersPassThrough<scsi::Pointer32>(kRecordLayouts[0]);
        ManagerAnswersExec<scsi::Pointer32>(kRecordLayouts[0]);
    }
    {
        SCOPED_TRACE("x64");
        PortAnswersPassThrough<scsi::Pointer64>(kRecordLayouts[1]);
        ManagerAnswersExec<scsi::Pointer64>(kRecordLayouts[1]);
    }
    // The records the program sends are the ones of the architecture it
    // runs on.
    SCOPED_TRACE(std::string("this program: ") + ThisLayout().arch);
    PortAnswersPassThrough<void*>(ThisLayout());
    ManagerAnswersExec<void*>(ThisLayout());
}

} // namespace
