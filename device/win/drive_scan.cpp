#include <windows.h>

#include <cstring>

#include "device/win/aspi_transport.h"
#include "device/win/device_io.h"
#include "device/win/pass_through.h"
#include "device/win/drive_table.h"
#include "device/win/scsi_records.h"

namespace {

constexpr std::uint8_t kCdRom = scsi::kConnectedCdRom;
constexpr DWORD kListSize = 2048;
constexpr std::uint32_t kInquiryBytes = scsi::kInquiryLength;
constexpr std::uint32_t kDirectAlignMask = 0x7FF;

bool TableFull(const DriveTable& table) { return table.m_nDriveCount >= kMaxDrives; }

DriveEntry* NewEntry()
{
    return static_cast<DriveEntry*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY,
                                                sizeof(DriveEntry)));
}

// Copies at most `count` characters and stops at a zero byte; the entry was
// zeroed, so the text stays terminated.
void CopyText(char* to, const std::uint8_t* from, std::size_t count)
{
    for (std::size_t i = 0; i < count && from[i]; ++i)
        to[i] = static_cast<char>(from[i]);
}

void TakeIdentity(DriveEntry& entry, const std::uint8_t* inquiry)
{
    CopyText(entry.sModel, inquiry + scsi::kVendorProductAt, scsi::kModelChars);
    CopyText(entry.sRevision, inquiry + scsi::kRevisionAt, scsi::kRevisionChars);
}

// Where the device behind `handle` sits, from its port driver; false where
// the system does not tell. The byte count the driver claims is not believed:
// the record is cleared first, and a short answer leaves zeros.
bool ReadAddress(HANDLE handle, scsi::SCSI_ADDRESS& address)
{
    address = scsi::SCSI_ADDRESS{};
    DWORD returned = 0;
    return Dev().DeviceIoControl(handle, scsi::IOCTL_SCSI_GET_ADDRESS, nullptr, 0, &address,
                                 sizeof address, &returned) != FALSE;
}

