// The drive and the system as adversaries: discovery on each Windows family
// (ASPI on 9x, device lists and capabilities on NT 4, pass-through INQUIRY on
// later NT) and then a whole upgrade of the first drive found, or
// kavora-cli's upgrade command over Linux's SG_IO; every answer taken from
// the input, the clock faked. Beyond what the sanitizers catch, it checks
// that drive texts fit their fields, that handles and events are given back,
// that the drive sees only a lawful order of commands (no save after a failed
// block or header), that the run ends within its bounds, and that its verdict
// agrees with what the drive answered.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/win/drive_table.h"
#include "device/win/drive_transport.h"
#include "flash/flash_engine.h"
#include "flash/image_buffer.h"
#include "fuzz/answer_stream.h"
#include "fuzz/cli_upgrade.h"
#include "fuzz/fuzzed_drive.h"
#include "fuzz/fuzzed_system.h"
#include "fuzz/upgrade_watch.h"
#include "fuzz/windows_stub/live_events.h"

namespace {

// The image: the drive's identity in HEX records, and a few bytes more.
std::string HexRecord(std::uint16_t address, std::uint8_t type, const std::string& bytes)
{
    std::uint8_t sum = static_cast<std::uint8_t>(bytes.size() + (address >> 8) + address + type);
    char text[16];
    std::string line = ":";
    std::snprintf(text, sizeof text, "%02X%04X%02X", static_cast<unsigned>(bytes.size()), address, type);
    line += text;
    for (unsigned char c : bytes) {
        sum = static_cast<std::uint8_t>(sum + c);
        std::snprintf(text, sizeof text, "%02X", c);
        line += text;
    }
    std::snprintf(text, sizeof text, "%02X\n", static_cast<std::uint8_t>(-sum));
    return line + text;
}

char g_folder[] = "/tmp/kavora_fuzz_drive_XXXXXX";

void RemoveScratch()
{
    const std::string folder = g_folder;
    std::remove((folder + "/image.hex").c_str());
    std::remove((folder + "/sum.txt").c_str());
    std::remove((folder + "/IDString.txt").c_str());
    rmdir(g_folder);
}

// A scratch folder as the working folder, holding the image; "sum.txt"
// there leads to /dev/null, as a run appends to it every time.
const char* ImagePath()
{
    static std::string path;
    if (path.empty()) {
        const char* folder = g_folder;
        Require(mkdtemp(g_folder) != nullptr && chdir(folder) == 0, "no scratch folder");
        std::atexit(RemoveScratch);
        Require(symlink("/dev/null", "sum.txt") == 0, "no sum.txt");
        path = std::string(folder) + "/image.hex";
        std::FILE* file = std::fopen(path.c_str(), "w");
        Require(file != nullptr, "no image file");
        std::fputs(HexRecord(0x0100, 0, "KAVORA  CD-ROM VIRTUAL  ").c_str(), file);
        std::fputs(HexRecord(0x0118, 0, "1.00").c_str(), file);
        std::fputs(HexRecord(0x8000, 0, std::string(16, '\x5A')).c_str(), file);
        std::fputs(":00000001FF\n", file);
        std::fclose(file);
        file = std::fopen("IDString.txt", "w");
        Require(file != nullptr, "no model list");
        std::fputs("\"KAVORA  CD-ROM VIRTUAL  \" \"image.hex\" \"N\"\n", file);
        std::fclose(file);
        ReuseImageRegions(true);
    }
    return path.c_str();
}

// What the front end is told during the run.
struct Front {
    std::uint32_t stopAt;  // CBIfTerminated answers yes from this call on
    std::uint32_t stopQuestions = 0;
    std::string lastMessage;
    bool progressDone = false;
};

void ShowMessage(void* context, const char* text)
{
    // KAVORA_FUZZ_SHOW=1 shows the dialog's log, to read an input.
    if (std::getenv("KAVORA_FUZZ_SHOW"))
        std::fprintf(stderr, "%s\n", text);
    Require(std::strlen(text) < 256, "a message longer than its line");
    static_cast<Front*>(context)->lastMessage = text;
}
void ShowStatus(void*, const char* text) { Require(std::strlen(text) < 256, "a status longer than its line"); }
void SetDriveName(void*, const char* text) { Require(std::strlen(text) <= scsi::kModelChars, "a drive name longer than its field"); }
void SetRevision(void*, const char* text) { Require(std::strlen(text) <= 4, "a revision longer than its field"); }
void SetProgress(void* context, std::int32_t position)
{
    Require(position >= 0 && position <= 100, "progress outside 0..100");
    if (position == 100)
        static_cast<Front*>(context)->progressDone = true;
}
std::uint8_t StopRequested(void* context)
{
    auto* front = static_cast<Front*>(context);
    return ++front->stopQuestions >= front->stopAt;
}

void CheckTable(const DriveTable& table, const FuzzedSystem& system)
{
    Require(table.m_nDriveCount >= 0 && table.m_nDriveCount <= kMaxDrives, "a drive count beyond the table");
    for (int i = 0; i < table.m_nDriveCount; ++i) {
        const DriveEntry* entry = table.m_pDrives[i];
        Require(entry != nullptr, "an empty slot among the drives");
        Require(std::memchr(entry->sModel, 0, sizeof entry->sModel) &&
                    std::strlen(entry->sModel) <= scsi::kModelChars,
                "a drive name longer than its field");
        Require(std::strlen(entry->sRevision) <= 4, "a revision longer than its field");
        if (table.m_bIsNT)
            Require(system.IsOpen(entry->hDevice), "a drive whose handle is not open");
        else
            Require(entry->hDevice == nullptr, "an ASPI drive with a handle");
    }
    // Every handle still open belongs to a drive, or is the one the scan
    // opened last (closed when drive access ends).
    for (HANDLE handle : system.OpenHandles()) {
        bool used = handle == table.m_hDevice;
        for (int i = 0; i < table.m_nDriveCount && !used; ++i)
            used = table.m_pDrives[i]->hDevice == handle;
        Require(used, "a handle left open that no drive uses");
    }
}

void Upgrade(const DriveEntry& drive, scsi::Transport& transport, bool throughAspi, Answers& answers,
             FuzzedDrive& target)
{
    FlashParam param{};
    param.drive = drive;
    std::snprintf(param.szImagePath, sizeof param.szImagePath, "%s", ImagePath());
    std::snprintf(param.szModel, sizeof param.szModel, "KAVORA  CD-ROM VIRTUAL  (0)");
    std::snprintf(param.szRevision, sizeof param.szRevision, "1.00");
    param.m_bHexFile = 1;
    // Mostly no stop; otherwise at some question of the load or the transfer.
    const std::uint8_t stop = answers.Byte();
    Front front;
    front.stopAt = stop < 0xF0 ? UINT32_MAX : (stop - 0xF0u) * 97u + answers.Byte();
    param.callbacks = {ShowMessage, ShowStatus, SetRevision, SetDriveName, SetProgress, StopRequested, &front, nullptr, nullptr};

    WatchedRun run(target, throughAspi);
    const UpgradeWatch& watch = run.watch;
    const int held = ImageRegionsHeld();
    RunOutcome outcome;
    {
        CFlashEngine engine(param, transport);
        outcome = engine.Run();
    }
    const bool succeeded = outcome.Succeeded();
    watch.CheckOutcome(outcome);
    Require(front.stopAt != UINT32_MAX || watch.Commands() > 0, "the image did not reach the drive");
    Require(front.lastMessage == (succeeded ? "Please Restart Your Computer." : "Flashing is incorrect!!"),
            "a closing line other than the run's verdict");
    Require(front.progressDone == succeeded, "progress at 100 without success, or success without it");
    run.CheckWaits();
    Require(ImageRegionsHeld() == held, "the image buffer kept after the run");
}

} // namespace

