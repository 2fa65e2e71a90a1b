// Turns a machine description into the virtual machine the demo installs.
#include "emu/machine_file.h"
#include "emu/virtual_machine.h"

std::unique_ptr<VirtualMachine> BuildMachine(const MachineSpec& description)
{
    auto machine = std::make_unique<VirtualMachine>();
    for (const DriveSpec& drive : description.drives) {
        VirtualDrive& added = machine->AddCdRom(drive.letter, drive.identity);
        added.Faults() = drive.faults;
    }
    machine->SetAspiLibrary(description.aspi);
    machine->SetAspiCompletion(description.aspiPending ? AspiCompletion::Pending : AspiCompletion::AtOnce);
    return machine;
}
