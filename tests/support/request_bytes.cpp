#include "tests/support/request_bytes.h"

#include <algorithm>

namespace {

void PutLe(Bytes& bytes, std::size_t at, std::uint64_t value, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i)
        bytes[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

} // namespace

const RecordLayout& ThisLayout() { return kRecordLayouts[sizeof(void*) == 8 ? 1 : 0]; }

Bytes PassThroughRecord(const RecordLayout& layout, const PassThroughFields& f)
{
    Bytes record(layout.sptdSize, 0);
    PutLe(record, 0, layout.sptdSize, 2);
    record[3] = f.pathId;
    record[4] = f.targetId;
    record[6] = f.cdbLength;
    record[7] = f.senseInfoLength;
    record[8] = f.dataIn;
    PutLe(record, 12, f.dataLength, 4);
    PutLe(record, 16, f.timeout, 4);
    PutLe(record, layout.dataBufferAt, f.dataBuffer, layout.pointerSize);
    PutLe(record, layout.senseInfoOffsetAt, layout.senseBufAt, 4);
    std::copy(f.cdb.begin(), f.cdb.end(), record.begin() + layout.cdbAt);
    return record;
}

Bytes ExecRecord(const RecordLayout& layout, const ExecFields& f)
{
    Bytes record(layout.srbSize, 0);
    record[0] = 0x02; // SC_EXEC_SCSI_CMD
    record[2] = f.haId;
    record[3] = f.flags;
    record[8] = f.target;
    PutLe(record, 0x0C, f.bufLength, 4);
    PutLe(record, layout.bufPointerAt, f.bufPointer, layout.pointerSize);
    record[layout.senseLenAt] = f.senseLength;
    record[layout.senseLenAt + 1] = f.cdbLength;
    PutLe(record, layout.postProcAt, f.postProc, layout.pointerSize);
    std::copy(f.cdb.begin(), f.cdb.end(), record.begin() + layout.cdbByteAt);
    return record;
}

std::uint64_t ReadLe(const Bytes& bytes, std::size_t at, std::size_t size)
{
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i)
        value |= std::uint64_t(bytes.at(at + i)) << (8 * i);
    return value;
}
