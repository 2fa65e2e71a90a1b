#include "device/win/pass_through.h"

#include <cstring>

#include "device/win/device_io.h"
#include "device/win/scsi_records.h"

namespace {

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

// The errors with which the port reports that the adapter, the bus or the
// device failed the request, rather than the request itself being refused.
bool IsTransportError(DWORD error)
{
    return error == ERROR_IO_DEVICE || error == ERROR_SEM_TIMEOUT ||
           error == ERROR_DEVICE_NOT_CONNECTED;
}

// The errors with which the system says the drive is no longer there: it was
// pulled out, or its driver let it go.
bool IsDriveGone(DWORD error)
{
    return error == ERROR_DEV_NOT_EXIST || error == ERROR_DEVICE_NOT_CONNECTED ||
           error == ERROR_FILE_NOT_FOUND || error == ERROR_INVALID_HANDLE || error == ERROR_NOT_READY;
}

// Adapters ask for alignment to 2, 4 or 8 bytes. A mask that is not one
// less than a power of two, or asks for more than a page, is no adapter's
// but a driver's garbage; taken as it is, it would wrap the staging size and
// the aligned address around on a 32-bit system (writing a block to a page
// near address zero) and ask for gigabytes on a 64-bit one. Page alignment
// meets any real adapter's mask.
constexpr std::uint32_t kPageMask = 0xFFF;
std::uint32_t UsableAlignMask(std::uint32_t mask)
{
    return (mask & (mask + 1)) == 0 && mask <= kPageMask ? mask : kPageMask;
}

} // namespace

PassThroughTransport::PassThroughTransport(HANDLE device, std::uint8_t pathId,
                                           std::uint8_t targetId, std::uint32_t alignMask,
                                           Input input)
    : device_(device),
      pathId_(pathId),
      targetId_(targetId),
      alignMask_(UsableAlignMask(alignMask)),
      input_(input)
{
}

PassThroughTransport::PassThroughTransport(const DriveEntry& drive)
    : PassThroughTransport(drive.hDevice, drive.byHaId, drive.byTargetId, drive.dwAlignMask)
{
}

scsi::Result PassThroughTransport::Execute(const scsi::Command& command)
{
    scsi::Result result;
    scsi::PassThroughRequest request;
    std::memset(&request, 0, sizeof request);
    scsi::SCSI_PASS_THROUGH_DIRECT& sptd = request.sptd;
    std::memcpy(sptd.Cdb, command.cdb,
                command.cdbLength < sizeof sptd.Cdb ? command.cdbLength : sizeof sptd.Cdb);
    sptd.Length = sizeof(scsi::SCSI_PASS_THROUGH_DIRECT);
    sptd.PathId = pathId_;
    sptd.TargetId = targetId_;
    sptd.CdbLength = command.cdbLength;
    sptd.SenseInfoLength = scsi::kPassThroughSenseLength;
    sptd.DataTransferLength = command.dataLength;
    sptd.TimeOutValue = command.timeoutSeconds;
    sptd.SenseInfoOffset = offsetof(scsi::PassThroughRequest, ucSenseBuf);

    StagingBuffer staging(command.dataLength, alignMask_);
    if (!staging.Get()) {
        result.systemError = ERROR_NOT_ENOUGH_MEMORY;
        return result;
    }
    // The caller's bytes go into the staging buffer in either direction: a
    // drive that sends less than asked must leave the rest of the caller's
    // buffer as it was, not fill it with whatever the heap held.
    if (command.dataLength && command.data)
        std::memcpy(staging.Get(), command.data, command.dataLength);
    // A command without a direction leaves DataIn as the cleared record has it.
    if (command.direction == scsi::Direction::Out)
        sptd.DataIn = scsi::SCSI_IOCTL_DATA_OUT;
    else if (command.direction == scsi::Direction::In)
        sptd.DataIn = scsi::SCSI_IOCTL_DATA_IN;
    sptd.DataBuffer = staging.Get();

    DWORD returned = 0;
    const DWORD inLength =
        input_ == Input::WholeRequest ? sizeof request : sizeof(scsi::SCSI_PASS_THROUGH_DIRECT);
    // A request the system refuses as a whole never reached the drive; its
    // cleared status must not pass for GOOD.
    if (!Dev().DeviceIoControl(device_, scsi::IOCTL_SCSI_PASS_THROUGH_DIRECT, &request, inLength,
                               &request, sizeof request, &returned)) {
        result.systemError = ::GetLastError();
        result.outcome = IsTransportError(result.systemError) ? scsi::Outcome::TransportFailure
                                                              : scsi::Outcome::SystemFailure;
        result.timedOut = result.systemError == ERROR_SEM_TIMEOUT;
        result.deviceGone = IsDriveGone(result.systemError);
        return result;
    }

    result.status = sptd.ScsiStatus;
    if (sptd.ScsiStatus != scsi::kStatusGood) {
        // The whole sense buffer: what the port wrote, then the cleared rest.
        // The port says how much it wrote where it says anything; a port that
        // leaves the field alone leaves what was asked for.
        std::memcpy(result.sense, request.ucSenseBuf, sizeof request.ucSenseBuf);
        result.senseLength = sizeof request.ucSenseBuf;
        const std::size_t written = sptd.SenseInfoLength < scsi::kPassThroughSenseLength
                                        ? sptd.SenseInfoLength
                                        : scsi::kPassThroughSenseLength;
        result.decoded = scsi::NormaliseSense(result.sense, written);
        result.outcome = sptd.ScsiStatus == scsi::kStatusCheckCondition
                             ? scsi::Outcome::CheckCondition
                             : scsi::Outcome::OtherStatus;
        // A command the drive carried out while it reported a recovered error
        // has moved its data all the same.
        if (result.Completed() && command.direction == scsi::Direction::In && command.dataLength)
            std::memcpy(command.data, staging.Get(), command.dataLength);
        return result;
    }
    if (command.direction == scsi::Direction::In && command.dataLength)
        std::memcpy(command.data, staging.Get(), command.dataLength);
    result.outcome = scsi::Outcome::Good;
    return result;
}
