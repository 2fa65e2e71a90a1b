// Under Windows the rig puts a virtual machine behind the device seam, so that
// commands travel the product's own fgExecuteCommand paths to the drive.
#include <vector>

#include "device/drive_table.h"
#include "emu/drive_rig.h"
#include "emu/virtual_machine.h"

struct DriveRig::Impl {
    VirtualDrive& drive;
    RigTransport transport;
    VirtualMachine machine;
    DriveEntry entry{};
    DeviceIo* previousIo = nullptr;
    GetASPI32SupportInfoFn previousSupport = nullptr;
    SendASPI32CommandFn previousSend = nullptr;
    HMODULE library = nullptr;
};

namespace {
std::vector<VirtualDrive*> g_rigDrives;

template <typename Fn>
Fn EntryPoint(HMODULE library, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(Dev().GetProcAddress(library, name)));
}
} // namespace

DriveRig::DriveRig(VirtualDrive& drive, RigTransport transport)
    : impl_(new Impl{drive, transport, {}})
{
    Impl& rig = *impl_;
    rig.machine.AttachCdRom('d', drive);
    rig.previousIo = SetDeviceIo(&rig.machine);
    if (transport == RigTransport::PassThrough) {
        rig.entry.hDevice = Dev().CreateFile("\\\\.\\d:", GENERIC_READ | GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
        rig.entry.dwAlignMask = 0x7FF; // what discovery's direct method records
    } else {
        rig.previousSupport = pfnGetASPI32SupportInfo;
        rig.previousSend = pfnSendASPI32Command;
        rig.library = Dev().LoadLibrary("WNASPI32");
        pfnGetASPI32SupportInfo = EntryPoint<GetASPI32SupportInfoFn>(rig.library, "GetASPI32SupportInfo");
        pfnSendASPI32Command = EntryPoint<SendASPI32CommandFn>(rig.library, "SendASPI32Command");
        rig.entry.dwAlignMask = rig.machine.Adapter(0).alignMask & 0xFF;
        rig.entry.dwMaxTransfer = rig.machine.Adapter(0).maxTransfer;
    }
    g_rigDrives.push_back(&drive);
}

DriveRig::~DriveRig()
{
    Impl& rig = *impl_;
    if (rig.transport == RigTransport::PassThrough) {
        if (rig.entry.hDevice != INVALID_HANDLE_VALUE)
            Dev().CloseHandle(rig.entry.hDevice);
    } else {
        Dev().FreeLibrary(rig.library);
        pfnGetASPI32SupportInfo = rig.previousSupport;
        pfnSendASPI32Command = rig.previousSend;
    }
    SetDeviceIo(rig.previousIo);
    for (auto it = g_rigDrives.rbegin(); it != g_rigDrives.rend(); ++it) {
        if (*it == &rig.drive) {
            g_rigDrives.erase(std::next(it).base());
            break;
        }
    }
}

const DriveEntry& DriveRig::Entry() const { return impl_->entry; }

std::uint8_t DriveRig::Transport() const
{
    return impl_->transport == RigTransport::PassThrough ? 1 : 0;
}

VirtualDrive& DriveRig::Drive() const { return impl_->drive; }

VirtualMachine& DriveRig::Machine() const { return impl_->machine; }

VirtualDrive* CurrentRigDrive() { return g_rigDrives.empty() ? nullptr : g_rigDrives.back(); }
