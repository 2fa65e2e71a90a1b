#include <windows.h>

#include <cstring>

#include "device/device_io.h"
#include "device/drive_entry.h"
#include "device/drive_table.h"
#include "device/scsi_records.h"

namespace {

constexpr std::uint8_t kSenseAsked = 24;
constexpr std::uint32_t kTimeoutSeconds = 0xFFFF;
constexpr std::size_t kClearedSense = 16;

// Pass-through wants DataBuffer aligned to the adapter's mask; the callers'
// buffers are not, so every transfer goes through a buffer of our own.
class StagingBuffer {
public:
    StagingBuffer(std::uint32_t length, std::uint32_t alignMask)
    {
        const SIZE_T size = SIZE_T(length) + alignMask;
        // Zero bytes are still a valid block: the address is what matters.
        raw_ = ::HeapAlloc(::GetProcessHeap(), 0, size ? size : 1);
        if (raw_) {
            const auto address = reinterpret_cast<std::uintptr_t>(raw_);
            aligned_ = reinterpret_cast<std::uint8_t*>((address + alignMask) & ~std::uintptr_t(alignMask));
        }
    }
    ~StagingBuffer()
    {
        if (raw_)
            ::HeapFree(::GetProcessHeap(), 0, raw_);
    }
    StagingBuffer(const StagingBuffer&) = delete;
    StagingBuffer& operator=(const StagingBuffer&) = delete;

    std::uint8_t* Get() const { return aligned_; }

private:
    void* raw_ = nullptr;
    std::uint8_t* aligned_ = nullptr;
};

bool PassThrough(const DriveEntry& drive, std::uint8_t direction, std::uint32_t dataLength,
                 std::uint8_t* data, std::uint8_t cdbLength, const std::uint8_t* cdb,
                 std::uint8_t* sense)
{
    scsi::PassThroughRequest request;
    std::memset(&request, 0, sizeof request);
    scsi::SCSI_PASS_THROUGH_DIRECT& sptd = request.sptd;
    std::memcpy(sptd.Cdb, cdb, cdbLength < sizeof sptd.Cdb ? cdbLength : sizeof sptd.Cdb);
    sptd.Length = sizeof(scsi::SCSI_PASS_THROUGH_DIRECT);
    sptd.PathId = drive.byHaId;
    sptd.TargetId = drive.byTargetId;
    sptd.CdbLength = cdbLength;
    sptd.SenseInfoLength = kSenseAsked;
    sptd.DataTransferLength = dataLength;
    sptd.TimeOutValue = kTimeoutSeconds;
    sptd.SenseInfoOffset = offsetof(scsi::PassThroughRequest, ucSenseBuf);

    StagingBuffer staging(dataLength, drive.dwAlignMask);
    if (!staging.Get())
        return false;
    if (direction & SRB_DIR_OUT) {
        sptd.DataIn = scsi::SCSI_IOCTL_DATA_OUT;
        if (dataLength)
            std::memcpy(staging.Get(), data, dataLength);
    } else if (direction & SRB_DIR_IN) {
        sptd.DataIn = scsi::SCSI_IOCTL_DATA_IN;
    }
    sptd.DataBuffer = staging.Get();

    DWORD returned = 0;
    // A request the system refuses as a whole never reached the drive; its
    // cleared status must not pass for GOOD.
    if (!Dev().DeviceIoControl(drive.hDevice, scsi::IOCTL_SCSI_PASS_THROUGH_DIRECT, &request,
                               sizeof(scsi::SCSI_PASS_THROUGH_DIRECT), &request, sizeof request,
                               &returned))
        return false;

    if (sptd.ScsiStatus != 0) {
        std::memcpy(sense, request.ucSenseBuf, kSenseSize);
        return false;
    }
    if ((direction & SRB_DIR_IN) && dataLength)
        std::memcpy(data, staging.Get(), dataLength);
    return true;
}

bool Aspi(const DriveEntry& drive, std::uint8_t direction, std::uint32_t dataLength,
          std::uint8_t* data, std::uint8_t cdbLength, const std::uint8_t* cdb,
          std::uint8_t* sense)
{
    scsi::SRB_ExecSCSICmd srb;
    std::memset(&srb, 0, sizeof srb);
    std::memcpy(srb.CDBByte, cdb, cdbLength < sizeof srb.CDBByte ? cdbLength : sizeof srb.CDBByte);
    srb.SRB_Cmd = scsi::SC_EXEC_SCSI_CMD;
    srb.SRB_HaId = drive.byHaId;
    srb.SRB_Flags = direction;
    srb.SRB_Target = drive.byTargetId;
    srb.SRB_BufLen = dataLength;
    srb.SRB_BufPointer = data;
    srb.SRB_SenseLen = scsi::SENSE_LEN;
    srb.SRB_CDBLen = cdbLength;

    HANDLE done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!done)
        return false;
    srb.SRB_Flags |= scsi::SRB_EVENT_NOTIFY;
    srb.SRB_PostProc = done;
    ::ResetEvent(done);

    if (pfnSendASPI32Command(&srb) == scsi::SS_PENDING) {
        if (::WaitForSingleObject(done, INFINITE) == WAIT_OBJECT_0)
            ::ResetEvent(done);
    }
    ::CloseHandle(done);

    if (srb.SRB_Status == scsi::SS_COMP)
        return true;
    std::memcpy(sense, srb.SenseArea, sizeof srb.SenseArea);
    return false;
}

} // namespace

bool fgExecuteCommand(const DriveEntry* drive, std::uint8_t direction, std::uint32_t dataLength,
                      std::uint8_t* data, std::uint8_t cdbLength, const std::uint8_t* cdb,
                      std::uint8_t transport, std::uint8_t* sense)
{
    std::memset(sense, 0, kClearedSense);
    return transport ? PassThrough(*drive, direction, dataLength, data, cdbLength, cdb, sense)
                     : Aspi(*drive, direction, dataLength, data, cdbLength, cdb, sense);
}
