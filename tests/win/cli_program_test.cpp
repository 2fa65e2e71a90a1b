// kavora-cli.exe as it runs on Windows: from main() on (the console set up,
// the system's family asked, the system kept awake), with the drives found
// and reached through the device seam as the product reaches them, over a
// virtual machine.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/exit_status.h"
#include "cli/win/console_setup.h"
#include "cli/win/console_stop.h"
#include "cli/win/program_start.h"
#include "cli/win/windows_drives.h"
#include "device/win/drive_lock.h"
#include "device/win/scsi_records.h"
#include "tests/portable/engine_fixture.h"
#include "tests/support/cli_cases.h"
#include "tests/support/cli_json_keys.h"
#include "tests/support/scratch_folder.h"
#include "tests/win/support/machine_scope.h"

namespace {

using engine_test::Bytes;
using engine_test::kModel;
using engine_test::MakeImage;

constexpr std::uint8_t kWriteBuffer = 0x3B;

// The machine, with a way into the middle of a run: once the drive at d:
// has taken `blocks` blocks, `then` is done, once.
class AfterBlocks : public DeviceIo {
public:
    AfterBlocks(VirtualMachine& machine, int blocks, std::function<void()> then)
        : machine_(machine), blocks_(blocks), then_(std::move(then))
    {
    }
    HANDLE CreateFile(const char* path, DWORD access, DWORD share, DWORD disposition, DWORD flags) override
    {
        return machine_.CreateFile(path, access, share, disposition, flags);
    }
    BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inLength, void* out, DWORD outLength,
                         DWORD* returned) override
    {
        const BOOL done = machine_.DeviceIoControl(device, code, in, inLength, out, outLength, returned);
        const DWORD error = ::GetLastError();
        int written = 0;
        for (const ReceivedCommand& c : machine_.DriveAt('d')->Commands())
            written += c.cdb[0] == kWriteBuffer && c.cdb[1] == 0x06 && c.good ? 1 : 0;
        if (!done_ && written == blocks_) {
            done_ = true;
            then_();
        }
        ::SetLastError(error);
        return done;
    }
    BOOL CloseHandle(HANDLE handle) override { return machine_.CloseHandle(handle); }
    HMODULE LoadLibrary(const char* name) override { return machine_.LoadLibrary(name); }
    FARPROC GetProcAddress(HMODULE module, const char* name) override { return machine_.GetProcAddress(module, name); }
    BOOL FreeLibrary(HMODULE module) override { return machine_.FreeLibrary(module); }
    EXECUTION_STATE SetThreadExecutionState(EXECUTION_STATE flags) override
    {
        return machine_.SetThreadExecutionState(flags);
    }

private:
    VirtualMachine& machine_;
    int blocks_;
    std::function<void()> then_;
    bool done_ = false;
};

class CliOnWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::GetCurrentDirectoryA(sizeof previous_, previous_);
        ASSERT_TRUE(::SetCurrentDirectoryA(folder_.Path().string().c_str()));
        // The waits of a run are asked for, not waited.
        previousClock_ = SetClock(&clock_);
    }
    void TearDown() override
    {
        SetClock(previousClock_);
        ::SetCurrentDirectoryA(previous_);
    }

    void WriteFile(const std::string& name, const std::string& text)
    {
        std::ofstream(name, std::ios::binary) << text;
    }
    void WriteFile(const std::string& name, const Bytes& bytes)
    {
        std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    // The model list and an image for the machine's default drive.
    void ListAndImage(const char* revision = "1.10", const char* flag = "N")
    {
        WriteFile("IDString.txt", std::string("\"") + kModel + "\" \"KV.bin\" \"" + flag + "\"\n");
        WriteFile("KV.bin", MakeImage(9000, 0x100, revision));
    }

    // kavora-cli.exe with `words` after its name, as main() runs it; what it
    // wrote to standard output and error is kept.
    int Run(std::vector<std::string> words)
    {
        words.insert(words.begin(), "kavora-cli.exe");
        std::vector<char*> argv;
        for (std::string& w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        out.str("");
        err.str("");
        std::streambuf* const outWas = std::cout.rdbuf(out.rdbuf());
        std::streambuf* const errWas = std::cerr.rdbuf(err.rdbuf());
        const int status = RunOnWindows(static_cast<int>(words.size()), argv.data());
        std::cout.rdbuf(outWas);
        std::cerr.rdbuf(errWas);
        return status;
    }
    bool Said(const std::string& text) const { return err.str().find(text) != std::string::npos; }
    bool Logged(const std::string& text) const { return out.str().find(text) != std::string::npos; }
    // Standard output of a --json run: one document that fits its kind's table.
    CliJsonKind JsonKind() const
    {
        CliJsonKind kind = CliJsonKind::Unknown;
        for (const std::string& fault : CliJsonOutputFaults(out.str(), &kind))
            ADD_FAILURE() << fault << "\n" << out.str();
        return kind;
    }
    int Sent(std::uint8_t mode, char letter = 'd') const
    {
        int count = 0;
        for (const ReceivedCommand& c : scope.machine.DriveAt(letter)->Commands())
            count += c.cdb[0] == kWriteBuffer && (c.cdb[1] & 0x1F) == mode ? 1 : 0;
        return count;
    }

    ScratchFolder folder_{"cli"};
    char previous_[MAX_PATH] = {};
    engine_test::RecordingClock clock_;
    Clock* previousClock_ = nullptr;
    MachineScope scope;
    std::ostringstream out, err;
};

TEST_F(CliOnWindows, ListsTheCdDrivesByLetter)
{
    scope.machine.AddHardDisk('c');
    scope.machine.AddCdRom('d');
    DriveIdentity other;
    other.product = "OTHER DRIVE     ";
    scope.machine.AddCdRom('f', other);
    ListAndImage();
    EXPECT_EQ(Run({"list"}), kExitUpgraded) << err.str();
    EXPECT_TRUE(Logged("D: (SCSI 1:0:0:0)  \"KAVORA  CD-ROM VIRTUAL  \"  1.00  <- IDString.txt\n")) << out.str();
    EXPECT_TRUE(Logged("F: (SCSI 2:0:0:0)  \"KAVORA  OTHER DRIVE     \"  1.00\n")) << out.str();
    EXPECT_FALSE(Logged("C:")) << out.str();

    EXPECT_EQ(Run({"list", "--json"}), kExitUpgraded) << err.str();
    EXPECT_EQ(JsonKind(), CliJsonKind::List);
    const nlohmann::json listing = nlohmann::json::parse(out.str());
    EXPECT_EQ(listing["drives"][0]["node"], "D:");
    EXPECT_EQ(listing["drives"][1]["node"], "F:");
}

// A duplicator tower holds up to 11 drives, more than the dialog's table of
// eight: the scan goes on from the letter after a full table's last one.
TEST_F(CliOnWindows, FindsMoreDrivesThanTheDialogsTableHolds)
{
    for (char letter = 'd'; letter <= 'n'; ++letter)
        scope.machine.AddCdRom(letter);
    ListAndImage();
    EXPECT_EQ(Run({"list"}), kExitUpgraded) << err.str();
    for (char letter = 'D'; letter <= 'N'; ++letter)
        EXPECT_TRUE(Logged(std::string("\n") + letter + ": (SCSI ") || out.str().rfind(std::string(1, letter) + ":", 0) == 0)
            << letter << "\n" << out.str();
    std::size_t lines = 0;
    for (char c : out.str())
        lines += c == '\n' ? 1 : 0;
    EXPECT_EQ(lines, 11u) << out.str();
}

// Each command and its --json form, over one drive, and the refusals.
TEST_F(CliOnWindows, CommandsAndTheirJson)
{
    scope.machine.AddCdRom('d');
    struct Case {
        std::vector<std::string> words;
        const char* imageRevision;
        int status;
        const char* logged; // on standard output, without --json
        CliJsonKind kind;   // of the --json form
    } cases[] = {
        {{"info", "KV.bin"}, "1.10", kExitUpgraded, "sent:        9000 bytes in 3 blocks of 4096", CliJsonKind::Info},
        {{"check"}, "1.10", kExitUpgraded, "Check Sum : ", CliJsonKind::Check},
        {{"check", "--drive", "D:"}, "1.10", kExitUpgraded, "Check Sum : ", CliJsonKind::Check},
        {{"check"}, "2.10", kExitRefused, "It is an incorrect firmware version!", CliJsonKind::Check},
        {{"upgrade"}, "2.10", kExitRefused, "It is an incorrect firmware version!", CliJsonKind::Upgrade},
        {{"upgrade", "--drive", "Z:"}, "1.10", kExitRefused, "", CliJsonKind::Error},
        {{"upgrade"}, "1.10", kExitUpgraded, "Please Restart Your Computer.", CliJsonKind::Upgrade},
    };
    for (const Case& c : cases) {
        std::string name;
        for (const std::string& w : c.words)
            name += w + " ";
        SCOPED_TRACE(name);
        for (bool json : {false, true}) {
            scope.machine.DriveAt('d')->ClearCommands();
            ListAndImage(c.imageRevision);
            std::vector<std::string> words = c.words;
            if (json)
                words.push_back("--json");
            EXPECT_EQ(Run(words), c.status) << err.str();
            if (json)
                EXPECT_EQ(JsonKind(), c.kind);
            else
                EXPECT_TRUE(Logged(c.logged)) << out.str() << err.str();
            // Only an upgrade the image is for writes to the drive.
            EXPECT_EQ(Sent(0x07), c.status == kExitUpgraded && c.words[0] == "upgrade" ? 1 : 0);
        }
    }
    EXPECT_TRUE(std::filesystem::exists("sum.txt"));
}

// The command lines both systems' programs run alike give here what they
// give on Linux (tests/linux/cli_shared_cases_test.cpp), byte for byte.
TEST_F(CliOnWindows, SharedCasesGiveTheOutputBothSystemsGive)
{
    const DriveNaming naming{"D:", "SCSI 0:0:0:0", "D: (SCSI 0:0:0:0)"};
    scope.machine.AddCdRom('d');
    for (const SharedCliCase& c : SharedCliCases()) {
        SCOPED_TRACE(c.name);
        // Each case meets the drive as it was first: an upgrade before it
        // changed its revision.
        scope.machine.DriveAt('d')->SetIdentity(DriveIdentity{});
        ListAndImage(c.imageRevision);
        std::vector<std::string> words;
        for (const std::string& w : c.words)
            words.push_back(Filled(w, naming));
        EXPECT_EQ(Run(words), c.status) << err.str();
        EXPECT_EQ(out.str(), Filled(c.out, naming));
    }
}

TEST_F(CliOnWindows, UsageErrorsAreToldApartFromRefusals)
{
    scope.machine.AddCdRom('d');
    EXPECT_EQ(Run({"upgrade", "--drive"}), kExitUsage);
    EXPECT_EQ(Run({"upgrade", "--frobnicate", "--json"}), kExitUsage);
    EXPECT_EQ(JsonKind(), CliJsonKind::Error);
}

// A drive is named by its letter, in any of the ways Windows writes one.
TEST_F(CliOnWindows, DriveNamedByItsLetter)
{
    scope.machine.AddCdRom('d');
    ListAndImage();
    for (const char* name : {"D:", "d:", "d", "D:\\", "\\\\.\\D:"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(Run({"check", "--drive", name}), kExitUpgraded) << err.str();
        EXPECT_TRUE(Said("it is for the drive at D:")) << err.str();
    }
    struct Refused {
        const char* name;
        const char* said;
    } refused[] = {
        {"Z:", "kavora-cli: Z: no such drive: "},
        {"/dev/sr0", "not a drive letter; name a drive by its letter, as D:"},
    };
    for (const Refused& r : refused) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(Run({"check", "--drive", r.name}), kExitRefused);
        EXPECT_TRUE(Said(r.said)) << err.str();
    }
}

TEST_F(CliOnWindows, LetterNames)
{
    const struct {
        const char* given;
        const char* name;
    } cases[] = {{"d", "D:"}, {"E:", "E:"}, {"f:\\", "F:"}, {"\\\\.\\g:", "G:"}, {"", ""},
                 {"DD", ""},  {"1:", ""},   {"/dev/sr0", ""}, {"D:\\x", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(WindowsDrives::LetterName(c.given), c.name) << c.given;
}

// A tower on Windows: each drive's lines and sum file under its letter.
TEST_F(CliOnWindows, TowerNamesEachDriveByItsLetter)
{
    scope.machine.AddCdRom('d');
    scope.machine.AddCdRom('e');
    ListAndImage();
    EXPECT_EQ(Run({"upgrade", "--all"}), kExitUpgraded) << err.str();
    EXPECT_TRUE(Logged("D: Please Restart Your Computer.")) << out.str();
    EXPECT_TRUE(Logged("E: Please Restart Your Computer.")) << out.str();
    EXPECT_TRUE(std::filesystem::exists("sum-D.txt"));
    EXPECT_TRUE(std::filesystem::exists("sum-E.txt"));
    EXPECT_EQ(Sent(0x07, 'd'), 1);
    EXPECT_EQ(Sent(0x07, 'e'), 1);
}

// Ctrl-C in the transfer stops the run before anything is saved, and does
// not end the process: the program's routine is asked as the console asks it.
TEST_F(CliOnWindows, CtrlCInTheTransferStopsBeforeTheSave)
{
    scope.machine.AddCdRom('d');
    ListAndImage();
    BOOL handled = FALSE;
    AfterBlocks io(scope.machine, 1, [&handled] { handled = OnConsoleRequest(CTRL_C_EVENT); });
    DeviceIo* const was = SetDeviceIo(&io);
    const int status = Run({"upgrade"});
    SetDeviceIo(was);
    EXPECT_TRUE(handled) << "Ctrl-C must not end the process";
    EXPECT_EQ(status, kExitNotSaved) << err.str();
    EXPECT_EQ(Sent(0x07), 0);
    EXPECT_TRUE(Said("it still has its old firmware")) << err.str();
}

// A request the adapter fails is told as the system's failure, not the
// drive's answer, in the system's words.
TEST_F(CliOnWindows, FailedRequestIsToldInTheSystemsWords)
{
    scope.machine.AddCdRom('d');
    ListAndImage();
    AfterBlocks io(scope.machine, 1, [this] {
        scope.machine.SetIoctlError(ERROR_IO_DEVICE);
        scope.machine.FailIoctl(scsi::IOCTL_SCSI_PASS_THROUGH_DIRECT);
    });
    DeviceIo* const was = SetDeviceIo(&io);
    const int status = Run({"upgrade"});
    SetDeviceIo(was);
    EXPECT_EQ(status, kExitNotSaved) << err.str();
    EXPECT_TRUE(Said("the block at image offset 0x1000 failed: transport failure, not an answer of the drive: the "
                     "adapter, its bus or its driver failed the request: "))
        << err.str();
    EXPECT_TRUE(Said("(error 1117)")) << err.str();
}

// One writer per drive, whichever program writes: the dialog's lock keeps
// kavora-cli off the drive before it sends anything.
TEST_F(CliOnWindows, DriveTheDialogHoldsIsRefused)
{
    scope.machine.AddCdRom('d');
    ListAndImage();
    ASSERT_EQ(scope.Scan(), 1);
    DriveLock dialogs;
    ASSERT_EQ(dialogs.Take(*scope.table.m_pDrives[0], LockHolder{1234, "kavora.exe"}).kind, LockOutcome::Kind::Taken);
    EXPECT_EQ(Run({"upgrade"}), kExitRefused);
    EXPECT_TRUE(Said("D: is being upgraded by another program: kavora.exe (process 1234)")) << err.str();
    EXPECT_EQ(Sent(0x06) + Sent(0x07), 0);
}

TEST_F(CliOnWindows, KeepsTheSystemAwakeWhileItRuns)
{
    scope.machine.AddCdRom('d');
    ListAndImage();
    EXPECT_EQ(Run({"upgrade"}), kExitUpgraded);
    const std::vector<EXECUTION_STATE> calls = scope.machine.ExecutionStateCalls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front(), static_cast<EXECUTION_STATE>(ES_CONTINUOUS | ES_SYSTEM_REQUIRED));
    EXPECT_FALSE(scope.machine.KeptAwake());
}

// The help speaks of Windows' drives and ways, not of Linux's.
TEST_F(CliOnWindows, HelpSpeaksOfWindows)
{
    for (std::vector<std::string> words : {std::vector<std::string>{"--help"}, {"help", "upgrade"}, {"help", "list"}}) {
        SCOPED_TRACE(words.back());
        EXPECT_EQ(Run(words), kExitUpgraded);
        for (const char* linux : {"SG_IO", "/dev/", "root", "SIGTERM", "/run/lock", "sr1"})
            EXPECT_EQ(out.str().find(linux), std::string::npos) << linux << "\n" << out.str();
    }
    EXPECT_EQ(Run({"help", "upgrade"}), kExitUpgraded);
    for (const char* windows : {"D: (default", "\"sum-D.txt\"", "Ctrl-C or Ctrl-Break before the last block",
                                "Closing the console, logging off or shutting down asks the runs to stop too",
                                "run kavora-cli from a console\nopened as administrator"})
        EXPECT_TRUE(Logged(windows)) << windows << "\n" << out.str();
}

// Bars where they can be drawn in place, plain lines elsewhere.
TEST(CliSystems, ConsoleGetsBarsWhereItDrawsThem)
{
    const struct {
        const char* name;
        ConsoleState state;
        bool errIsTerminal;
        const char* term;
    } cases[] = {
        {"console taking sequences", {true, true, true, false, ""}, true, ""},
        {"console of an older Windows", {true, true, false, false, ""}, true, "dumb"},
        {"TERM=dumb stays", {true, true, true, false, "dumb"}, true, "dumb"},
        {"mintty", {false, false, false, true, "xterm"}, true, "xterm"},
        {"pipe or file", {false, false, false, false, ""}, false, ""},
    };
    for (const auto& c : cases) {
        const ConsoleFacts facts = FactsOf(c.state);
        EXPECT_EQ(facts.errIsTerminal, c.errIsTerminal) << c.name;
        EXPECT_EQ(facts.term, c.term) << c.name;
        EXPECT_EQ(facts.inIsTerminal, c.state.inIsConsole) << c.name;
    }
}

TEST(CliSystems, NineXFamilyIsToldToUseTheDialog)
{
    EXPECT_EQ(WhyNotOnThisSystem(VER_PLATFORM_WIN32_NT), "");
    const std::string why = WhyNotOnThisSystem(VER_PLATFORM_WIN32_WINDOWS);
    EXPECT_NE(why.find("Windows 95, 98 and Me"), std::string::npos) << why;
    EXPECT_NE(why.find("kavora.exe"), std::string::npos) << why;
}

} // namespace
