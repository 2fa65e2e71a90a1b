// A Windows machine whose drive letters, port driver answers (device lists,
// capabilities, pass-through) and ASPI manager answers come from the
// fuzzer's input, with one fuzzed drive behind every path. It checks the
// program's side as the real system would: handles, request records, buffers.
#pragma once

#include <windows.h>

#include <cstdint>
#include <set>

#include "device/win/device_io.h"
#include "fuzz/answer_stream.h"
#include "fuzz/fuzzed_drive.h"
#include "fuzz/require.h"

class FuzzedSystem : public DeviceIo {
public:
    // Installs itself behind the device seam and as the ASPI manager.
    FuzzedSystem(Answers* answers, FuzzedDrive& drive);
    ~FuzzedSystem() override;
    FuzzedSystem(const FuzzedSystem&) = delete;
    FuzzedSystem& operator=(const FuzzedSystem&) = delete;

    void SetAnswers(Answers* answers) { answers_ = answers; }
    bool IsOpen(HANDLE handle) const { return open_.count(handle) != 0; }
    const std::set<HANDLE>& OpenHandles() const { return open_; }

    HANDLE CreateFile(const char* path, DWORD access, DWORD share, DWORD disposition,
                      DWORD flags) override;
    BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inLength, void* out,
                         DWORD outLength, DWORD* returned) override;
    BOOL CloseHandle(HANDLE handle) override;
    HMODULE LoadLibrary(const char* name) override;
    FARPROC GetProcAddress(HMODULE module, const char* name) override;
    BOOL FreeLibrary(HMODULE module) override;
    EXECUTION_STATE SetThreadExecutionState(EXECUTION_STATE) override { return 0; }

private:
    static DWORD __cdecl GetSupportInfo();
    static DWORD __cdecl SendCommand(void* request);

    BOOL InquiryData(std::uint8_t* out, DWORD outLength);
    BOOL Capabilities(std::uint8_t* out, DWORD outLength);
    BOOL Address(std::uint8_t* out, DWORD outLength);
    BOOL PassThrough(void* in, DWORD inLength, void* out, DWORD outLength);
    DWORD HaInquiry(std::uint8_t* request);
    DWORD DeviceType(std::uint8_t* request);
    DWORD ExecScsi(std::uint8_t* request);

    Answers* answers_;
    FuzzedDrive& drive_;
    DeviceIo* previous_;
    std::set<HANDLE> open_;
    std::uintptr_t nextHandle_ = 0x1000;
    bool libraryLoaded_ = false;
};
