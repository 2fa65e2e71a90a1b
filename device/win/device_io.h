// The one door through which the program reaches devices, loads the ASPI
// library and asks the system to stay awake. The product uses the real system
// behind it; tests and the demo put a virtual machine there.
#pragma once

#include <windows.h>

class DeviceIo {
public:
    virtual ~DeviceIo() = default;
    virtual HANDLE CreateFile(const char* path, DWORD access, DWORD share, DWORD disposition,
                              DWORD flags);
    virtual BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inLength, void* out,
                                 DWORD outLength, DWORD* returned);
    virtual BOOL CloseHandle(HANDLE handle);
    virtual HMODULE LoadLibrary(const char* name);
    virtual FARPROC GetProcAddress(HMODULE module, const char* name);
    virtual BOOL FreeLibrary(HMODULE module);
    // The calling thread's power request; 0 where the system has no such
    // call (Windows 95, NT 4).
    virtual EXECUTION_STATE SetThreadExecutionState(EXECUTION_STATE flags);
};

DeviceIo& Dev();
// Installs `io` (null restores the real system) and returns the previous one.
DeviceIo* SetDeviceIo(DeviceIo* io);