HANDLE OpenLetter(DriveTable& table, char letter)
{
    char path[] = "\\\\.\\?:";
    path[4] = letter;
    table.m_hDevice = Dev().CreateFile(path, GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
    return table.m_hDevice;
}

// A letter that gave no drive is of no further use; its handle is closed at
// once rather than left open until the process ends.
void CloseUnused(DriveTable& table, HANDLE handle)
{
    Dev().CloseHandle(handle);
    if (table.m_hDevice == handle)
        table.m_hDevice = INVALID_HANDLE_VALUE;
}

template <typename Record>
Record ReadRecord(const std::uint8_t* list, std::size_t offset)
{
    Record record;
    std::memcpy(&record, list + offset, sizeof record);
    return record;
}

// Enters the CD-ROM devices of one letter's device list; returns how many.
// The list gives each device's bus, target and unit; the port is the one
// behind the letter, the same for the whole list.
int EnterListedDevices(DriveTable& table, HANDLE handle, char letter, const std::uint8_t* list)
{
    constexpr std::size_t kBusStart = offsetof(scsi::SCSI_ADAPTER_BUS_INFO, BusData);
    constexpr std::size_t kDataStart = offsetof(scsi::SCSI_INQUIRY_DATA, InquiryData);
    constexpr std::size_t kMaxBuses = (kListSize - kBusStart) / sizeof(scsi::SCSI_BUS_DATA);
    int entered = 0;
    const std::size_t buses = list[0];
    for (std::size_t bus = 0; bus < buses && bus < kMaxBuses; ++bus) {
        const auto busData =
            ReadRecord<scsi::SCSI_BUS_DATA>(list, kBusStart + bus * sizeof(scsi::SCSI_BUS_DATA));
        std::uint32_t offset = busData.InquiryDataOffset;
        // A chain longer than the output can hold is looping: stop there.
        for (std::size_t hops = 0; offset != 0 && hops < kListSize; ++hops) {
            if (offset > kListSize - (kDataStart + kInquiryBytes))
                break;
            const auto record = ReadRecord<scsi::SCSI_INQUIRY_DATA>(list, offset);
            const std::uint8_t* inquiry = list + offset + kDataStart;
            if (inquiry[0] == kCdRom) {
                if (TableFull(table))
                    return entered;
                DriveEntry* entry = NewEntry();
                if (entry) {
                    entry->byHaId = record.PathId;
                    entry->byTargetId = record.TargetId;
                    entry->hDevice = handle;
                    entry->cLetter = letter;
                    entry->address = {0, record.PathId, record.TargetId, record.Lun, false};
                    TakeIdentity(*entry, inquiry);
                    scsi::IO_SCSI_CAPABILITIES caps{};
                    DWORD returned = 0;
                    if (Dev().DeviceIoControl(handle, scsi::IOCTL_SCSI_GET_CAPABILITIES, nullptr, 0,
                                              &caps, sizeof caps, &returned)) {
                        entry->dwAlignMask = caps.AlignmentMask;
                        entry->dwMaxTransfer = caps.MaximumTransferLength;
                    }
                    table.m_pDrives[table.m_nDriveCount++] = entry;
                    ++entered;
                }
            }
            offset = record.NextInquiryDataOffset;
        }
    }
    return entered;
}

void ScanDeviceLists(DriveTable& table)
{
    for (char letter = 'c'; letter <= 'y' && !TableFull(table); ++letter) {
        HANDLE handle = OpenLetter(table, letter);
        if (handle == INVALID_HANDLE_VALUE)
            continue;
        alignas(4) std::uint8_t list[kListSize] = {};
        DWORD returned = 0;
        const bool listed = Dev().DeviceIoControl(handle, scsi::IOCTL_SCSI_GET_INQUIRY_DATA,
                                                  nullptr, 0, list, kListSize, &returned);
        const int entered = listed ? EnterListedDevices(table, handle, letter, list) : 0;
        if (entered == 0) {
            CloseUnused(table, handle);
            continue;
        }
        // Without the port the address is incomplete: those entries are
        // told apart by their letter instead.
        scsi::SCSI_ADDRESS port;
        if (!ReadAddress(handle, port))
            continue;
        for (int i = table.m_nDriveCount - entered; i < table.m_nDriveCount; ++i) {
            table.m_pDrives[i]->address.byPort = port.PortNumber;
            table.m_pDrives[i]->address.bKnown = true;
        }
    }
}

void ScanDirect(DriveTable& table, char first)
{
    for (char letter = first; letter <= 'z' && !TableFull(table); ++letter) {
        HANDLE handle = OpenLetter(table, letter);
        if (handle == INVALID_HANDLE_VALUE)
            continue;

        // The request of the drive commands, with discovery's own limits: a
        // short time-out, and the whole request handed over as input.
        PassThroughTransport transport(handle, 0, 0, kDirectAlignMask,
                                       PassThroughTransport::Input::WholeRequest);
        std::uint8_t data[kListSize];
        std::memset(data, 0xFF, sizeof data);
        const std::uint8_t inquiry[6] = {scsi::kOpInquiry, 0x00, 0x00, 0x00, 0x7F, 0x00};
        scsi::Command command;
        command.cdb = inquiry;
        command.cdbLength = sizeof inquiry;
        command.direction = scsi::Direction::In;
        command.data = data;
        command.dataLength = sizeof data;
        command.timeoutSeconds = 2;
        const bool answered = transport.Execute(command).Good();
        // The 0xFF fill keeps byte 0 away from 5 when no data came back.
        DriveEntry* entry = answered && data[0] == kCdRom ? NewEntry() : nullptr;
        if (!entry) {
            CloseUnused(table, handle);
            continue;
        }
        entry->hDevice = handle;
        entry->dwAlignMask = kDirectAlignMask;
        TakeIdentity(*entry, data);
        entry->cLetter = letter;
        scsi::SCSI_ADDRESS address;
        if (ReadAddress(handle, address))
            entry->address = {address.PortNumber, address.PathId, address.TargetId, address.Lun,
                              true};
        table.m_pDrives[table.m_nDriveCount++] = entry;
    }
}

void ScanAspi(DriveTable& table)
{
    if (!pfnGetASPI32SupportInfo || !pfnSendASPI32Command)
        return;
    const DWORD support = pfnGetASPI32SupportInfo();
    if (((support >> 8) & 0xFF) != scsi::SS_COMP)
        return;
    const unsigned adapters = support & 0xFF;

    for (unsigned ha = 0; ha < adapters && !TableFull(table); ++ha) {
        scsi::SRB_HAInquiry haInquiry;
        std::memset(&haInquiry, 0, sizeof haInquiry);
        haInquiry.SRB_Cmd = scsi::SC_HA_INQUIRY;
        haInquiry.SRB_HaId = static_cast<std::uint8_t>(ha);
        pfnSendASPI32Command(&haInquiry);
        if (haInquiry.SRB_Status != scsi::SS_COMP)
            continue;
        const std::uint8_t* unique = haInquiry.HA_Unique;
        const unsigned targets = unique[3] ? unique[3] : 2;

        for (unsigned target = 0; target < targets && !TableFull(table); ++target) {
            scsi::SRB_GDEVBlock device;
            std::memset(&device, 0, sizeof device);
            device.SRB_Cmd = scsi::SC_GET_DEV_TYPE;
            device.SRB_HaId = static_cast<std::uint8_t>(ha);
            device.SRB_Target = static_cast<std::uint8_t>(target);
            pfnSendASPI32Command(&device);
            if (device.SRB_Status != scsi::SS_COMP || device.SRB_DeviceType != scsi::DTYPE_CDROM)
                continue;

            DriveEntry* entry = NewEntry();
            if (!entry)
                continue;
            entry->byHaId = static_cast<std::uint8_t>(ha);
            entry->byTargetId = static_cast<std::uint8_t>(target);
            // ASPI names no bus, and the scan asks unit 0 alone.
            entry->address = {entry->byHaId, 0, entry->byTargetId, 0, true};
            std::memcpy(&entry->dwMaxTransfer, unique + 4, sizeof entry->dwMaxTransfer);
            entry->dwAlignMask = unique[0];

            std::uint8_t data[scsi::kInquiryLength] = {};
            std::uint8_t sense[scsi::kSenseAreaSize] = {};
            const std::uint8_t cdb[scsi::kCdbLength] = {scsi::kOpInquiry, 0x00, 0x00, 0x00,
                                                        scsi::kInquiryLength};
            AspiTransport transport(*entry);
            if (fgExecuteCommand(transport, scsi::Direction::In, sizeof data, data, sizeof cdb, cdb,
                                 sense) &&
                data[0] == kCdRom) {
                TakeIdentity(*entry, data);
                table.m_pDrives[table.m_nDriveCount++] = entry;
            } else {
                ::HeapFree(::GetProcessHeap(), 0, entry);
            }
        }
    }
}

} // namespace

void ScanDrives(DriveTable& table)
{
    table.m_nDriveCount = 0;
    if (!table.m_bIsNT)
        ScanAspi(table);
    else if (table.m_bNT4)
        ScanDeviceLists(table);
    else
        ScanDirect(table, 'c');
}

void ScanLettersFrom(DriveTable& table, char first)
{
    table.m_nDriveCount = 0;
    ScanDirect(table, first < 'c' ? 'c' : first);
}
