#include "fuzz/fuzzed_system.h"

#include <cstddef>
#include <cstring>

#include "device/win/scsi_records.h"

namespace {

FuzzedSystem* g_system = nullptr;
HMODULE const kAspiModule = reinterpret_cast<HMODULE>(std::uintptr_t{0xA5B1});

// The port driver's errors: those that say the device or bus failed, then
// those that refuse the request itself.
constexpr DWORD kTransportErrors[] = {ERROR_IO_DEVICE, ERROR_SEM_TIMEOUT, ERROR_DEVICE_NOT_CONNECTED};
constexpr DWORD kSystemErrors[] = {ERROR_INVALID_FUNCTION, ERROR_ACCESS_DENIED, ERROR_NOT_READY,
                                   ERROR_INVALID_PARAMETER, ERROR_NOT_ENOUGH_MEMORY};
// ASPI request statuses other than SS_COMP; SS_PENDING is a manager that
// never wrote a final status.
constexpr std::uint8_t kAspiFailures[] = {scsi::SS_INVALID_HA, scsi::SS_NO_DEVICE,
                                          scsi::SS_INVALID_SRB, 0x02 /* aborted */,
                                          scsi::SS_PENDING};

template <typename Record>
void Put(std::uint8_t* out, std::size_t offset, const Record& record)
{
    std::memcpy(out + offset, &record, sizeof record);
}

} // namespace

FuzzedSystem::FuzzedSystem(Answers* answers, FuzzedDrive& drive)
    : answers_(answers), drive_(drive), previous_(SetDeviceIo(this))
{
    g_system = this;
}

FuzzedSystem::~FuzzedSystem()
{
    SetDeviceIo(previous_);
    g_system = nullptr;
}

HANDLE FuzzedSystem::CreateFile(const char* path, DWORD, DWORD, DWORD, DWORD)
{
    Require(path != nullptr, "CreateFile without a path");
    // One letter in four has no drive behind it, when the input says so.
    if (answers_->Byte() % 4 == 3)
        return INVALID_HANDLE_VALUE;
    HANDLE handle = reinterpret_cast<HANDLE>(nextHandle_++);
    open_.insert(handle);
    return handle;
}

BOOL FuzzedSystem::CloseHandle(HANDLE handle)
{
    Require(open_.erase(handle) == 1, "a handle closed that is not open");
    return TRUE;
}

BOOL FuzzedSystem::DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inLength, void* out,
                                   DWORD outLength, DWORD* returned)
{
    Require(IsOpen(device), "a request on a handle that is not open");
    Require(returned != nullptr, "DeviceIoControl without a place for the byte count");
    *returned = 0;
    BOOL done = FALSE;
    switch (code) {
    case scsi::IOCTL_SCSI_GET_INQUIRY_DATA:
        done = InquiryData(static_cast<std::uint8_t*>(out), outLength);
        break;
    case scsi::IOCTL_SCSI_GET_CAPABILITIES:
        done = Capabilities(static_cast<std::uint8_t*>(out), outLength);
        break;
    case scsi::IOCTL_SCSI_GET_ADDRESS:
        done = Address(static_cast<std::uint8_t*>(out), outLength);
        break;
    case scsi::IOCTL_SCSI_PASS_THROUGH_DIRECT:
        done = PassThrough(in, inLength, out, outLength);
        break;
    default:
        Require(false, "a control code the program never sends");
    }
    // Whatever count the driver claims; the program must not believe it.
    if (done)
        *returned = answers_->Word();
    return done;
}

