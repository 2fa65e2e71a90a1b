// Puts a virtual machine behind the device seam for one test and takes it
// away again, with the ASPI entry points and the drive entries the test made.
#pragma once

#include "device/win/drive_table.h"
#include "emu/virtual_machine.h"

class MachineScope {
public:
    MachineScope();
    ~MachineScope();
    MachineScope(const MachineScope&) = delete;
    MachineScope& operator=(const MachineScope&) = delete;

    VirtualMachine machine;
    DriveTable table;

    // Sets the family flags the way the main dialog does.
    void SetFamily(bool isNT, bool nt4);
    // Binds ASPI (9x family) and scans; returns the number of drives.
    int Scan();

private:
    DeviceIo* previousIo_;
    GetASPI32SupportInfoFn previousSupport_;
    SendASPI32CommandFn previousSend_;
};
