// Byte layouts of the Windows SCSI port requests and of the ASPI for Win32
// request records, as published for 32-bit Windows. They are written out here
// rather than taken from a toolchain's headers, whose versions differ; the
// static_asserts pin every offset the program or the virtual machine reads.
#pragma once

#include <cstddef>
#include <cstdint>

static_assert(sizeof(void*) == 4, "the request records are the 32-bit layouts");

namespace scsi {

// --- Windows SCSI port ---------------------------------------------------

constexpr std::uint32_t IOCTL_SCSI_PASS_THROUGH_DIRECT = 0x4D014;
constexpr std::uint32_t IOCTL_SCSI_GET_INQUIRY_DATA = 0x4100C;
constexpr std::uint32_t IOCTL_SCSI_GET_CAPABILITIES = 0x41010;

constexpr std::uint8_t SCSI_IOCTL_DATA_OUT = 0;
constexpr std::uint8_t SCSI_IOCTL_DATA_IN = 1;
constexpr std::uint8_t SCSI_IOCTL_DATA_UNSPECIFIED = 2;

struct SCSI_PASS_THROUGH_DIRECT {
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
    void* DataBuffer;
    std::uint32_t SenseInfoOffset;
    std::uint8_t Cdb[16];
};

// The request as the program sends it: the pass-through part, a filler and
// room for the sense data that the port writes at SenseInfoOffset.
struct PassThroughRequest {
    SCSI_PASS_THROUGH_DIRECT sptd;
    std::uint32_t Filler;
    std::uint8_t ucSenseBuf[32];
};

static_assert(sizeof(SCSI_PASS_THROUGH_DIRECT) == 44);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, ScsiStatus) == 2);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataIn) == 8);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataTransferLength) == 12);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, TimeOutValue) == 16);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, DataBuffer) == 20);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, SenseInfoOffset) == 24);
static_assert(offsetof(SCSI_PASS_THROUGH_DIRECT, Cdb) == 28);
static_assert(sizeof(PassThroughRequest) == 80);
static_assert(offsetof(PassThroughRequest, ucSenseBuf) == 48);

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

constexpr std::uint8_t SRB_EVENT_NOTIFY = 0x40;
constexpr std::uint8_t SENSE_LEN = 14;
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

struct SRB_ExecSCSICmd {
    std::uint8_t SRB_Cmd;
    std::uint8_t SRB_Status;
    std::uint8_t SRB_HaId;
    std::uint8_t SRB_Flags;
    std::uint32_t SRB_Hdr_Rsvd;
    std::uint8_t SRB_Target;
    std::uint8_t SRB_Lun;
    std::uint16_t SRB_Rsvd1;
    std::uint32_t SRB_BufLen;
    std::uint8_t* SRB_BufPointer;
    std::uint8_t SRB_SenseLen;
    std::uint8_t SRB_CDBLen;
    std::uint8_t SRB_HaStat;
    std::uint8_t SRB_TargStat;
    void* SRB_PostProc;
    void* SRB_Rsvd2;
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
static_assert(sizeof(SRB_ExecSCSICmd) == 80);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Target) == 0x08);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufLen) == 0x0C);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_BufPointer) == 0x10);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_SenseLen) == 0x14);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_PostProc) == 0x18);
static_assert(offsetof(SRB_ExecSCSICmd, SRB_Rsvd3) == 0x20);
static_assert(offsetof(SRB_ExecSCSICmd, CDBByte) == 0x30);
static_assert(offsetof(SRB_ExecSCSICmd, SenseArea) == 0x40);

} // namespace scsi
