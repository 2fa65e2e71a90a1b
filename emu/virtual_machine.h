// A Windows machine as the program's device seam sees it: drive letters c to
// z, SCSI adapters with their devices behind them, the port driver's requests
// (pass-through, device list, capabilities) and an ASPI for Win32 library.
//
// Model: adapters hold units (bus, target, drive); a letter opens one unit.
// The device list of a letter describes the whole adapter behind it, so two
// letters on one adapter list the same devices. ASPI sees the adapters in the
// order they were added, and each unit by its target id. A letter's handle
// tells its unit's address: the adapter's index as port, the unit's bus and
// target, unit 0.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "device/win/device_io.h"
#include "emu/machine_file.h"
#include "emu/virtual_drive.h"

struct AdapterConfig {
    std::uint32_t alignMask = 0x3;       // reported and enforced on pass-through
    std::uint32_t maxTransfer = 0x10000; // reported and enforced on pass-through
    std::uint8_t aspiTargets = 8;        // HA_Unique byte 3; 0 leaves it unreported
    bool capabilitiesFail = false;       // IOCTL_SCSI_GET_CAPABILITIES fails
};

enum class AspiCompletion { Pending, AtOnce };

class VirtualMachine : public DeviceIo {
public:
    VirtualMachine();
    ~VirtualMachine() override;
    VirtualMachine(const VirtualMachine&) = delete;
    VirtualMachine& operator=(const VirtualMachine&) = delete;

    // --- building ---
    int AddAdapter(const AdapterConfig& config = {});
    // A drive the machine owns, on `adapter` at (bus, target); returns it.
    VirtualDrive& AddDevice(int adapter, std::uint8_t bus, std::uint8_t target,
                            DriveIdentity identity = {});
    // A drive the caller owns; it must outlive the machine.
    void AttachDevice(int adapter, std::uint8_t bus, std::uint8_t target, VirtualDrive& drive);
    // `letter` opens unit `unit` (in the order added) of `adapter`.
    void MapLetter(char letter, int adapter, int unit);
    // Shortcuts: one device on an adapter of its own, opened through `letter`.
    VirtualDrive& AddCdRom(char letter, DriveIdentity identity = {});
    VirtualDrive& AddHardDisk(char letter);
    void AttachCdRom(char letter, VirtualDrive& drive);

    AdapterConfig& Adapter(int index);
    int AdapterCount() const;
    VirtualDrive* DriveAt(char letter) const;

    // --- ASPI library ---
    void SetAspiLibrary(AspiLibrary variant);
    void SetAspiCompletion(AspiCompletion mode);
    // Status byte of GetASPI32SupportInfo; by default SS_COMP when there is
    // an adapter and SS_NO_ADAPTERS otherwise.
    void SetAspiSupportStatus(std::uint8_t status);

    // --- exclusive access (IOCTL_CDROM_EXCLUSIVE_ACCESS) ---
    // The CD-ROM class driver of Windows Vista and later has it; older
    // systems and Wine fail the request, and so does the machine unless it
    // offers it. While a drive is locked, pass-through requests on any other
    // handle are refused; closing the owner's handle ends the lock.
    void OfferExclusiveAccess(bool offered);
    // A file system mounted on the disc in the drive behind `letter`: a lock
    // that does not ignore it is refused.
    void MountFileSystem(char letter, bool mounted);
    // Another program locks the drive behind `letter` under `caller`.
    void LockExclusively(char letter, const std::string& caller);
    void UnlockExclusively(char letter);
    // The caller name the drive behind `letter` is locked under; empty when free.
    std::string ExclusiveCaller(char letter) const;

    // --- power ---
    // Whether some thread's standing request keeps the system from sleeping.
    bool KeptAwake() const;
    // Every SetThreadExecutionState, in order.
    std::vector<EXECUTION_STATE> ExecutionStateCalls() const;

    // --- failures of the system as a whole ---
    void FailAllIoctls(bool fail);  // every DeviceIoControl returns FALSE
    void FailIoctl(DWORD code);     // only requests with this control code
    // The error those failures leave (ERROR_GEN_FAILURE unless set): a drive
    // pulled out, a request the system refuses.
    void SetIoctlError(DWORD error);

