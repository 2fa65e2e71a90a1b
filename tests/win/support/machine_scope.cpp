#include "tests/win/support/machine_scope.h"

MachineScope::MachineScope()
    : previousIo_(SetDeviceIo(&machine)), previousSupport_(pfnGetASPI32SupportInfo),
      previousSend_(pfnSendASPI32Command)
{
    table.m_bIsNT = true;
}

MachineScope::~MachineScope()
{
    for (DriveEntry*& entry : table.m_pDrives) {
        if (entry)
            ::HeapFree(::GetProcessHeap(), 0, entry);
        entry = nullptr;
    }
    pfnGetASPI32SupportInfo = previousSupport_;
    pfnSendASPI32Command = previousSend_;
    SetDeviceIo(previousIo_);
}

void MachineScope::SetFamily(bool isNT, bool nt4)
{
    table.m_bIsNT = isNT;
    table.m_bNT4 = isNT && nt4;
}

int MachineScope::Scan()
{
    const AspiBinding binding = BindAspiLibrary(table);
    if (binding != AspiBinding::NotNeeded && binding != AspiBinding::Bound)
        return -1;
    ScanDrives(table);
    return table.m_nDriveCount;
}
