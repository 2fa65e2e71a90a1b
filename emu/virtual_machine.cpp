#include "emu/virtual_machine.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "device/win/scsi_records.h"

namespace {

constexpr std::uintptr_t kHandleBase = 0x7A000;
constexpr std::uint32_t kLongestTimeout = 30 * 60 * 60; // what the port accepts, seconds

BOOL Fail(DWORD error)
{
    ::SetLastError(error);
    return FALSE;
}

// Whether a handle opened with `access` may send a request with `code`: bits
// 14 and 15 of a control code are the FILE_READ_ACCESS and FILE_WRITE_ACCESS
// it requires.
bool Grants(DWORD access, DWORD code)
{
    constexpr DWORD kNeedsRead = 0x1, kNeedsWrite = 0x2;
    const DWORD required = (code >> 14) & 0x3;
    const bool read = access & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA);
    const bool write = access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA);
    return (!(required & kNeedsRead) || read) && (!(required & kNeedsWrite) || write);
}

} // namespace

VirtualMachine::VirtualMachine() = default;

// The ASPI part of the destructor lives with the ASPI code.

int VirtualMachine::AddAdapter(const AdapterConfig& config)
{
    adapters_.push_back({config, {}});
    return static_cast<int>(adapters_.size()) - 1;
}

VirtualDrive& VirtualMachine::AddDevice(int adapter, std::uint8_t bus, std::uint8_t target,
                                        DriveIdentity identity)
{
    owned_.push_back(std::make_unique<VirtualDrive>(std::move(identity)));
    AttachDevice(adapter, bus, target, *owned_.back());
    return *owned_.back();
}

void VirtualMachine::AttachDevice(int adapter, std::uint8_t bus, std::uint8_t target,
                                  VirtualDrive& drive)
{
    adapters_.at(adapter).units.push_back({bus, target, &drive});
}

void VirtualMachine::MapLetter(char letter, int adapter, int unit)
{
    const int index = std::tolower(static_cast<unsigned char>(letter)) - 'a';
    letters_.at(index) = {adapter, unit};
}

VirtualDrive& VirtualMachine::AddCdRom(char letter, DriveIdentity identity)
{
    const int adapter = AddAdapter();
    VirtualDrive& drive = AddDevice(adapter, 0, 0, std::move(identity));
    MapLetter(letter, adapter, 0);
    return drive;
}

VirtualDrive& VirtualMachine::AddHardDisk(char letter) { return AddCdRom(letter, HardDiskIdentity()); }

void VirtualMachine::AttachCdRom(char letter, VirtualDrive& drive)
{
    const int adapter = AddAdapter();
    AttachDevice(adapter, 0, 0, drive);
    MapLetter(letter, adapter, 0);
}

AdapterConfig& VirtualMachine::Adapter(int index) { return adapters_.at(index).config; }

int VirtualMachine::AdapterCount() const { return static_cast<int>(adapters_.size()); }

VirtualDrive* VirtualMachine::DriveAt(char letter) const
{
    const int index = std::tolower(static_cast<unsigned char>(letter)) - 'a';
    if (index < 0 || index >= 26 || letters_[index].adapter < 0)
        return nullptr;
    const Letter& l = letters_[index];
    return adapters_[l.adapter].units[l.unit].drive;
}

void VirtualMachine::FailAllIoctls(bool fail) { failAll_ = fail; }

void VirtualMachine::FailIoctl(DWORD code) { failing_.push_back(code); }

void VirtualMachine::SetIoctlError(DWORD error) { failError_ = error; }

const std::vector<VirtualMachine::OpenCall>& VirtualMachine::Opens() const { return opens_; }

const std::vector<VirtualMachine::PassThroughCall>& VirtualMachine::PassThroughCalls() const
{
    return passThrough_;
}

std::vector<DWORD> VirtualMachine::IoctlCodes() const
{
    std::vector<DWORD> codes;
    for (const IoctlCall& call : ioctls_)
        codes.push_back(call.code);
    return codes;
}

const std::vector<VirtualMachine::IoctlCall>& VirtualMachine::IoctlCalls() const
{
    return ioctls_;
}

