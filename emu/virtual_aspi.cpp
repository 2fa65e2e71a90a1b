// The virtual machine's ASPI for Win32 library. GetProcAddress has to hand
// out plain functions, so the exports reach the machine that loaded the
// library last through one process-wide pointer.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "device/win/scsi_records.h"
#include "emu/virtual_machine.h"

namespace {

VirtualMachine* g_aspiMachine = nullptr;
HMODULE const kAspiModule = reinterpret_cast<HMODULE>(0x5A5A0000);

DWORD __cdecl ExportedSupportInfo()
{
    return g_aspiMachine ? g_aspiMachine->AspiSupportInfo() : DWORD(scsi::SS_NO_ADAPTERS) << 8;
}

DWORD __cdecl ExportedSend(void* request)
{
    return g_aspiMachine ? g_aspiMachine->AspiSend(request) : scsi::SS_INVALID_SRB;
}

bool IsAspiName(const char* name)
{
    std::string text = name ? name : "";
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text == "WNASPI32" || text == "WNASPI32.DLL";
}

template <typename Record>
std::vector<std::uint8_t> Bytes(const Record* record)
{
    const auto* p = reinterpret_cast<const std::uint8_t*>(record);
    return {p, p + sizeof(Record)};
}

} // namespace

VirtualMachine::~VirtualMachine()
{
    for (std::thread& completion : completions_)
        completion.join();
    if (g_aspiMachine == this)
        g_aspiMachine = previousAspi_;
}

void VirtualMachine::SetAspiLibrary(AspiLibrary variant) { aspiLibrary_ = variant; }

void VirtualMachine::SetAspiCompletion(AspiCompletion mode) { aspiCompletion_ = mode; }

void VirtualMachine::SetAspiSupportStatus(std::uint8_t status) { aspiStatus_ = status; }

std::vector<VirtualMachine::AspiCall> VirtualMachine::AspiCalls() const
{
    std::lock_guard<std::mutex> lock(aspiLock_);
    return aspiCalls_;
}

int VirtualMachine::LibraryLoads() const { return loads_; }

int VirtualMachine::LibraryFrees() const { return frees_; }

HMODULE VirtualMachine::LoadLibrary(const char* name)
{
    if (!IsAspiName(name) || aspiLibrary_ == AspiLibrary::Missing) {
        ::SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    ++loads_;
    if (!aspiBound_) {
        previousAspi_ = g_aspiMachine;
        aspiBound_ = true;
    }
    g_aspiMachine = this;
    return kAspiModule;
}

FARPROC VirtualMachine::GetProcAddress(HMODULE module, const char* name)
{
    if (module != kAspiModule || !name)
        return nullptr;
    const bool support = aspiLibrary_ != AspiLibrary::OnlySendCommand;
    const bool send = aspiLibrary_ != AspiLibrary::OnlySupportInfo;
    if (support && std::strcmp(name, "GetASPI32SupportInfo") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&ExportedSupportInfo));
    if (send && std::strcmp(name, "SendASPI32Command") == 0)
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&ExportedSend));
    ::SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}

BOOL VirtualMachine::FreeLibrary(HMODULE module)
{
    if (module != kAspiModule) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    ++frees_;
    return TRUE;
}

DWORD VirtualMachine::AspiSupportInfo()
{
    const std::uint8_t status = aspiStatus_ >= 0 ? static_cast<std::uint8_t>(aspiStatus_)
                                : adapters_.empty() ? scsi::SS_NO_ADAPTERS
                                                    : scsi::SS_COMP;
    return DWORD(status) << 8 | static_cast<std::uint8_t>(adapters_.size());
}

VirtualMachine::Unit* VirtualMachine::AspiUnit(std::uint8_t ha, std::uint8_t target)
{
    if (ha >= adapters_.size())
        return nullptr;
    for (Unit& unit : adapters_[ha].units)
        if (unit.target == target)
            return &unit;
    return nullptr;
}

