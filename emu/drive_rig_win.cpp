// Under Windows the rig puts a virtual machine behind the device seam, so that
// commands travel the program's own pass-through and ASPI transports.
#include "device/win/aspi_transport.h"
#include "device/win/drive_table.h"
#include "device/win/pass_through.h"
#include "emu/drive_rig.h"
#include "emu/virtual_machine.h"

struct DriveRig::Impl {
    VirtualMachine machine;
    DeviceIo* previousIo = nullptr;
    GetASPI32SupportInfoFn previousSupport = nullptr;
    SendASPI32CommandFn previousSend = nullptr;
    HMODULE library = nullptr;
};

DriveRig::DriveRig(VirtualDrive& drive, RigTransport transport)
    : drive_(drive), kind_(transport), impl_(new Impl{})
{
    Impl& rig = *impl_;
    rig.machine.AttachCdRom('d', drive);
    rig.previousIo = SetDeviceIo(&rig.machine);
    if (transport == RigTransport::PassThrough) {
        entry_.hDevice = Dev().CreateFile("\\\\.\\d:", GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
        entry_.dwAlignMask = 0x7FF; // what discovery's direct method records
        transport_ = std::make_unique<PassThroughTransport>(entry_);
    } else {
        rig.previousSupport = pfnGetASPI32SupportInfo;
        rig.previousSend = pfnSendASPI32Command;
        // Bound as a 9x-family start-up binds it.
        DriveTable binding;
        binding.m_bIsNT = false;
        BindAspiLibrary(binding);
        rig.library = binding.m_hAspiDll;
        entry_.dwAlignMask = rig.machine.Adapter(0).alignMask & 0xFF;
        entry_.dwMaxTransfer = rig.machine.Adapter(0).maxTransfer;
        transport_ = std::make_unique<AspiTransport>(entry_);
    }
}

DriveRig::~DriveRig()
{
    Impl& rig = *impl_;
    transport_.reset();
    if (kind_ == RigTransport::PassThrough) {
        if (entry_.hDevice != INVALID_HANDLE_VALUE)
            Dev().CloseHandle(entry_.hDevice);
    } else {
        Dev().FreeLibrary(rig.library);
        pfnGetASPI32SupportInfo = rig.previousSupport;
        pfnSendASPI32Command = rig.previousSend;
    }
    SetDeviceIo(rig.previousIo);
}

VirtualMachine& DriveRig::Machine() const { return impl_->machine; }