int VirtualMachine::CloseCount(HANDLE handle) const
{
    const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(handle);
    const std::size_t index = (value - kHandleBase) / 4;
    if (value < kHandleBase || index >= handles_.size())
        return 0;
    return handles_[index].closes;
}

int VirtualMachine::OpenHandleCount() const
{
    return static_cast<int>(
        std::count_if(handles_.begin(), handles_.end(), [](const Handle& h) { return h.open; }));
}

HANDLE VirtualMachine::CreateFile(const char* path, DWORD access, DWORD share, DWORD disposition,
                                  DWORD flags)
{
    HANDLE result = INVALID_HANDLE_VALUE;
    const std::string text = path ? path : "";
    const char letter = text.size() == 6 ? static_cast<char>(std::tolower(
                                               static_cast<unsigned char>(text[4])))
                                         : 0;
    if (text.compare(0, 4, "\\\\.\\") == 0 && text.size() == 6 && text[5] == ':' &&
        letter >= 'c' && letter <= 'z' && letters_[letter - 'a'].adapter >= 0) {
        handles_.push_back({letter, true, 0, access});
        result = reinterpret_cast<HANDLE>(kHandleBase + 4 * (handles_.size() - 1));
    } else {
        ::SetLastError(ERROR_FILE_NOT_FOUND);
    }
    opens_.push_back({text, access, share, disposition, flags, result});
    return result;
}

BOOL VirtualMachine::CloseHandle(HANDLE handle)
{
    const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(handle);
    const std::size_t index = (value - kHandleBase) / 4;
    if (value < kHandleBase || (value - kHandleBase) % 4 || index >= handles_.size())
        return Fail(ERROR_INVALID_HANDLE);
    Handle& h = handles_[index];
    ++h.closes;
    if (!h.open)
        return Fail(ERROR_INVALID_HANDLE);
    h.open = false;
    // The class driver ends an exclusive lock with the handle that took it.
    for (auto& [drive, exclusive] : exclusive_)
        if (exclusive.owner == handle)
            exclusive.owner = nullptr;
    return TRUE;
}

VirtualMachine::Handle* VirtualMachine::HandleOf(HANDLE handle)
{
    const std::uintptr_t value = reinterpret_cast<std::uintptr_t>(handle);
    const std::size_t index = (value - kHandleBase) / 4;
    if (value < kHandleBase || (value - kHandleBase) % 4 || index >= handles_.size() ||
        !handles_[index].open)
        return nullptr;
    return &handles_[index];
}

VirtualMachine::Letter* VirtualMachine::LetterOf(HANDLE handle)
{
    Handle* open = HandleOf(handle);
    return open ? &letters_[open->letter - 'a'] : nullptr;
}

BOOL VirtualMachine::DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inLength,
                                     void* out, DWORD outLength, DWORD* returned)
{
    ioctls_.push_back({device, code, in != nullptr, out != nullptr, inLength, outLength});
    if (returned)
        *returned = 0;
    Letter* letter = LetterOf(device);
    if (!letter)
        return Fail(ERROR_INVALID_HANDLE);
    // The I/O manager checks the access the control code demands against the
    // handle before any driver sees the request: pass-through wants the drive
    // opened for reading and writing, the device list and capabilities nothing.
    if (!Grants(HandleOf(device)->access, code))
        return Fail(ERROR_ACCESS_DENIED);
    if (failAll_ || std::find(failing_.begin(), failing_.end(), code) != failing_.end())
        return Fail(failError_);
    switch (code) {
    case scsi::IOCTL_SCSI_PASS_THROUGH_DIRECT:
        return PassThrough(device, *letter, in, inLength, out, outLength, returned);
    case scsi::IOCTL_SCSI_GET_INQUIRY_DATA:
        return DeviceList(*letter, out, outLength, returned);
    case scsi::IOCTL_SCSI_GET_CAPABILITIES:
        return Capabilities(*letter, out, outLength, returned);
    case scsi::IOCTL_SCSI_GET_ADDRESS:
        return Address(*letter, out, outLength, returned);
    case scsi::IOCTL_CDROM_EXCLUSIVE_ACCESS:
        return ExclusiveAccess(device, *letter, in, inLength, out, outLength, returned);
    default:
        return Fail(ERROR_INVALID_FUNCTION);
    }
}