DWORD VirtualMachine::AspiSend(void* request)
{
    auto* header = static_cast<std::uint8_t*>(request);
    switch (header[0]) {
    case scsi::SC_HA_INQUIRY: {
        auto* srb = static_cast<scsi::SRB_HAInquiry*>(request);
        {
            std::lock_guard<std::mutex> lock(aspiLock_);
            aspiCalls_.push_back({Bytes(srb), false});
        }
        srb->HA_Count = static_cast<std::uint8_t>(adapters_.size());
        if (srb->SRB_HaId >= adapters_.size())
            return srb->SRB_Status = scsi::SS_INVALID_HA;
        const AdapterConfig& config = adapters_[srb->SRB_HaId].config;
        srb->HA_SCSI_ID = 7;
        std::memcpy(srb->HA_ManagerId, "ASPI for WIN32  ", 16);
        std::memcpy(srb->HA_Identifier, "KAVORA VIRTUAL  ", 16);
        std::memset(srb->HA_Unique, 0, sizeof srb->HA_Unique);
        srb->HA_Unique[0] = static_cast<std::uint8_t>(config.alignMask);
        srb->HA_Unique[1] = static_cast<std::uint8_t>(config.alignMask >> 8);
        srb->HA_Unique[3] = config.aspiTargets;
        std::memcpy(srb->HA_Unique + 4, &config.maxTransfer, 4);
        return srb->SRB_Status = scsi::SS_COMP;
    }
    case scsi::SC_GET_DEV_TYPE: {
        auto* srb = static_cast<scsi::SRB_GDEVBlock*>(request);
        {
            std::lock_guard<std::mutex> lock(aspiLock_);
            aspiCalls_.push_back({Bytes(srb), false});
        }
        if (srb->SRB_HaId >= adapters_.size())
            return srb->SRB_Status = scsi::SS_INVALID_HA;
        const Unit* unit = srb->SRB_Lun == 0 ? AspiUnit(srb->SRB_HaId, srb->SRB_Target) : nullptr;
        const std::uint8_t type = unit ? unit->drive->Identity().deviceType : 0x7F;
        // A device the target reports as not connected is no device to ASPI.
        if (!unit || (type >> 5) != 0)
            return srb->SRB_Status = scsi::SS_NO_DEVICE;
        srb->SRB_DeviceType = type & 0x1F;
        return srb->SRB_Status = scsi::SS_COMP;
    }
    case scsi::SC_EXEC_SCSI_CMD: {
        auto* srb = static_cast<scsi::SRB_ExecSCSICmd*>(request);
        const bool pending = aspiCompletion_ == AspiCompletion::Pending;
        Unit* unit = srb->SRB_Lun == 0 ? AspiUnit(srb->SRB_HaId, srb->SRB_Target) : nullptr;
        {
            std::lock_guard<std::mutex> lock(aspiLock_);
            aspiCalls_.push_back({Bytes(srb), pending && unit});
        }
        if (srb->SRB_HaId >= adapters_.size())
            return srb->SRB_Status = scsi::SS_INVALID_HA;
        if (!unit)
            return srb->SRB_Status = scsi::SS_NO_DEVICE;
        if (!pending) {
            CompleteExec(srb, unit, false);
            return srb->SRB_Status;
        }
        srb->SRB_Status = scsi::SS_PENDING;
        completions_.emplace_back([this, srb, unit] {
            // Long enough that a caller who does not wait sees SS_PENDING.
            ::Sleep(20);
            CompleteExec(srb, unit, true);
        });
        return scsi::SS_PENDING;
    }
    default:
        return header[1] = scsi::SS_INVALID_SRB;
    }
}

void VirtualMachine::CompleteExec(void* request, Unit* unit, bool post)
{
    auto* srb = static_cast<scsi::SRB_ExecSCSICmd*>(request);
    const bool dataOut = srb->SRB_Flags & 0x10;
    std::uint8_t sense[sizeof srb->SenseArea] = {};
    const std::uint32_t senseLength = std::min<std::uint32_t>(srb->SRB_SenseLen, sizeof sense);
    const TargetAnswer answer = unit->drive->Execute(srb->CDBByte, srb->SRB_CDBLen, dataOut,
                                                     static_cast<std::uint8_t*>(srb->SRB_BufPointer), srb->SRB_BufLen, sense,
                                                     senseLength);
    std::uint8_t status = scsi::SS_COMP;
    if (answer == TargetAnswer::TransportFailure) {
        srb->SRB_HaStat = 0x11; // selection time-out
        status = scsi::SS_ERR;
    } else if (answer == TargetAnswer::CheckCondition) {
        srb->SRB_TargStat = 0x02;
        std::memcpy(srb->SenseArea, sense, senseLength);
        status = scsi::SS_ERR;
    }
    srb->SRB_Status = status;
    if (post && (srb->SRB_Flags & scsi::SRB_EVENT_NOTIFY) && srb->SRB_PostProc)
        ::SetEvent(static_cast<HANDLE>(srb->SRB_PostProc));
}
