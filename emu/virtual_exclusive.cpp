// The CD-ROM class driver's exclusive access, as Windows Vista and later
// answer it: a query tells whether the drive is locked and under which
// caller name, a lock takes it for the requesting handle, an unlock gives it
// back. The checks are the documented ones, in the driver's order.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

#include "device/win/scsi_records.h"
#include "emu/virtual_machine.h"

namespace {

// Stands for a handle of another program.
HANDLE const kOtherProgram = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(1));

BOOL Fail(DWORD error)
{
    ::SetLastError(error);
    return FALSE;
}

bool CallerCharacter(unsigned char c)
{
    return std::isalnum(c) || c == ' ' || c == '.' || c == ',' || c == ':' || c == ';' ||
           c == '-' || c == '_';
}

// The name must end within the field, hold at least one character and only
// the characters the driver accepts.
bool ValidCaller(const std::uint8_t* name)
{
    std::size_t length = 0;
    while (length < scsi::CDROM_EXCLUSIVE_CALLER_LENGTH && name[length]) {
        if (!CallerCharacter(name[length]))
            return false;
        ++length;
    }
    return length > 0 && length < scsi::CDROM_EXCLUSIVE_CALLER_LENGTH;
}

} // namespace

void VirtualMachine::OfferExclusiveAccess(bool offered) { exclusiveOffered_ = offered; }

void VirtualMachine::MountFileSystem(char letter, bool mounted)
{
    exclusive_[DriveAt(letter)].mounted = mounted;
}

void VirtualMachine::LockExclusively(char letter, const std::string& caller)
{
    Exclusive& exclusive = exclusive_[DriveAt(letter)];
    exclusive.owner = kOtherProgram;
    exclusive.caller = caller;
}

void VirtualMachine::UnlockExclusively(char letter) { exclusive_[DriveAt(letter)].owner = nullptr; }

std::string VirtualMachine::ExclusiveCaller(char letter) const
{
    const auto found = exclusive_.find(DriveAt(letter));
    return found != exclusive_.end() && found->second.owner ? found->second.caller : "";
}

BOOL VirtualMachine::ExclusiveAccess(HANDLE device, const Letter& letter, void* in, DWORD inLength,
                                     void* out, DWORD outLength, DWORD* returned)
{
    if (!exclusiveOffered_)
        return Fail(ERROR_INVALID_FUNCTION);
    if (!in || inLength < sizeof(scsi::CDROM_EXCLUSIVE_ACCESS))
        return Fail(ERROR_BAD_LENGTH);
    scsi::CDROM_EXCLUSIVE_ACCESS request;
    std::memcpy(&request, in, sizeof request);
    Exclusive& state = exclusive_[DriveOf(letter)];

    switch (request.RequestType) {
    case scsi::ExclusiveAccessQueryState: {
        if (!out || outLength < sizeof(scsi::CDROM_EXCLUSIVE_LOCK_STATE))
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        scsi::CDROM_EXCLUSIVE_LOCK_STATE answer{};
        if (state.owner) {
            answer.LockState = 1;
            std::memcpy(answer.CallerName, state.caller.data(),
                        std::min(state.caller.size(), sizeof answer.CallerName - 1));
        }
        std::memcpy(out, &answer, sizeof answer);
        if (returned)
            *returned = sizeof answer;
        return TRUE;
    }
    case scsi::ExclusiveAccessLockDevice: {
        if (inLength < sizeof(scsi::CDROM_EXCLUSIVE_LOCK))
            return Fail(ERROR_BAD_LENGTH);
        scsi::CDROM_EXCLUSIVE_LOCK lock;
        std::memcpy(&lock, in, sizeof lock);
        if (!ValidCaller(lock.CallerName))
            return Fail(ERROR_INVALID_PARAMETER);
        if (state.mounted && !(lock.Access.Flags & scsi::CDROM_LOCK_IGNORE_VOLUME))
            return Fail(ERROR_BAD_COMMAND);
        if (state.owner)
            return Fail(ERROR_ACCESS_DENIED);
        state.owner = device;
        state.caller = reinterpret_cast<const char*>(lock.CallerName);
        return TRUE;
    }
    case scsi::ExclusiveAccessUnlockDevice:
        if (!state.owner)
            return Fail(ERROR_INVALID_FUNCTION);
        if (state.owner != device)
            return Fail(ERROR_INVALID_HANDLE);
        state.owner = nullptr;
        return TRUE;
    default:
        return Fail(ERROR_INVALID_PARAMETER);
    }
}