BOOL VirtualMachine::PassThrough(HANDLE device, const Letter& letter, void* in, DWORD inLength, void* out,
                                 DWORD outLength, DWORD* returned)
{
    using scsi::SCSI_PASS_THROUGH_DIRECT;
    PassThroughCall call{device, inLength, outLength, {}, {}, false};
    if (in)
        call.record.assign(static_cast<std::uint8_t*>(in), static_cast<std::uint8_t*>(in) + inLength);
    passThrough_.push_back(call);
    PassThroughCall& recorded = passThrough_.back();

    // The port's checks, in the order it makes them.
    if (!in || !out || inLength < sizeof(SCSI_PASS_THROUGH_DIRECT) ||
        outLength < sizeof(SCSI_PASS_THROUGH_DIRECT))
        return Fail(ERROR_INVALID_PARAMETER);
    SCSI_PASS_THROUGH_DIRECT sptd;
    std::memcpy(&sptd, in, sizeof sptd);
    const AdapterConfig& adapter = adapters_[letter.adapter].config;
    const auto buffer = reinterpret_cast<std::uintptr_t>(sptd.DataBuffer);
    if (sptd.Length != sizeof(SCSI_PASS_THROUGH_DIRECT) || sptd.CdbLength > sizeof sptd.Cdb ||
        sptd.DataIn > scsi::SCSI_IOCTL_DATA_UNSPECIFIED ||
        sptd.DataTransferLength > adapter.maxTransfer ||
        (sptd.DataTransferLength && !sptd.DataBuffer) || (buffer & adapter.alignMask) ||
        sptd.TimeOutValue == 0 || sptd.TimeOutValue > kLongestTimeout)
        return Fail(ERROR_INVALID_PARAMETER);
    if (sptd.SenseInfoLength &&
        (sptd.SenseInfoOffset < sizeof(SCSI_PASS_THROUGH_DIRECT) ||
         sptd.SenseInfoOffset > outLength || sptd.SenseInfoLength > outLength - sptd.SenseInfoOffset))
        return Fail(ERROR_INVALID_PARAMETER);
    recorded.accepted = true;

    const bool dataOut = sptd.DataIn == scsi::SCSI_IOCTL_DATA_OUT && sptd.DataTransferLength;
    auto* data = static_cast<std::uint8_t*>(sptd.DataBuffer);
    if (dataOut)
        recorded.dataOut.assign(data, data + sptd.DataTransferLength);

    VirtualDrive& drive = *DriveOf(letter);
    // A drive locked for exclusive access hears its owner alone.
    if (const auto locked = exclusive_.find(&drive);
        locked != exclusive_.end() && locked->second.owner && locked->second.owner != device)
        return Fail(ERROR_ACCESS_DENIED);
    std::uint8_t sense[255] = {};
    const TargetAnswer answer = drive.Execute(sptd.Cdb, sptd.CdbLength, dataOut, data,
                                              sptd.DataTransferLength, sense, sptd.SenseInfoLength);
    if (answer == TargetAnswer::TransportFailure)
        return Fail(ERROR_IO_DEVICE);

    // The request goes back through the output buffer.
    if (out != in)
        std::memcpy(out, in, sizeof sptd);
    auto* result = static_cast<std::uint8_t*>(out);
    sptd.ScsiStatus = static_cast<std::uint8_t>(answer);
    DWORD length = sizeof sptd;
    if (answer == TargetAnswer::CheckCondition && sptd.SenseInfoLength) {
        const std::uint8_t senseBytes =
            std::min<std::uint8_t>(sptd.SenseInfoLength, VirtualDrive::kSenseLength);
        std::memcpy(result + sptd.SenseInfoOffset, sense, senseBytes);
        sptd.SenseInfoLength = senseBytes;
        length = sptd.SenseInfoOffset + senseBytes;
    } else {
        sptd.SenseInfoLength = 0;
    }
    std::memcpy(result, &sptd, sizeof sptd);
    if (returned)
        *returned = length;
    return TRUE;
}

