// Turns a machine description into the virtual machine the demo installs.
#include "emu/machine_file.h"
#include "emu/virtual_machine.h"

namespace {

AspiLibrary Library(AspiVariant variant)
{
    switch (variant) {
    case AspiVariant::Missing:
        return AspiLibrary::Missing;
    case AspiVariant::OnlySupportInfo:
        return AspiLibrary::OnlySupportInfo;
    case AspiVariant::OnlySendCommand:
        return AspiLibrary::OnlySendCommand;
    case AspiVariant::Present:
        break;
    }
    return AspiLibrary::Present;
}

} // namespace

std::unique_ptr<VirtualMachine> BuildMachine(const MachineSpec& description)
{
    auto machine = std::make_unique<VirtualMachine>();
    for (const DriveSpec& drive : description.drives) {
        VirtualDrive& added = machine->AddCdRom(drive.letter, drive.identity);
        added.Faults() = drive.faults;
    }
    machine->SetAspiLibrary(Library(description.aspi));
    machine->SetAspiCompletion(description.aspiPending ? AspiCompletion::Pending : AspiCompletion::AtOnce);
    return machine;
}
