// Figures of kavora-cli's transfer on a real kernel target, run in the QEMU
// guest against scsi_debug:
//   compare DEV IMAGE MODEL REVISION
//       sg3_utils' sg_write_buffer sends IMAGE in 4096-byte pieces with
//       offsets (mode 0Eh); then kavora-cli's engine and SG_IO transport send
//       the same image as an upgrade does (blocks, header, save, with every
//       resend a unit attention costs), its fixed waits skipped by this
//       program's clock. Prints the time per command actually sent by each,
//       and their ratio.
//   peak -- COMMAND...
//       runs COMMAND and prints its peak resident memory; exits as it did.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "device/linux/sg_io_transport.h"
#include "flash/clock.h"
#include "flash/flash_engine.h"

extern char** environ;

namespace {

using Steady = std::chrono::steady_clock;

class NoWaits final : public Clock {
public:
    void Sleep(std::uint32_t) override {}
};

// Counts what goes to the drive.
class Counting final : public scsi::Transport {
public:
    explicit Counting(scsi::Transport& inner) : inner_(inner) {}
    scsi::Result Execute(const scsi::Command& command) override
    {
        ++commands;
        return inner_.Execute(command);
    }
    int commands = 0;

private:
    scsi::Transport& inner_;
};

void Ignore(void*, const char*) {}
void IgnoreProgress(void*, std::int32_t) {}
std::uint8_t NeverStop(void*) { return 0; }

// Takes any unit attention the drive holds, so that neither side pays for
// the other's.
void Settle(scsi::Transport& transport)
{
    const std::uint8_t tur[scsi::kCdbLength] = {};
    std::uint8_t sense[scsi::kSenseAreaSize];
    for (int i = 0; i < 5 && !fgExecuteCommand(transport, scsi::Direction::None, 0, nullptr,
                                               sizeof tur, tur, sense);
         ++i) {
    }
}

// Runs argv, waits; answers its wait status and peak resident KiB.
int Run(const std::vector<std::string>& words, long& peakKiB, double& ms)
{
    std::vector<char*> argv;
    for (const std::string& w : words)
        argv.push_back(const_cast<char*>(w.c_str()));
    argv.push_back(nullptr);
    const auto start = Steady::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
        return -1;
    int status = 0;
    struct rusage usage{};
    wait4(pid, &status, 0, &usage);
    ms = std::chrono::duration<double, std::milli>(Steady::now() - start).count();
    peakKiB = usage.ru_maxrss;
    return status;
}

int Compare(const char* device, const char* image, const char* model, const char* revision)
{
    const int fd = ::open(device, O_RDWR | O_NONBLOCK);
    if (fd < 0) {
        std::perror(device);
        return 1;
    }
    SgIoTransport drive(fd);
    Counting counting(drive);

    Settle(drive);
    const std::string in = std::string("--in=") + image;
    long peak = 0;
    double sgMs = 0;
    const int sgStatus = Run({"sg_write_buffer", "--bpw=4096", "--mode=0xe", in, device}, peak, sgMs);
    FILE* file = std::fopen(image, "rb");
    long size = 0;
    if (file) {
        std::fseek(file, 0, SEEK_END);
        size = std::ftell(file);
        std::fclose(file);
    }
    const int sgCommands = static_cast<int>((size + 4095) / 4096);

    Settle(drive);
    FlashParam param{};
    std::snprintf(param.szImagePath, sizeof param.szImagePath, "%s", image);
    std::snprintf(param.szModel, sizeof param.szModel, "%s", model);
    std::snprintf(param.szRevision, sizeof param.szRevision, "%s", revision);
    param.m_bHexFile = 0;
    param.callbacks = {Ignore, Ignore, Ignore, Ignore, IgnoreProgress, NeverStop, nullptr, nullptr, nullptr};
    NoWaits clock;
    SetClock(&clock);
    CFlashEngine engine(param, counting);
    const auto start = Steady::now();
    const bool upgraded = engine.Upgrade();
    const double kavoraMs = std::chrono::duration<double, std::milli>(Steady::now() - start).count();
    SetClock(nullptr);
    ::close(fd);

    const double sgPer = sgMs / sgCommands;
    const double kavoraPer = kavoraMs / counting.commands;
    std::printf("sg_write_buffer: %d commands in %.1f ms: %.3f ms per command (exit %d)\n", sgCommands, sgMs,
                sgPer, WIFEXITED(sgStatus) ? WEXITSTATUS(sgStatus) : -1);
    std::printf("kavora-cli transfer: %d commands in %.1f ms: %.3f ms per command (%s)\n", counting.commands,
                kavoraMs, kavoraPer, upgraded ? "upgraded" : "failed");
    std::printf("ratio kavora/sg_write_buffer per command: %.3f (goal 1.0 or less)\n", kavoraPer / sgPer);
    return upgraded && WIFEXITED(sgStatus) && WEXITSTATUS(sgStatus) == 0 ? 0 : 1;
}

int Peak(const std::vector<std::string>& command)
{
    long peak = 0;
    double ms = 0;
    const int status = Run(command, peak, ms);
    std::printf("peak resident memory of %s: %ld KiB (%.2f MiB; goal under 8 MiB) in %.1f s\n",
                command.front().c_str(), peak, peak / 1024.0, ms / 1000);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 6 && std::strcmp(argv[1], "compare") == 0)
        return Compare(argv[2], argv[3], argv[4], argv[5]);
    if (argc > 3 && std::strcmp(argv[1], "peak") == 0 && std::strcmp(argv[2], "--") == 0)
        return Peak(std::vector<std::string>(argv + 3, argv + argc));
    std::fprintf(stderr, "usage: kavora-sg-bench compare DEV IMAGE MODEL REVISION\n"
                         "       kavora-sg-bench peak -- COMMAND...\n");
    return 2;
}
