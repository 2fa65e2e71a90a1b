// The one door through which the program reaches devices and loads the ASPI
// library. The product uses the real system behind it; tests and the demo put
// a virtual machine there.
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
};

DeviceIo& Dev();
// Installs `io` (null restores the real system) and returns the previous one.
DeviceIo* SetDeviceIo(DeviceIo* io);
