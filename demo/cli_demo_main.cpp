// The demo of kavora-cli: the product's command line and code, with the
// virtual machine of the dialog's demo behind the device seam. The machine
// comes from "machine.txt" in the working directory, or a built-in default.
#include <iostream>
#include <memory>
#include <string>

#include "cli/win/program_start.h"
#include "device/win/device_io.h"
#include "emu/machine_file.h"
#include "emu/virtual_machine.h"

int main(int argc, char** argv)
{
    MachineSpec description;
    std::string error;
    if (!LoadMachineFile("machine.txt", description, error)) {
        std::cerr << "kavora-cli-demo: " << error << "\n";
        return 1;
    }
    std::unique_ptr<VirtualMachine> machine = BuildMachine(description);
    SetDeviceIo(machine.get());
    const int status = RunOnWindows(argc, argv);
    SetDeviceIo(nullptr);
    return status;
}