BOOL FuzzedSystem::InquiryData(std::uint8_t* out, DWORD outLength)
{
    Require(out != nullptr, "a device list asked for without a buffer");
    Answers& in = *answers_;
    if (in.Byte() == 1) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    if (in.Byte() != 0) {
        // The list as raw bytes: any bus count, offsets and chains.
        const std::uint32_t count = in.Byte() * 8u;
        in.Fill(out, count < outLength ? count : outLength);
        return TRUE;
    }
    // A well-formed list: buses, each with a chain of devices.
    const unsigned buses = 1 + in.Byte() % 3;
    const std::size_t busStart = offsetof(scsi::SCSI_ADAPTER_BUS_INFO, BusData);
    const std::size_t record = offsetof(scsi::SCSI_INQUIRY_DATA, InquiryData) + 36;
    std::size_t at = busStart + buses * sizeof(scsi::SCSI_BUS_DATA);
    Require(outLength >= 2048, "a device list buffer smaller than the program's");
    out[0] = static_cast<std::uint8_t>(buses);
    for (unsigned bus = 0; bus < buses; ++bus) {
        const unsigned units = in.Byte() % 4 + (bus == 0);
        scsi::SCSI_BUS_DATA busData{};
        busData.NumberOfLogicalUnits = static_cast<std::uint8_t>(units);
        busData.InquiryDataOffset = units ? static_cast<std::uint32_t>(at) : 0;
        Put(out, busStart + bus * sizeof busData, busData);
        for (unsigned unit = 0; unit < units; ++unit) {
            scsi::SCSI_INQUIRY_DATA device{};
            device.PathId = static_cast<std::uint8_t>(bus);
            device.TargetId = in.Byte();
            device.DeviceClaimed = in.Byte() & 1;
            device.InquiryDataLength = 36;
            device.NextInquiryDataOffset =
                unit + 1 < units ? static_cast<std::uint32_t>(at + ((record + 3) & ~std::size_t{3})) : 0;
            std::memcpy(out + at, &device, offsetof(scsi::SCSI_INQUIRY_DATA, InquiryData));
            std::uint8_t* identity = out + at + offsetof(scsi::SCSI_INQUIRY_DATA, InquiryData);
            if (in.Byte() == 0)
                std::memcpy(identity, FuzzedDrive::kIdentity, 36);
            else
                in.Fill(identity, 36);
            at += (record + 3) & ~std::size_t{3};
        }
    }
    return TRUE;
}

BOOL FuzzedSystem::Address(std::uint8_t* out, DWORD outLength)
{
    Require(out != nullptr && outLength >= sizeof(scsi::SCSI_ADDRESS), "an address asked for without room for it");
    Answers& in = *answers_;
    if (in.Byte() == 1) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    // Any bytes at all: the program must take nothing from it but a key.
    in.Fill(out, sizeof(scsi::SCSI_ADDRESS));
    return TRUE;
}

BOOL FuzzedSystem::Capabilities(std::uint8_t* out, DWORD outLength)
{
    Require(out != nullptr && outLength >= sizeof(scsi::IO_SCSI_CAPABILITIES),
            "capabilities asked for without room for them");
    Answers& in = *answers_;
    if (in.Byte() == 1) {
        SetLastError(ERROR_INVALID_FUNCTION);
        return FALSE;
    }
    scsi::IO_SCSI_CAPABILITIES caps{};
    caps.Length = sizeof caps;
    caps.MaximumTransferLength = 0x10000;
    caps.MaximumPhysicalPages = 17;
    caps.AlignmentMask = 1;
    if (in.Byte() != 0) {
        caps.MaximumTransferLength = in.Word();
        caps.AlignmentMask = in.Word();
    }
    Put(out, 0, caps);
    return TRUE;
}

