#include "device/win/drive_lock.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "device/win/device_io.h"
#include "device/win/scsi_records.h"

namespace {

// Tried in this order. "Global\" reaches every session of a terminal
// server, so two users cannot flash one drive at once; the others serve the
// systems without that namespace.
const char* const kNamespaces[] = {"Global\\", "Local\\", ""};
constexpr char kRecordSuffix[] = "-holder";

struct HolderRecord {
    std::uint32_t dwProcessId;
    char szProgram[MAX_PATH];
};

// Whether a name was refused only because the system has no such namespace,
// so that the next one is to be tried. NT 4 without Terminal Services has no
// "Global" or "Local" directory among its named objects and answers
// ERROR_PATH_NOT_FOUND; the 9x family takes no backslash in a name. Windows
// 2000 without Terminal Services ignores the prefixes and succeeds.
bool NoSuchNamespace(DWORD error)
{
    return error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME ||
           error == ERROR_BAD_PATHNAME || error == ERROR_INVALID_PARAMETER;
}

bool IsDeviceHandle(HANDLE handle) { return handle && handle != INVALID_HANDLE_VALUE; }

std::string CallerText(const std::uint8_t* name)
{
    std::size_t length = 0;
    while (length < scsi::CDROM_EXCLUSIVE_CALLER_LENGTH && name[length])
        ++length;
    return std::string(reinterpret_cast<const char*>(name), length);
}

bool QueryExclusive(HANDLE device, scsi::CDROM_EXCLUSIVE_LOCK_STATE& state)
{
    scsi::CDROM_EXCLUSIVE_ACCESS query{scsi::ExclusiveAccessQueryState, 0};
    state = scsi::CDROM_EXCLUSIVE_LOCK_STATE{};
    DWORD returned = 0;
    return Dev().DeviceIoControl(device, scsi::IOCTL_CDROM_EXCLUSIVE_ACCESS, &query, sizeof query,
                                 &state, sizeof state, &returned) != FALSE;
}

} // namespace

std::string DriveLockKey(const DriveEntry& drive)
{
    char key[48];
    const DriveAddress& a = drive.address;
    if (a.bKnown)
        std::snprintf(key, sizeof key, "KAVORA-drive-p%u-b%u-t%u-l%u", a.byPort, a.byPath,
                      a.byTarget, a.byLun);
    else if (drive.cLetter)
        std::snprintf(key, sizeof key, "KAVORA-drive-%c",
                      std::tolower(static_cast<unsigned char>(drive.cLetter)));
    else
        std::snprintf(key, sizeof key, "KAVORA-drive-unknown");
    return key;
}

LockHolder ThisProgram()
{
    LockHolder me;
    me.dwProcessId = ::GetCurrentProcessId();
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, sizeof path);
    if (length > 0 && length < sizeof path) {
        const char* name = path;
        for (const char* p = path; *p; ++p)
            if (*p == '\\' || *p == '/')
                name = p + 1;
        me.program = name;
    }
    return me;
}

HANDLE NamedObjects::CreateMutex(const char* name)
{
    // Creating a new mutex need not clear the error a caller reads.
    ::SetLastError(ERROR_SUCCESS);
    return ::CreateMutexA(nullptr, FALSE, name);
}

HANDLE NamedObjects::CreateFileMapping(const char* name, DWORD size)
{
    return ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
}

HANDLE NamedObjects::OpenFileMapping(const char* name)
{
    return ::OpenFileMappingA(FILE_MAP_READ, FALSE, name);
}

NamedObjects& SystemNamedObjects()
{
    static NamedObjects system;
    return system;
}

DriveLock::DriveLock(NamedObjects& objects) : objects_(objects) {}

DriveLock::~DriveLock() { Release(); }

LockOutcome DriveLock::Take(const DriveEntry& drive, const LockHolder& me)
{
    Release();
    const std::string key = DriveLockKey(drive);
    LockOutcome outcome;
    std::size_t space = 0;
    for (; space < std::size(kNamespaces); ++space) {
        const std::string name = kNamespaces[space] + key;
        HANDLE mutex = objects_.CreateMutex(name.c_str());
        const DWORD error = ::GetLastError();
        if (mutex && error != ERROR_ALREADY_EXISTS) {
            mutex_ = mutex;
            name_ = name;
            break;
        }
        // A handle to the holder's mutex must not stay open here: the mutex
        // would outlive the holder's run and refuse every later one.
        if (mutex)
            ::CloseHandle(mutex);
        // Denied: a mutex of that name exists, made by an account whose
        // objects this one may not open; it is held all the same.
        if (mutex || error == ERROR_ACCESS_DENIED) {
            outcome.kind = LockOutcome::Kind::Upgrading;
            outcome.holder = ReadHolder(key);
            return outcome;
        }
        outcome.error = error;
        if (!NoSuchNamespace(error))
            return outcome;
    }
    if (!mutex_)
        return outcome;

    WriteHolder(key, space, me);
    if (IsDeviceHandle(drive.hDevice)) {
        outcome = TakeExclusive(drive.hDevice, me);
        if (outcome.kind != LockOutcome::Kind::Taken) {
            Release();
            return outcome;
        }
    }
    outcome = LockOutcome{};
    outcome.kind = LockOutcome::Kind::Taken;
    return outcome;
}

