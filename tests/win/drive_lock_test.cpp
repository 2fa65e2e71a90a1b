// The lock that keeps a second run off a drive: its name, who holds it, the
// namespaces of the systems that lack Global and Local, and the system's
// exclusive access beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "device/win/drive_lock.h"
#include "device/win/scsi_records.h"
#include "tests/win/support/machine_scope.h"

namespace {

using Kind = LockOutcome::Kind;

// Ports no virtual machine of the other test programs uses, so that a run of
// them beside this one cannot meet these locks.
DriveEntry At(std::uint8_t port, std::uint8_t bus, std::uint8_t target, std::uint8_t lun = 0)
{
    DriveEntry drive{};
    drive.address = {port, bus, target, lun, true};
    drive.cLetter = 'd';
    return drive;
}

DriveEntry ByLetter(char letter)
{
    DriveEntry drive{};
    drive.cLetter = letter;
    return drive;
}

const LockHolder kOther{4242, "kavora.exe"};

TEST(DriveLockKey, NamesTheAddressOrElseTheLetter)
{
    struct Case {
        DriveEntry drive;
        const char* key;
    } cases[] = {
        {At(1, 0, 2), "KAVORA-drive-p1-b0-t2-l0"},
        {At(255, 7, 15, 3), "KAVORA-drive-p255-b7-t15-l3"},
        {ByLetter('d'), "KAVORA-drive-d"},
        {ByLetter('E'), "KAVORA-drive-e"},
        {DriveEntry{}, "KAVORA-drive-unknown"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DriveLockKey(c.drive), c.key);
}

// Judged by the mutex's existence: the second taker here is the same thread,
// for which a mutex it waited on would be its own again.
TEST(DriveLock, SecondTakerIsToldWhoHoldsTheDriveUntilItIsGivenBack)
{
    const DriveEntry drive = At(201, 0, 3);
    DriveLock first, second;
    ASSERT_EQ(first.Take(drive, kOther).kind, Kind::Taken);
    EXPECT_TRUE(first.Held());
    EXPECT_EQ(first.Name(), "Global\\KAVORA-drive-p201-b0-t3-l0");

    for (int attempt = 0; attempt < 2; ++attempt) {
        SCOPED_TRACE(attempt);
        const LockOutcome refused = second.Take(drive, ThisProgram());
        EXPECT_EQ(refused.kind, Kind::Upgrading);
        EXPECT_EQ(refused.holder.dwProcessId, 4242u);
        EXPECT_EQ(refused.holder.program, "kavora.exe");
        EXPECT_FALSE(second.Held());
    }

    // Nothing of the refusals stays behind to hold the drive.
    first.Release();
    EXPECT_FALSE(first.Held());
    EXPECT_EQ(second.Take(drive, ThisProgram()).kind, Kind::Taken);
}

TEST(DriveLock, OtherDrivesAreFree)
{
    DriveLock a, b, c, d;
    EXPECT_EQ(a.Take(At(202, 0, 3), kOther).kind, Kind::Taken);
    EXPECT_EQ(b.Take(At(202, 0, 4), kOther).kind, Kind::Taken);
    EXPECT_EQ(c.Take(At(202, 1, 3), kOther).kind, Kind::Taken);
    EXPECT_EQ(d.Take(ByLetter('q'), kOther).kind, Kind::Taken);
}

TEST(DriveLock, TakingAgainLetsTheFormerDriveGo)
{
    DriveLock lock, other;
    ASSERT_EQ(lock.Take(At(203, 0, 0), kOther).kind, Kind::Taken);
    ASSERT_EQ(lock.Take(At(203, 0, 1), kOther).kind, Kind::Taken);
    EXPECT_EQ(other.Take(At(203, 0, 0), kOther).kind, Kind::Taken);
}

// A system as far as the lock sees it: the names whose namespace it refuses,
// and with which error.
class SystemObjects : public NamedObjects {
public:
    SystemObjects(std::vector<std::string> refused, DWORD error)
        : refused_(std::move(refused)), error_(error)
    {
    }
    bool recordsReadable = true;

    HANDLE CreateMutex(const char* name) override
    {
        return Refuses(name) ? nullptr : NamedObjects::CreateMutex(name);
    }
    HANDLE CreateFileMapping(const char* name, DWORD size) override
    {
        return Refuses(name) ? nullptr : NamedObjects::CreateFileMapping(name, size);
    }
    HANDLE OpenFileMapping(const char* name) override
    {
        if (!recordsReadable) {
            ::SetLastError(ERROR_ACCESS_DENIED);
            return nullptr;
        }
        return Refuses(name) ? nullptr : NamedObjects::OpenFileMapping(name);
    }

private:
    bool Refuses(const std::string& name) const
    {
        for (const std::string& prefix : refused_) {
            if (name.compare(0, prefix.size(), prefix) == 0) {
                ::SetLastError(error_);
                return true;
            }
        }
        return false;
    }
    std::vector<std::string> refused_;
    DWORD error_;
};

struct NamespaceCase {
    const char* name;
    std::vector<std::string> refused; // namespaces the system does not have
    DWORD error;                      // what it says to a name in one of them
    Kind kind;
    const char* space; // where the lock is made, when it is
};

class DriveLockNamespaces : public ::testing::TestWithParam<NamespaceCase> {};

TEST_P(DriveLockNamespaces, LockIsMadeWhereTheSystemHasRoom)
{
    const NamespaceCase& c = GetParam();
    SystemObjects system(c.refused, c.error);
    const DriveEntry drive = At(204, 0, 5);
    DriveLock first(system), second(system);
    const LockOutcome outcome = first.Take(drive, kOther);
    EXPECT_EQ(outcome.kind, c.kind);
    if (c.kind != Kind::Taken) {
        EXPECT_FALSE(first.Held());
        if (c.kind == Kind::Failed) {
            EXPECT_EQ(outcome.error, c.error);
        }
        return;
    }
    EXPECT_EQ(first.Name(), c.space + DriveLockKey(drive));
    // The holder is found in the same place.
    const LockOutcome refused = second.Take(drive, ThisProgram());
    EXPECT_EQ(refused.kind, Kind::Upgrading);
    EXPECT_EQ(refused.holder.dwProcessId, 4242u);
    EXPECT_EQ(refused.holder.program, "kavora.exe");
}

const NamespaceCase kNamespaceCases[] = {
    {"Everywhere", {}, 0, Kind::Taken, "Global\\"},
    // No "Global" or "Local" directory among the named objects.
    {"NT4WithoutTerminalServices", {"Global\\", "Local\\"}, ERROR_PATH_NOT_FOUND, Kind::Taken, ""},
    // No backslash in a name.
    {"Windows9x", {"Global\\", "Local\\"}, ERROR_INVALID_NAME, Kind::Taken, ""},
    {"NoGlobalNamespace", {"Global\\"}, ERROR_PATH_NOT_FOUND, Kind::Taken, "Local\\"},
    // A lock of another account's run in Global: held, not a missing namespace.
    {"GlobalLockOfAnotherAccount", {"Global\\"}, ERROR_ACCESS_DENIED, Kind::Upgrading, nullptr},
    // Any other refusal must not let the run slip into a namespace where a
    // second run would not see it.
    {"SystemOutOfResources", {"Global\\"}, ERROR_NO_SYSTEM_RESOURCES, Kind::Failed, nullptr},
};

INSTANTIATE_TEST_SUITE_P(Systems, DriveLockNamespaces, ::testing::ValuesIn(kNamespaceCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Without a record to read, the holder stays unknown and the drive held.
TEST(DriveLock, UnreadableRecordLeavesTheHolderUnknown)
{
    SystemObjects system({}, 0);
    const DriveEntry drive = At(205, 0, 0);
    DriveLock first(system), second(system);
    ASSERT_EQ(first.Take(drive, kOther).kind, Kind::Taken);
    system.recordsReadable = false;
    const LockOutcome refused = second.Take(drive, ThisProgram());
    EXPECT_EQ(refused.kind, Kind::Upgrading);
    EXPECT_EQ(refused.holder.dwProcessId, 0u);
    EXPECT_EQ(refused.holder.program, "");
}

// The system's exclusive access, on the handle discovery opened.
class ExclusiveAccess : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 6; ++i)
            machine.AddAdapter(); // keeps the drive's port apart from other programs'
        machine.AddCdRom('d');
        ASSERT_EQ(scope.Scan(), 1);
        drive = *scope.table.m_pDrives[0];
    }
    int ExclusiveRequests() const
    {
        const auto codes = machine.IoctlCodes();
        return static_cast<int>(std::count(codes.begin(), codes.end(), scsi::IOCTL_CDROM_EXCLUSIVE_ACCESS));
    }

    MachineScope scope;
    VirtualMachine& machine = scope.machine;
    DriveEntry drive{};
};

// A file system mounted on the disc does not stand in the way: the lock
// ignores it.
TEST_F(ExclusiveAccess, IsTakenUnderOurNameAndGivenBack)
{
    machine.OfferExclusiveAccess(true);
    machine.MountFileSystem('d', true);
    DriveLock lock;
    ASSERT_EQ(lock.Take(drive, kOther).kind, Kind::Taken);
    EXPECT_TRUE(lock.Exclusive());
    EXPECT_EQ(machine.ExclusiveCaller('d'), "KAVORA firmware upgrade, process 4242");
    lock.Release();
    EXPECT_EQ(machine.ExclusiveCaller('d'), "");
    EXPECT_FALSE(lock.Exclusive());
}

TEST_F(ExclusiveAccess, AnotherProgramsHoldRefusesNamingItAndLeavesNothingHeld)
{
    machine.OfferExclusiveAccess(true);
    machine.LockExclusively('d', "Disc Burner 7");
    DriveLock lock;
    const LockOutcome refused = lock.Take(drive, kOther);
    EXPECT_EQ(refused.kind, Kind::ExclusiveUse);
    EXPECT_EQ(refused.caller, "Disc Burner 7");
    EXPECT_FALSE(lock.Held());
    EXPECT_EQ(ExclusiveRequests(), 1) << "asked, not locked";

    machine.UnlockExclusively('d');
    DriveLock next;
    EXPECT_EQ(next.Take(drive, kOther).kind, Kind::Taken);
}

// Systems before Vista, and Wine, fail the request: the named lock stands.
TEST_F(ExclusiveAccess, SystemWithoutItStillLocks)
{
    DriveLock lock, second;
    ASSERT_EQ(lock.Take(drive, kOther).kind, Kind::Taken);
    EXPECT_FALSE(lock.Exclusive());
    EXPECT_EQ(ExclusiveRequests(), 1);
    EXPECT_EQ(second.Take(drive, kOther).kind, Kind::Upgrading);
    lock.Release();
    EXPECT_EQ(ExclusiveRequests(), 1) << "nothing to give back";
}

// A drive found through ASPI has no handle to lock it on.
TEST(ExclusiveAccessOnAspi, IsNotAsked)
{
    MachineScope scope;
    scope.SetFamily(false, false);
    for (int i = 0; i < 6; ++i)
        scope.machine.AddAdapter();
    scope.machine.OfferExclusiveAccess(true);
    scope.machine.AddCdRom('d');
    ASSERT_EQ(scope.Scan(), 1);
    DriveLock lock;
    EXPECT_EQ(lock.Take(*scope.table.m_pDrives[0], kOther).kind, Kind::Taken);
    EXPECT_TRUE(scope.machine.IoctlCalls().empty());
}

} // namespace