BOOL FuzzedSystem::PassThrough(void* in, DWORD inLength, void* out, DWORD outLength)
{
    // What the port checks before a request goes anywhere.
    using Direct = scsi::SCSI_PASS_THROUGH_DIRECT;
    Require(in != nullptr && in == out, "a pass-through request not given as input and output");
    Require(inLength >= sizeof(Direct) && outLength >= sizeof(Direct), "a pass-through request too short");
    auto& sptd = *static_cast<Direct*>(in);
    Require(sptd.Length == sizeof(Direct), "a pass-through record of the wrong length");
    Require(sptd.CdbLength >= 6 && sptd.CdbLength <= sizeof sptd.Cdb, "a command block length out of range");
    Require(sptd.DataIn <= scsi::SCSI_IOCTL_DATA_UNSPECIFIED, "no such transfer direction");
    Require(sptd.DataTransferLength == 0 || sptd.DataBuffer != nullptr, "data without a buffer");
    Require(std::size_t{sptd.SenseInfoOffset} + sptd.SenseInfoLength <= outLength,
            "sense data asked for beyond the request");

    const bool dataIn = sptd.DataIn == scsi::SCSI_IOCTL_DATA_IN;
    const DriveAnswer answer = drive_.Answer(sptd.Cdb, dataIn, static_cast<std::uint8_t*>(sptd.DataBuffer),
                                             sptd.DataTransferLength);
    switch (answer.kind) {
    case DriveAnswer::Kind::TransportFailure:
        SetLastError(kTransportErrors[answer.code % 3]);
        return FALSE;
    case DriveAnswer::Kind::SystemFailure:
        SetLastError(kSystemErrors[answer.code % 5]);
        return FALSE;
    case DriveAnswer::Kind::Good:
        sptd.ScsiStatus = scsi::kStatusGood;
        break;
    default: {
        sptd.ScsiStatus = answer.status;
        const std::uint8_t length =
            answer.senseLength < sptd.SenseInfoLength ? answer.senseLength : sptd.SenseInfoLength;
        std::memcpy(static_cast<std::uint8_t*>(out) + sptd.SenseInfoOffset, answer.sense, length);
        sptd.SenseInfoLength = length;
        break;
    }
    }
    // A residual count of the driver's own making.
    sptd.DataTransferLength = answers_->Word();
    return TRUE;
}

HMODULE FuzzedSystem::LoadLibrary(const char* name)
{
    Require(name && std::strcmp(name, "WNASPI32") == 0, "a library other than ASPI's loaded");
    Require(!libraryLoaded_, "ASPI loaded twice");
    if (answers_->Byte() == 1)
        return nullptr;
    libraryLoaded_ = true;
    return kAspiModule;
}

FARPROC FuzzedSystem::GetProcAddress(HMODULE module, const char* name)
{
    Require(module == kAspiModule && libraryLoaded_, "an entry point of a library not loaded");
    if (answers_->Byte() == 1)
        return nullptr;
    if (std::strcmp(name, "GetASPI32SupportInfo") == 0)
        return reinterpret_cast<FARPROC>(&FuzzedSystem::GetSupportInfo);
    if (std::strcmp(name, "SendASPI32Command") == 0)
        return reinterpret_cast<FARPROC>(&FuzzedSystem::SendCommand);
    return nullptr;
}

BOOL FuzzedSystem::FreeLibrary(HMODULE module)
{
    Require(module == kAspiModule && libraryLoaded_, "a library freed that is not loaded");
    libraryLoaded_ = false;
    return TRUE;
}

DWORD FuzzedSystem::GetSupportInfo()
{
    Require(g_system && g_system->libraryLoaded_, "ASPI called without its library");
    Answers& in = *g_system->answers_;
    const std::uint8_t status = in.Byte() == 0 ? scsi::SS_COMP : scsi::SS_NO_ADAPTERS;
    // XOR 1: a used-up input answers one adapter.
    const std::uint8_t adapters = in.Byte() ^ 1;
    return DWORD{status} << 8 | adapters;
}

DWORD FuzzedSystem::SendCommand(void* request)
{
    Require(g_system && g_system->libraryLoaded_, "ASPI called without its library");
    Require(request != nullptr, "an ASPI request without a record");
    auto* bytes = static_cast<std::uint8_t*>(request);
    switch (bytes[0]) {
    case scsi::SC_HA_INQUIRY:
        return g_system->HaInquiry(bytes);
    case scsi::SC_GET_DEV_TYPE:
        return g_system->DeviceType(bytes);
    case scsi::SC_EXEC_SCSI_CMD:
        return g_system->ExecScsi(bytes);
    default:
        Require(false, "an ASPI request the program never sends");
        return 0;
    }
}