    // --- what arrived ---
    struct OpenCall {
        std::string path;
        DWORD access, share, disposition, flags;
        HANDLE result;
    };
    struct PassThroughCall {
        HANDLE device;
        DWORD inLength, outLength;
        std::vector<std::uint8_t> record;  // inLength bytes as they came in
        std::vector<std::uint8_t> dataOut; // the data of a data-out request
        bool accepted;                     // passed the port's checks
    };
    struct IoctlCall {
        HANDLE device;
        DWORD code;
        bool hasIn, hasOut; // a buffer was given
        DWORD inLength, outLength;
    };
    struct AspiCall {
        std::vector<std::uint8_t> record; // the request record as it was sent
        bool pending;                     // answered SS_PENDING
    };
    const std::vector<OpenCall>& Opens() const;
    const std::vector<PassThroughCall>& PassThroughCalls() const;
    std::vector<DWORD> IoctlCodes() const; // every DeviceIoControl, in order
    const std::vector<IoctlCall>& IoctlCalls() const;
    std::vector<AspiCall> AspiCalls() const;
    int CloseCount(HANDLE handle) const; // CloseHandle calls on it, also repeated ones
    int OpenHandleCount() const;
    int LibraryLoads() const;
    int LibraryFrees() const;

    // --- DeviceIo ---
    HANDLE CreateFile(const char* path, DWORD access, DWORD share, DWORD disposition,
                      DWORD flags) override;
    BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inLength, void* out,
                         DWORD outLength, DWORD* returned) override;
    BOOL CloseHandle(HANDLE handle) override;
    HMODULE LoadLibrary(const char* name) override;
    FARPROC GetProcAddress(HMODULE module, const char* name) override;
    BOOL FreeLibrary(HMODULE module) override;
    EXECUTION_STATE SetThreadExecutionState(EXECUTION_STATE flags) override;

    // The ASPI entry points' work; public for the exported functions only.
    DWORD AspiSupportInfo();
    DWORD AspiSend(void* request);

private:
    struct Unit {
        std::uint8_t bus, target;
        VirtualDrive* drive;
    };
    struct Adapter_ {
        AdapterConfig config;
        std::vector<Unit> units;
    };
    struct Letter {
        int adapter = -1, unit = -1;
    };
    struct Handle {
        char letter;
        bool open;
        int closes;
        DWORD access; // as CreateFile asked for it
    };

    Handle* HandleOf(HANDLE handle);
    Letter* LetterOf(HANDLE handle);
    BOOL PassThrough(HANDLE device, const Letter& letter, void* in, DWORD inLength, void* out, DWORD outLength,
                     DWORD* returned);
    BOOL DeviceList(const Letter& letter, void* out, DWORD outLength, DWORD* returned);
    BOOL Capabilities(const Letter& letter, void* out, DWORD outLength, DWORD* returned);
    BOOL Address(const Letter& letter, void* out, DWORD outLength, DWORD* returned);
    BOOL ExclusiveAccess(HANDLE device, const Letter& letter, void* in, DWORD inLength, void* out,
                         DWORD outLength, DWORD* returned);
    VirtualDrive* DriveOf(const Letter& letter) const;
    Unit* AspiUnit(std::uint8_t ha, std::uint8_t target);
    void CompleteExec(void* request, Unit* unit, bool post);

    std::vector<std::unique_ptr<VirtualDrive>> owned_;
    std::vector<Adapter_> adapters_;
    std::array<Letter, 26> letters_{};
    std::vector<Handle> handles_;
    std::vector<OpenCall> opens_;
    std::vector<PassThroughCall> passThrough_;
    std::vector<IoctlCall> ioctls_;
    bool failAll_ = false;
    std::vector<DWORD> failing_;
    DWORD failError_ = ERROR_GEN_FAILURE;

    struct Exclusive {
        HANDLE owner = nullptr; // null: not locked
        std::string caller;
        bool mounted = false;
    };
    bool exclusiveOffered_ = false;
    std::map<const VirtualDrive*, Exclusive> exclusive_;

    AspiLibrary aspiLibrary_ = AspiLibrary::Present;
    AspiCompletion aspiCompletion_ = AspiCompletion::Pending;
    int aspiStatus_ = -1;
    int loads_ = 0, frees_ = 0;
    VirtualMachine* previousAspi_ = nullptr;
    bool aspiBound_ = false;
    mutable std::mutex aspiLock_;
    std::vector<AspiCall> aspiCalls_;

    // Requests come from the worker and are read by the test's thread.
    mutable std::mutex powerLock_;
    std::map<DWORD, EXECUTION_STATE> standing_; // by thread
    std::vector<EXECUTION_STATE> powerCalls_;
    std::vector<std::thread> completions_;
};
