// Byte layouts of the Windows SCSI port requests and of the ASPI for Win32
// request records. They are written out here rather than taken from a
// toolchain's headers, whose versions differ; the static_asserts pin every
// offset the program or the virtual machine reads.
//
// Records that carry a pointer change shape with the architecture: the
// pointer grows to 8 bytes and is aligned to 8 on 64-bit Windows, and every
// field behind it moves. Those records are templates over the type that
// stands in the pointer's place; the program uses real pointers, and the
// layouts of both architectures are pinned in every build.
#pragma once

#include <cstddef>
#include <cstdint>

#include "device/scsi_defs.h"

namespace scsi {

// A pointer of the other architecture, as bytes with the pointer's alignment.
struct alignas(4) Pointer32 {
    std::uint8_t bytes[4];
};
struct alignas(8) Pointer64 {
    std::uint8_t bytes[8];
};

// --- Windows SCSI port ---------------------------------------------------

constexpr std::uint32_t IOCTL_SCSI_PASS_THROUGH_DIRECT = 0x4D014;
constexpr std::uint32_t IOCTL_SCSI_GET_INQUIRY_DATA = 0x4100C;
constexpr std::uint32_t IOCTL_SCSI_GET_CAPABILITIES = 0x41010;
constexpr std::uint32_t IOCTL_SCSI_GET_ADDRESS = 0x41018;

constexpr std::uint8_t SCSI_IOCTL_DATA_OUT = 0;
constexpr std::uint8_t SCSI_IOCTL_DATA_IN = 1;
constexpr std::uint8_t SCSI_IOCTL_DATA_UNSPECIFIED = 2;

template <typename Pointer>
struct BasicPassThroughDirect {
    std::uint16_t Length;
    std::uint8_t ScsiStatus;
    std::uint8_t PathId;
    std::uint8_t TargetId;
    std::uint8_t Lun;
    std::uint8_t CdbLength;
    std::uint8_t SenseInfoLength;
    std::uint8_t DataIn;
    std::uint8_t Reserved[3];
    std::uint32_t DataTransferLength;
    std::uint32_t TimeOutValue;
    Pointer DataBuffer;
    std::uint32_t SenseInfoOffset;
    std::uint8_t Cdb[16];
};

// The request as the program sends it: the pass-through part, a filler and
// room for the sense data that the port writes at SenseInfoOffset.
template <typename Pointer>
struct BasicPassThroughRequest {
    BasicPassThroughDirect<Pointer> sptd;
    std::uint32_t Filler;
    std::uint8_t ucSenseBuf[32];
};

using SCSI_PASS_THROUGH_DIRECT = BasicPassThroughDirect<void*>;
using PassThroughRequest = BasicPassThroughRequest<void*>;

// 32-bit Windows.
using PassThroughDirect32 = BasicPassThroughDirect<Pointer32>;
using PassThroughRequest32 = BasicPassThroughRequest<Pointer32>;
static_assert(sizeof(PassThroughDirect32) == 44);
static_assert(offsetof(PassThroughDirect32, ScsiStatus) == 2);
static_assert(offsetof(PassThroughDirect32, DataIn) == 8);
static_assert(offsetof(PassThroughDirect32, DataTransferLength) == 12);
static_assert(offsetof(PassThroughDirect32, TimeOutValue) == 16);
static_assert(offsetof(PassThroughDirect32, DataBuffer) == 20);
static_assert(offsetof(PassThroughDirect32, SenseInfoOffset) == 24);
static_assert(offsetof(PassThroughDirect32, Cdb) == 28);
static_assert(sizeof(PassThroughRequest32) == 80);
static_assert(offsetof(PassThroughRequest32, ucSenseBuf) == 48);

// 64-bit Windows: DataBuffer is aligned to 8, so four bytes of padding stand
// before it, and the record ends padded to a multiple of 8.
using PassThroughDirect64 = BasicPassThroughDirect<Pointer64>;
using PassThroughRequest64 = BasicPassThroughRequest<Pointer64>;
static_assert(sizeof(PassThroughDirect64) == 56);
static_assert(offsetof(PassThroughDirect64, ScsiStatus) == 2);
static_assert(offsetof(PassThroughDirect64, DataIn) == 8);
static_assert(offsetof(PassThroughDirect64, DataTransferLength) == 12);
static_assert(offsetof(PassThroughDirect64, TimeOutValue) == 16);
static_assert(offsetof(PassThroughDirect64, DataBuffer) == 24);
static_assert(offsetof(PassThroughDirect64, SenseInfoOffset) == 32);
static_assert(offsetof(PassThroughDirect64, Cdb) == 36);
static_assert(sizeof(PassThroughRequest64) == 96);
static_assert(offsetof(PassThroughRequest64, ucSenseBuf) == 60);

// The program's records are the ones of the architecture it is built for.
static_assert(sizeof(void*) == 4 || sizeof(void*) == 8);
static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) ==
              (sizeof(void*) == 4 ? sizeof(PassThroughDirect32) : sizeof(PassThroughDirect64)));
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) ==
              (sizeof(void*) == 4 ? offsetof(PassThroughDirect32, Cdb)
                                  : offsetof(PassThroughDirect64, Cdb)));