LockOutcome DriveLock::TakeExclusive(HANDLE device, const LockHolder& me)
{
    LockOutcome outcome;
    outcome.kind = LockOutcome::Kind::Taken;
    // Systems before Vista, and Wine, fail the question: the named mutex is
    // all the protection there is.
    scsi::CDROM_EXCLUSIVE_LOCK_STATE state;
    if (!QueryExclusive(device, state))
        return outcome;
    if (state.LockState) {
        outcome.kind = LockOutcome::Kind::ExclusiveUse;
        outcome.caller = CallerText(state.CallerName);
        return outcome;
    }

    // Without CDROM_LOCK_IGNORE_VOLUME the driver refuses the lock while a
    // file system is mounted on the disc in the tray. The disc has nothing to
    // do with the firmware, and its file system must not reach the drive
    // during the run anyway; once unlocked, the driver has the volume
    // verified and mounted again.
    scsi::CDROM_EXCLUSIVE_LOCK lock{};
    lock.Access.RequestType = scsi::ExclusiveAccessLockDevice;
    lock.Access.Flags = scsi::CDROM_LOCK_IGNORE_VOLUME;
    std::snprintf(reinterpret_cast<char*>(lock.CallerName), sizeof lock.CallerName,
                  "KAVORA firmware upgrade, process %lu",
                  static_cast<unsigned long>(me.dwProcessId));
    DWORD returned = 0;
    if (Dev().DeviceIoControl(device, scsi::IOCTL_CDROM_EXCLUSIVE_ACCESS, &lock, sizeof lock,
                              nullptr, 0, &returned)) {
        exclusiveOn_ = device;
        return outcome;
    }
    // Another program took the drive between the question and the lock.
    if (::GetLastError() == ERROR_ACCESS_DENIED) {
        outcome.kind = LockOutcome::Kind::ExclusiveUse;
        if (QueryExclusive(device, state) && state.LockState)
            outcome.caller = CallerText(state.CallerName);
    }
    // Any other refusal: the run goes on without it.
    return outcome;
}

void DriveLock::Release()
{
    // The system's lock first: whoever takes the mutex next must find the
    // drive free.
    if (exclusiveOn_) {
        scsi::CDROM_EXCLUSIVE_ACCESS unlock{scsi::ExclusiveAccessUnlockDevice, 0};
        DWORD returned = 0;
        Dev().DeviceIoControl(exclusiveOn_, scsi::IOCTL_CDROM_EXCLUSIVE_ACCESS, &unlock,
                              sizeof unlock, nullptr, 0, &returned);
        exclusiveOn_ = nullptr;
    }
    if (record_)
        ::CloseHandle(record_);
    record_ = nullptr;
    if (mutex_)
        ::CloseHandle(mutex_);
    mutex_ = nullptr;
    name_.clear();
}

void DriveLock::WriteHolder(const std::string& key, std::size_t space, const LockHolder& me)
{
    // Beside the mutex where the system lets it be; where creating mappings
    // in the global namespace is a privilege the user lacks, in the next one.
    // The record only names the holder: without it the lock holds all the same.
    for (; space < std::size(kNamespaces) && !record_; ++space) {
        const std::string name = kNamespaces[space] + key + kRecordSuffix;
        record_ = objects_.CreateFileMapping(name.c_str(), sizeof(HolderRecord));
    }
    if (!record_)
        return;
    void* view = ::MapViewOfFile(record_, FILE_MAP_WRITE, 0, 0, sizeof(HolderRecord));
    if (!view)
        return;
    HolderRecord record{};
    record.dwProcessId = me.dwProcessId;
    std::snprintf(record.szProgram, sizeof record.szProgram, "%s", me.program.c_str());
    std::memcpy(view, &record, sizeof record);
    ::UnmapViewOfFile(view);
}

LockHolder DriveLock::ReadHolder(const std::string& key) const
{
    LockHolder holder;
    for (const char* space : kNamespaces) {
        const std::string name = space + key + kRecordSuffix;
        HANDLE mapping = objects_.OpenFileMapping(name.c_str());
        if (!mapping)
            continue;
        HolderRecord record{};
        if (const void* view = ::MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, sizeof record)) {
            std::memcpy(&record, view, sizeof record);
            ::UnmapViewOfFile(view);
        }
        ::CloseHandle(mapping);
        if (record.dwProcessId == 0)
            continue;
        record.szProgram[sizeof record.szProgram - 1] = '\0';
        holder.dwProcessId = record.dwProcessId;
        holder.program = record.szProgram;
        return holder;
    }
    return holder;
}
