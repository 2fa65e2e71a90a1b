#include "device/win/device_io.h"

namespace {
DeviceIo g_realIo;
DeviceIo* g_io = &g_realIo;
} // namespace

HANDLE DeviceIo::CreateFile(const char* path, DWORD access, DWORD share, DWORD disposition,
                            DWORD flags)
{
    return ::CreateFileA(path, access, share, nullptr, disposition, flags, nullptr);
}

BOOL DeviceIo::DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inLength, void* out,
                               DWORD outLength, DWORD* returned)
{
    return ::DeviceIoControl(device, code, in, inLength, out, outLength, returned, nullptr);
}

BOOL DeviceIo::CloseHandle(HANDLE handle) { return ::CloseHandle(handle); }

HMODULE DeviceIo::LoadLibrary(const char* name) { return ::LoadLibraryA(name); }

FARPROC DeviceIo::GetProcAddress(HMODULE module, const char* name)
{
    return ::GetProcAddress(module, name);
}

BOOL DeviceIo::FreeLibrary(HMODULE module) { return ::FreeLibrary(module); }

EXECUTION_STATE DeviceIo::SetThreadExecutionState(EXECUTION_STATE flags)
{
    // Looked up, not imported: the program must still start on the systems
    // that lack it.
    using Fn = EXECUTION_STATE(WINAPI*)(EXECUTION_STATE);
    static const Fn call = reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetThreadExecutionState")));
    return call ? call(flags) : 0;
}

DeviceIo& Dev() { return *g_io; }

DeviceIo* SetDeviceIo(DeviceIo* io)
{
    DeviceIo* previous = g_io;
    g_io = io ? io : &g_realIo;
    return previous == &g_realIo ? nullptr : previous;
}