static_assert(offsetof(PassThroughRequest, ucSenseBuf) ==
              (sizeof(void*) == 4 ? offsetof(PassThroughRequest32, ucSenseBuf)
                                  : offsetof(PassThroughRequest64, ucSenseBuf)));

// Output of IOCTL_SCSI_GET_INQUIRY_DATA: a bus count, then one SCSI_BUS_DATA
// per bus; the offsets count from the start of the output.
struct SCSI_BUS_DATA {
    std::uint8_t NumberOfLogicalUnits;
    std::uint8_t InitiatorBusId;
    std::uint8_t Reserved[2];
    std::uint32_t InquiryDataOffset;
};

struct SCSI_ADAPTER_BUS_INFO {
    std::uint8_t NumberOfBuses;
    std::uint8_t Reserved[3];
    SCSI_BUS_DATA BusData[1];
};

struct SCSI_INQUIRY_DATA {
    std::uint8_t PathId;
    std::uint8_t TargetId;
    std::uint8_t Lun;
    std::uint8_t DeviceClaimed;
    std::uint32_t InquiryDataLength;
    std::uint32_t NextInquiryDataOffset;
    std::uint8_t InquiryData[1];
};

struct IO_SCSI_CAPABILITIES {
    std::uint32_t Length;
    std::uint32_t MaximumTransferLength;
    std::uint32_t MaximumPhysicalPages;
    std::uint32_t SupportedAsynchronousEvents;
    std::uint32_t AlignmentMask;
    std::uint8_t TaggedQueuing;
    std::uint8_t AdapterScansDown;
    std::uint8_t AdapterUsesPio;
    std::uint8_t Reserved;
};

static_assert(sizeof(SCSI_BUS_DATA) == 8);
static_assert(offsetof(SCSI_BUS_DATA, InquiryDataOffset) == 4);
static_assert(offsetof(SCSI_ADAPTER_BUS_INFO, BusData) == 4);
static_assert(offsetof(SCSI_INQUIRY_DATA, TargetId) == 1);
static_assert(offsetof(SCSI_INQUIRY_DATA, InquiryDataLength) == 4);
static_assert(offsetof(SCSI_INQUIRY_DATA, NextInquiryDataOffset) == 8);
static_assert(offsetof(SCSI_INQUIRY_DATA, InquiryData) == 12);
static_assert(sizeof(IO_SCSI_CAPABILITIES) == 24);
static_assert(offsetof(IO_SCSI_CAPABILITIES, MaximumTransferLength) == 4);
static_assert(offsetof(IO_SCSI_CAPABILITIES, AlignmentMask) == 16);

// Output of IOCTL_SCSI_GET_ADDRESS: where the device behind a handle sits.
struct SCSI_ADDRESS {
    std::uint32_t Length;
    std::uint8_t PortNumber;
    std::uint8_t PathId;
    std::uint8_t TargetId;
    std::uint8_t Lun;
};

