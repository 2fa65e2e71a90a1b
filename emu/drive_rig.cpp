#include <iterator>
#include <vector>

#include "emu/drive_rig.h"

namespace {
std::vector<VirtualDrive*> g_rigDrives;
} // namespace

VirtualDrive* CurrentRigDrive() { return g_rigDrives.empty() ? nullptr : g_rigDrives.back(); }

void EnterRigDrive(VirtualDrive& drive) { g_rigDrives.push_back(&drive); }

void LeaveRigDrive(VirtualDrive& drive)
{
    // Rigs are destroyed innermost first; take out this one's own mark.
    for (auto it = g_rigDrives.rbegin(); it != g_rigDrives.rend(); ++it) {
        if (*it == &drive) {
            g_rigDrives.erase(std::next(it).base());
            break;
        }
    }
}
