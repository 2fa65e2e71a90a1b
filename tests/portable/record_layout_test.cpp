// The request records of both Windows architectures, byte for byte, in every
// build: a record filled field by field must give exactly the bytes of the
// published layout, whatever machine compiles it.
#include <gtest/gtest.h>

#include <cstring>

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
    EXPECT_EQ(sizeof(scsi::PassThroughRequest32), kRecordLayouts[0].requestSize);
    EXPECT_EQ(sizeof(scsi::PassThroughRequest64), kRecordLayouts[1].requestSize);
}

// The program's own records are the ones of the architecture it runs on.
TEST(RecordLayouts, ProgramUsesItsOwnArchitecture)
{
    const RecordLayout& layout = ThisLayout();
    EXPECT_EQ(sizeof(scsi::SCSI_PASS_THROUGH_DIRECT), layout.sptdSize);
    EXPECT_EQ(offsetof(scsi::SCSI_PASS_THROUGH_DIRECT, Cdb), layout.cdbAt);
    EXPECT_EQ(offsetof(scsi::PassThroughRequest, ucSenseBuf), layout.senseBufAt);
    EXPECT_EQ(sizeof(scsi::PassThroughRequest), layout.requestSize);
    EXPECT_EQ(sizeof(scsi::SRB_ExecSCSICmd), layout.srbSize);
    EXPECT_EQ(offsetof(scsi::SRB_ExecSCSICmd, SenseArea), layout.senseAreaAt);
}

} // namespace