static_assert(sizeof(SCSI_ADDRESS) == 8);
static_assert(offsetof(SCSI_ADDRESS, PortNumber) == 4);
static_assert(offsetof(SCSI_ADDRESS, Lun) == 7);

// --- CD-ROM class driver: exclusive access (Windows Vista and later) ---
//
// One request code for three requests: the input is a CDROM_EXCLUSIVE_ACCESS
// (query, unlock) or a CDROM_EXCLUSIVE_LOCK (lock); a query answers with a
// CDROM_EXCLUSIVE_LOCK_STATE. The lock belongs to the handle that took it and
// ends when that handle is closed.

constexpr std::uint32_t IOCTL_CDROM_EXCLUSIVE_ACCESS = 0x2C05C;

constexpr std::uint32_t ExclusiveAccessQueryState = 0;
constexpr std::uint32_t ExclusiveAccessLockDevice = 1;
constexpr std::uint32_t ExclusiveAccessUnlockDevice = 2;

// Lock: take the drive although a file system is mounted on its disc.
constexpr std::uint32_t CDROM_LOCK_IGNORE_VOLUME = 0x1;
// Unlock: no media removal and arrival notifications.
constexpr std::uint32_t CDROM_NO_MEDIA_NOTIFICATIONS = 0x2;

// The caller name with its terminating zero; only letters, digits, blanks
// and . , : ; - _ are accepted in it.
constexpr std::size_t CDROM_EXCLUSIVE_CALLER_LENGTH = 64;

struct CDROM_EXCLUSIVE_ACCESS {
    std::uint32_t RequestType;
    std::uint32_t Flags;
};

struct CDROM_EXCLUSIVE_LOCK {
    CDROM_EXCLUSIVE_ACCESS Access;
    std::uint8_t CallerName[CDROM_EXCLUSIVE_CALLER_LENGTH];
};

struct CDROM_EXCLUSIVE_LOCK_STATE {
    std::uint8_t LockState;
    std::uint8_t CallerName[CDROM_EXCLUSIVE_CALLER_LENGTH];
};

static_assert(sizeof(CDROM_EXCLUSIVE_ACCESS) == 8);
static_assert(sizeof(CDROM_EXCLUSIVE_LOCK) == 72);
static_assert(offsetof(CDROM_EXCLUSIVE_LOCK, CallerName) == 8);
static_assert(sizeof(CDROM_EXCLUSIVE_LOCK_STATE) == 65);
static_assert(offsetof(CDROM_EXCLUSIVE_LOCK_STATE, CallerName) == 1);

// --- ASPI for Win32 ------------------------------------------------------

constexpr std::uint8_t SC_HA_INQUIRY = 0x00;
constexpr std::uint8_t SC_GET_DEV_TYPE = 0x01;
constexpr std::uint8_t SC_EXEC_SCSI_CMD = 0x02;

constexpr std::uint8_t SS_PENDING = 0x00;
constexpr std::uint8_t SS_COMP = 0x01;
constexpr std::uint8_t SS_ERR = 0x04;
constexpr std::uint8_t SS_INVALID_HA = 0x81;
constexpr std::uint8_t SS_NO_DEVICE = 0x82;
constexpr std::uint8_t SS_INVALID_SRB = 0xE0;
constexpr std::uint8_t SS_NO_ADAPTERS = 0xE8;

// Host adapter statuses (SRB_HaStat) that say more than "failed".
constexpr std::uint8_t HASTAT_TIMEOUT = 0x09;         // the command's time-out ran out
constexpr std::uint8_t HASTAT_COMMAND_TIMEOUT = 0x0B; // the adapter's own time-out ran out
constexpr std::uint8_t HASTAT_SEL_TO = 0x11;          // no device answered the selection

constexpr std::uint8_t SRB_DIR_IN = 0x08;
constexpr std::uint8_t SRB_DIR_OUT = 0x10;
constexpr std::uint8_t SRB_EVENT_NOTIFY = 0x40;
constexpr std::uint8_t SENSE_LEN = kAspiSenseLength;
constexpr std::uint8_t DTYPE_CDROM = 5;

