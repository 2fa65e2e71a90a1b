// One writer per drive. A run holds its drive from just before its first
// command until after its last, so that a second run, of another copy of the
// program or of another dialog of this one, is refused before it sends
// anything: two runs whose blocks, headers and saves interleave leave the
// drive half flashed or dead.
//
// The lock is a named mutex named after the drive's address. Its existence
// says the drive is held, not its ownership: a mutex is recursive for the
// thread that owns it, and two dialogs of one process must shut each other
// out too. A small named file mapping beside it tells who holds it. Both go
// when the run lets them go or its process ends, however it ends.
//
// Where the system has it (Windows Vista and later), the run also takes the
// CD-ROM class driver's exclusive access on its own handle, which keeps every
// other program's requests away from the drive while it lasts.
#pragma once

#include <windows.h>

#include <string>

#include "device/drive_entry.h"

// The name of `drive`'s lock, without a namespace: "KAVORA-drive-p1-b0-t2-l0"
// by port, bus, target and unit, or "KAVORA-drive-d" by the letter where the
// system did not tell the address.
std::string DriveLockKey(const DriveEntry& drive);

// A program holding a drive.
struct LockHolder {
    DWORD dwProcessId = 0; // 0: not known
    std::string program;   // its file name without the folder; empty: not known
};

// This process as a holder.
LockHolder ThisProgram();

// The named objects the lock is made of: the system's, unless a test stands
// in for a system that lacks the namespaces.
class NamedObjects {
public:
    virtual ~NamedObjects() = default;
    // CreateMutexA without security attributes or initial owner; the error,
    // ERROR_ALREADY_EXISTS for an existing mutex, is left for GetLastError.
    virtual HANDLE CreateMutex(const char* name);
    // A mapping of `size` bytes of the paging file, as CreateFileMappingA.
    virtual HANDLE CreateFileMapping(const char* name, DWORD size);
    // OpenFileMappingA, for reading.
    virtual HANDLE OpenFileMapping(const char* name);
};

NamedObjects& SystemNamedObjects();

struct LockOutcome {
    enum class Kind {
        Taken,
        Upgrading,    // another run holds the drive: `holder`, as far as known
        ExclusiveUse, // another program holds the system's exclusive access: `caller`
        Failed,       // the system made no lock: `error`
    };
    Kind kind = Kind::Failed;
    LockHolder holder;
    std::string caller; // the name the other program gave the system; may be empty
    DWORD error = 0;
};

class DriveLock {
public:
    explicit DriveLock(NamedObjects& objects = SystemNamedObjects());
    ~DriveLock();
    DriveLock(const DriveLock&) = delete;
    DriveLock& operator=(const DriveLock&) = delete;

    // Takes `drive` for a run of `me`. Any outcome but Taken leaves nothing
    // held, and nothing has been sent to the drive.
    LockOutcome Take(const DriveEntry& drive, const LockHolder& me);
    // Gives the drive back; nothing happens when nothing is held.
    void Release();

    bool Held() const { return mutex_ != nullptr; }
    // The held mutex's whole name, namespace included; empty when none.
    const std::string& Name() const { return name_; }
    // Whether the system's exclusive access was taken as well.
    bool Exclusive() const { return exclusiveOn_ != nullptr; }

private:
    void WriteHolder(const std::string& key, std::size_t space, const LockHolder& me);
    LockHolder ReadHolder(const std::string& key) const;
    // The system's exclusive access on `device`; Taken also where the system
    // has none.
    LockOutcome TakeExclusive(HANDLE device, const LockHolder& me);

    NamedObjects& objects_;
    HANDLE mutex_ = nullptr;
    HANDLE record_ = nullptr;
    HANDLE exclusiveOn_ = nullptr;
    std::string name_;
};