// The runs work in a scratch folder, so the folders and files named on the
// command line, and the folder crashing inputs go to, are made absolute
// before the first run moves there.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static const std::string kArtifacts = "-artifact_prefix=";
    char here[4096];
    Require(getcwd(here, sizeof here) != nullptr, "no working folder");
    for (int i = 1; i < *argc; ++i) {
        char*& arg = (*argv)[i];
        if (kArtifacts.compare(0, std::string::npos, arg, kArtifacts.size()) == 0 &&
            arg[kArtifacts.size()] != '/') {
            // Kept for the whole run, as libFuzzer keeps its arguments.
            arg = strdup((kArtifacts + here + "/" + (arg + kArtifacts.size())).c_str());
            continue;
        }
        if (arg[0] == '-')
            continue;
        if (char* absolute = realpath(arg, nullptr))
            arg = absolute;
    }
    ImagePath();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    AnswerStream stream(data, size);
    Answers discovery(stream, false), upgrade(stream, true);
    FuzzedDrive target(&discovery);
    FuzzedSystem system(&discovery, target);
    pfnGetASPI32SupportInfo = nullptr;
    pfnSendASPI32Command = nullptr;

    const std::uint8_t family = discovery.Byte() % 4;
    if (family == 3) {
        // Linux: the drive node is the user's choice; no discovery to fuzz.
        target.SetAnswers(&upgrade);
        FuzzCliUpgrade(upgrade, target);
        return 0;
    }

    DriveTable table;
    table.m_bIsNT = family != 2;
    table.m_bNT4 = family == 1;
    const AspiBinding binding = BindAspiLibrary(table);
    Require((binding == AspiBinding::NotNeeded) == table.m_bIsNT, "ASPI bound on NT, or not sought on 9x");
    if (binding == AspiBinding::Bound || binding == AspiBinding::NotNeeded)
        ScanDrives(table);
    CheckTable(table, system);
    Require(LiveEventCount() == 0, "an event left open by discovery");

    if (table.m_nDriveCount > 0) {
        target.SetAnswers(&upgrade);
        system.SetAnswers(&upgrade);
        const DriveEntry& drive = *table.m_pDrives[0];
        auto transport = DriveTransport(drive, table.m_bIsNT);
        Upgrade(drive, *transport, !table.m_bIsNT, upgrade, target);
        Require(LiveEventCount() == 0, "an event left open by the run");
    }

    ReleaseDriveAccess(table);
    for (int i = 0; i < table.m_nDriveCount; ++i)
        ::HeapFree(::GetProcessHeap(), 0, table.m_pDrives[i]);
    return 0;
}