struct SRB_HAInquiry {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    std::uint8_t HA_Count;
    std::uint8_t HA_SCSI_ID;
    std::uint8_t HA_ManagerId[16];
    std::uint8_t HA_Identifier[16];
    std::uint8_t HA_Unique[16];
    std::uint16_t HA_Rsvd1;
};

struct SRB_GDEVBlock {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    std::uint8_t SRB_Target;
    std::uint8_t SRB_Lun;
    std::uint8_t SRB_DeviceType;
    std::uint8_t SRB_Rsvd1;
};

template <typename Pointer>
struct BasicExecSCSICmd {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    std::uint8_t SRB_Target;
    std::uint8_t SRB_Lun;
    std::uint16_t SRB_Rsvd1;
    std::uint32_t SRB_BufLen;
    Pointer SRB_BufPointer;
    std::uint8_t SRB_SenseLen;
    std::uint8_t SRB_CDBLen;
    std::uint8_t SRB_HaStat;
    std::uint8_t SRB_TargStat;
    Pointer SRB_PostProc;
    Pointer SRB_Rsvd2;
    std::uint8_t SRB_Rsvd3[16];
    std::uint8_t CDBByte[16];
    std::uint8_t SenseArea[SENSE_LEN + 2];
};

static_assert(sizeof(SRB_HAInquiry) == 60);
static_assert(offsetof(SRB_HAInquiry, HA_Count) == 8);
static_assert(offsetof(SRB_HAInquiry, HA_Unique) == 42);
static_assert(sizeof(SRB_GDEVBlock) == 12);
static_assert(offsetof(SRB_GDEVBlock, SRB_Target) == 8);
static_assert(offsetof(SRB_GDEVBlock, SRB_DeviceType) == 10);
using SRB_ExecSCSICmd = BasicExecSCSICmd<void*>;

using ExecSCSICmd32 = BasicExecSCSICmd<Pointer32>;
static_assert(sizeof(ExecSCSICmd32) == 80);
static_assert(offsetof(ExecSCSICmd32, SRB_Target) == 0x08);
static_assert(offsetof(ExecSCSICmd32, SRB_BufLen) == 0x0C);
static_assert(offsetof(ExecSCSICmd32, SRB_BufPointer) == 0x10);
static_assert(offsetof(ExecSCSICmd32, SRB_SenseLen) == 0x14);
static_assert(offsetof(ExecSCSICmd32, SRB_PostProc) == 0x18);
static_assert(offsetof(ExecSCSICmd32, SRB_Rsvd3) == 0x20);
static_assert(offsetof(ExecSCSICmd32, CDBByte) == 0x30);
static_assert(offsetof(ExecSCSICmd32, SenseArea) == 0x40);

// No ASPI layout was ever published for 64-bit Windows; a 64-bit library is
// taken to use the same declaration with the architecture's own alignment.
using ExecSCSICmd64 = BasicExecSCSICmd<Pointer64>;
static_assert(sizeof(ExecSCSICmd64) == 96);
static_assert(offsetof(ExecSCSICmd64, SRB_BufLen) == 0x0C);
static_assert(offsetof(ExecSCSICmd64, SRB_BufPointer) == 0x10);
static_assert(offsetof(ExecSCSICmd64, SRB_SenseLen) == 0x18);
static_assert(offsetof(ExecSCSICmd64, SRB_PostProc) == 0x20);
static_assert(offsetof(ExecSCSICmd64, SRB_Rsvd2) == 0x28);
static_assert(offsetof(ExecSCSICmd64, SRB_Rsvd3) == 0x30);
static_assert(offsetof(ExecSCSICmd64, CDBByte) == 0x40);
static_assert(offsetof(ExecSCSICmd64, SenseArea) == 0x50);

static_assert(sizeof(SRB_ExecSCSICmd) ==
              (sizeof(void*) == 4 ? sizeof(ExecSCSICmd32) : sizeof(ExecSCSICmd64)));
static_assert(offsetof(SRB_ExecSCSICmd, SenseArea) ==
              (sizeof(void*) == 4 ? offsetof(ExecSCSICmd32, SenseArea)
                                  : offsetof(ExecSCSICmd64, SenseArea)));

} // namespace scsi