DWORD FuzzedSystem::HaInquiry(std::uint8_t* request)
{
    scsi::SRB_HAInquiry srb;
    std::memcpy(&srb, request, sizeof srb);
    Answers& in = *answers_;
    srb.SRB_Status = in.Byte() == 0 ? scsi::SS_COMP : scsi::SS_INVALID_HA;
    srb.HA_Count = 1;
    if (in.Byte() != 0)
        in.Fill(srb.HA_Unique, sizeof srb.HA_Unique); // alignment, targets, transfer size
    std::memcpy(request, &srb, sizeof srb);
    return srb.SRB_Status;
}

DWORD FuzzedSystem::DeviceType(std::uint8_t* request)
{
    scsi::SRB_GDEVBlock srb;
    std::memcpy(&srb, request, sizeof srb);
    Answers& in = *answers_;
    srb.SRB_Status = in.Byte() == 0 ? scsi::SS_COMP : scsi::SS_NO_DEVICE;
    srb.SRB_DeviceType = in.Byte() ^ scsi::DTYPE_CDROM; // a used-up input: a CD-ROM
    std::memcpy(request, &srb, sizeof srb);
    return srb.SRB_Status;
}

DWORD FuzzedSystem::ExecScsi(std::uint8_t* request)
{
    auto& srb = *reinterpret_cast<scsi::SRB_ExecSCSICmd*>(request);
    Require(srb.SRB_CDBLen >= 6 && srb.SRB_CDBLen <= sizeof srb.CDBByte, "a command block length out of range");
    Require(srb.SRB_SenseLen <= sizeof srb.SenseArea, "more sense asked for than the record holds");
    Require(srb.SRB_BufLen == 0 || srb.SRB_BufPointer != nullptr, "data without a buffer");
    Require((srb.SRB_Flags & scsi::SRB_EVENT_NOTIFY) && srb.SRB_PostProc != nullptr,
            "a request with no event to tell its end");

    const bool dataIn = (srb.SRB_Flags & scsi::SRB_DIR_IN) != 0;
    const DriveAnswer answer =
        drive_.Answer(srb.CDBByte, dataIn, static_cast<std::uint8_t*>(srb.SRB_BufPointer), srb.SRB_BufLen);
    srb.SRB_HaStat = 0;
    srb.SRB_TargStat = 0;
    switch (answer.kind) {
    case DriveAnswer::Kind::Good:
        srb.SRB_Status = scsi::SS_COMP;
        break;
    case DriveAnswer::Kind::CheckCondition: {
        srb.SRB_Status = scsi::SS_ERR;
        srb.SRB_TargStat = answer.status;
        const std::uint8_t length = answer.senseLength < srb.SRB_SenseLen ? answer.senseLength : srb.SRB_SenseLen;
        std::memcpy(srb.SenseArea, answer.sense, length);
        break;
    }
    case DriveAnswer::Kind::OtherStatus:
        srb.SRB_Status = scsi::SS_ERR;
        srb.SRB_TargStat = answer.status;
        break;
    case DriveAnswer::Kind::TransportFailure:
        srb.SRB_Status = scsi::SS_ERR;
        srb.SRB_HaStat = answer.code ? answer.code : 0x11; // selection time-out
        break;
    case DriveAnswer::Kind::SystemFailure:
        srb.SRB_Status = kAspiFailures[answer.code % sizeof kAspiFailures];
        break;
    }
    // Finished at once or later: a pending request is always posted, as any
    // manager posts the requests it takes.
    const DWORD returned = answers_->Byte() == 0 ? scsi::SS_PENDING : srb.SRB_Status;
    if (returned == scsi::SS_PENDING)
        ::SetEvent(srb.SRB_PostProc);
    return returned;
}
