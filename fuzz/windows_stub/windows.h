// The Windows names the drive access code uses, so that it builds natively
// and a fuzzer can run it. Sizes are those of Windows (DWORD is 32 bits where
// long is 64); the system calls are defined by the fuzz target, which plays
// the system.
#pragma once

#include <cstddef>
#include <cstdint>

#define WINAPI
#define __cdecl

using BOOL = int;
using DWORD = std::uint32_t;
using SIZE_T = std::size_t;
using HANDLE = void*;
using HMODULE = void*;
using FARPROC = std::intptr_t (*)();
using EXECUTION_STATE = DWORD;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

constexpr DWORD GENERIC_READ = 0x80000000u;
constexpr DWORD GENERIC_WRITE = 0x40000000u;
constexpr DWORD FILE_SHARE_READ = 0x1;
constexpr DWORD FILE_SHARE_WRITE = 0x2;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD HEAP_ZERO_MEMORY = 0x8;
constexpr DWORD INFINITE = 0xFFFFFFFFu;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;

constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_NOT_READY = 21;
constexpr DWORD ERROR_DEV_NOT_EXIST = 55;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_SEM_TIMEOUT = 121;
constexpr DWORD ERROR_IO_DEVICE = 1117;
constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;

HANDLE CreateFileA(const char* path, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD flags, HANDLE templateFile);
BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inLength, void* out,
                     DWORD outLength, DWORD* returned, void* overlapped);
BOOL CloseHandle(HANDLE handle);
HMODULE LoadLibraryA(const char* name);
HMODULE GetModuleHandleA(const char* name);
FARPROC GetProcAddress(HMODULE module, const char* name);
BOOL FreeLibrary(HMODULE module);

HANDLE GetProcessHeap();
void* HeapAlloc(HANDLE heap, DWORD flags, SIZE_T size);
BOOL HeapFree(HANDLE heap, DWORD flags, void* block);

DWORD GetLastError();
void SetLastError(DWORD error);

HANDLE CreateEventA(void* security, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE object, DWORD milliseconds);
