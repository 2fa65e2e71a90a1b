// Natively the rig only names the drive that fgExecuteCommand routes to.
#include <vector>

#include "emu/drive_rig.h"

struct DriveRig::Impl {
    VirtualDrive& drive;
    RigTransport transport;
    DriveEntry entry{};
};

namespace {
std::vector<VirtualDrive*> g_rigDrives;
} // namespace

DriveRig::DriveRig(VirtualDrive& drive, RigTransport transport)
    : impl_(new Impl{drive, transport})
{
    impl_->entry.dwAlignMask = transport == RigTransport::PassThrough ? 0x7FF : 0;
    g_rigDrives.push_back(&drive);
}

DriveRig::~DriveRig()
{
    // Rigs are destroyed innermost first; take out this one's own mark.
    for (auto it = g_rigDrives.rbegin(); it != g_rigDrives.rend(); ++it) {
        if (*it == &impl_->drive) {
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

VirtualDrive* CurrentRigDrive() { return g_rigDrives.empty() ? nullptr : g_rigDrives.back(); }
