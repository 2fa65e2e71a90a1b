// Prints three figures for a 1 MiB image:
//   (a) loading, identity scan and checksum of the .hex against GNU objcopy
//       converting the same image as standard Intel HEX, and their ratio;
//   (b) a whole upgrade against the virtual drive with the waits faked: the
//       time spent outside the mandated waits;
//   (c) the peak resident memory of the process after that run.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench_images.h"
#include "emu/drive_rig.h"
#include "flash/clock.h"
#include "flash/flash_engine.h"

extern char** environ;

namespace {

constexpr char kModel[] = "KAVORA  CD-ROM VIRTUAL  ";
constexpr int kRounds = 9; // best of, against other load on the machine

using Steady = std::chrono::steady_clock;

double MsSince(Steady::time_point start)
{
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

class CountingClock final : public Clock {
public:
    void Sleep(std::uint32_t milliseconds) override { requested += milliseconds; }
    std::uint64_t requested = 0;
};

void Ignore(void*, const char*) {}
void IgnoreProgress(void*, std::int32_t) {}
std::uint8_t NeverStop(void*) { return 0; }

FlashParam MakeParam(const std::string& path, const DriveEntry& drive)
{
    FlashParam param{};
    param.drive = drive;
    std::snprintf(param.szImagePath, sizeof param.szImagePath, "%s", path.c_str());
    std::snprintf(param.szModel, sizeof param.szModel, "%s(0)", kModel);
    std::snprintf(param.szRevision, sizeof param.szRevision, "1.00");
    param.m_bHexFile = 1;
    param.callbacks = {Ignore, Ignore, Ignore, Ignore, IgnoreProgress, NeverStop, nullptr, nullptr, nullptr};
    return param;
}

// objcopy as a process of its own, started directly, without a shell.
bool RunObjcopy(const std::string& in, const std::string& out)
{
    std::string args[] = {"objcopy", "-I", "ihex", "-O", "binary", in, out};
    char* argv[8] = {};
    for (int i = 0; i < 7; ++i)
        argv[i] = args[i].data();
    pid_t pid;
    if (posix_spawnp(&pid, "objcopy", nullptr, nullptr, argv, environ) != 0)
        return false;
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void WriteText(const std::filesystem::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

int main()
{
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() / "kavora_bench";
    fs::create_directories(dir);
    fs::current_path(dir); // the run writes "sum.txt" here

    auto image = MakeBenchImage(kModel, "1.10");
    fs::path banked = dir / "image.hex";
    fs::path standard = dir / "standard.hex";
    WriteText(banked, ToBankedHex(image));
    WriteText(standard, ToStandardHex(image));

    VirtualDrive drive;
    DriveRig rig(drive);
    FlashParam param = MakeParam(banked.string(), rig.Entry());

    double loadMs = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        CFlashEngine engine(param, rig.Transport());
        auto start = Steady::now();
        int loaded = engine.LoadImage();
        bool found = loaded >= 0 && engine.CheckIdentity();
        loadMs = std::min(loadMs, MsSince(start));
        if (!found) {
            std::fprintf(stderr, "the benchmark image did not load (%d)\n", loaded);
            return 1;
        }
    }

    double objcopyMs = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        auto start = Steady::now();
        if (!RunObjcopy(standard.string(), (dir / "standard.bin").string())) {
            std::fprintf(stderr, "objcopy failed\n");
            return 1;
        }
        objcopyMs = std::min(objcopyMs, MsSince(start));
    }
    std::printf("(a) load + identity + checksum, 1 MiB .hex: %.2f ms; objcopy: %.2f ms; ratio %.3f (goal < 0.5)\n",
                loadMs, objcopyMs, loadMs / objcopyMs);

    CountingClock clock;
    SetClock(&clock);
    CFlashEngine engine(param, rig.Transport());
    auto start = Steady::now();
    bool upgraded = engine.Upgrade();
    double upgradeMs = MsSince(start);
    SetClock(nullptr);
    std::printf("(b) 1 MiB upgrade outside the waits: %.2f ms (goal < 50); waits requested: %.1f s; %s, "
                "drive now at revision %s\n",
                upgradeMs, clock.requested / 1000.0, upgraded ? "succeeded" : "FAILED",
                drive.Identity().revision.c_str());

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("(c) peak resident memory: %ld KiB\n", usage.ru_maxrss);

    fs::current_path(fs::temp_directory_path());
    fs::remove_all(dir);
    return upgraded ? 0 : 1;
}