BOOL VirtualMachine::DeviceList(const Letter& letter, void* out, DWORD outLength, DWORD* returned)
{
    constexpr std::size_t kDataStart = offsetof(scsi::SCSI_INQUIRY_DATA, InquiryData);
    constexpr std::size_t kRecordSize = kDataStart + 36;
    const auto& units = adapters_[letter.adapter].units;
    std::size_t buses = 1;
    for (const Unit& unit : units)
        buses = std::max<std::size_t>(buses, unit.bus + 1u);

    const std::size_t header = offsetof(scsi::SCSI_ADAPTER_BUS_INFO, BusData) +
                               buses * sizeof(scsi::SCSI_BUS_DATA);
    const std::size_t total = header + units.size() * kRecordSize;
    if (!out || outLength < total || buses > 255)
        return Fail(ERROR_INSUFFICIENT_BUFFER);

    std::vector<std::uint8_t> list(total, 0);
    list[0] = static_cast<std::uint8_t>(buses);
    std::size_t next = header;
    for (std::size_t bus = 0; bus < buses; ++bus) {
        scsi::SCSI_BUS_DATA busData{};
        busData.InitiatorBusId = 7;
        std::size_t previous = 0;
        for (const Unit& unit : units) {
            if (unit.bus != bus)
                continue;
            scsi::SCSI_INQUIRY_DATA record{};
            record.PathId = unit.bus;
            record.TargetId = unit.target;
            record.DeviceClaimed = 1;
            record.InquiryDataLength = 36;
            std::memcpy(list.data() + next, &record, kDataStart);
            const auto inquiry = unit.drive->InquiryData();
            std::memcpy(list.data() + next + kDataStart, inquiry.data(), inquiry.size());
            if (previous) {
                const auto link = static_cast<std::uint32_t>(next);
                std::memcpy(list.data() + previous + offsetof(scsi::SCSI_INQUIRY_DATA,
                                                              NextInquiryDataOffset),
                            &link, sizeof link);
            } else {
                busData.InquiryDataOffset = static_cast<std::uint32_t>(next);
            }
            ++busData.NumberOfLogicalUnits;
            previous = next;
            next += kRecordSize;
        }
        std::memcpy(list.data() + offsetof(scsi::SCSI_ADAPTER_BUS_INFO, BusData) +
                        bus * sizeof busData,
                    &busData, sizeof busData);
    }
    std::memcpy(out, list.data(), list.size());
    if (returned)
        *returned = static_cast<DWORD>(list.size());
    return TRUE;
}

BOOL VirtualMachine::Capabilities(const Letter& letter, void* out, DWORD outLength,
                                  DWORD* returned)
{
    const AdapterConfig& config = adapters_[letter.adapter].config;
    if (config.capabilitiesFail)
        return Fail(ERROR_NOT_SUPPORTED);
    if (!out || outLength < sizeof(scsi::IO_SCSI_CAPABILITIES))
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    scsi::IO_SCSI_CAPABILITIES caps{};
    caps.Length = sizeof caps;
    caps.MaximumTransferLength = config.maxTransfer;
    caps.MaximumPhysicalPages = config.maxTransfer / 4096 + 1;
    caps.AlignmentMask = config.alignMask;
    caps.AdapterScansDown = 0;
    std::memcpy(out, &caps, sizeof caps);
    if (returned)
        *returned = sizeof caps;
    return TRUE;
}

VirtualDrive* VirtualMachine::DriveOf(const Letter& letter) const
{
    return adapters_[letter.adapter].units[letter.unit].drive;
}

BOOL VirtualMachine::Address(const Letter& letter, void* out, DWORD outLength, DWORD* returned)
{
    if (!out || outLength < sizeof(scsi::SCSI_ADDRESS))
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    const Unit& unit = adapters_[letter.adapter].units[letter.unit];
    scsi::SCSI_ADDRESS address{};
    address.Length = sizeof address;
    address.PortNumber = static_cast<std::uint8_t>(letter.adapter);
    address.PathId = unit.bus;
    address.TargetId = unit.target;
    address.Lun = 0;
    std::memcpy(out, &address, sizeof address);
    if (returned)
        *returned = sizeof address;
    return TRUE;
}
