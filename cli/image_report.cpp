#include "cli/image_report.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "flash/image_kind.h"

namespace {

void Quiet(void*, const char*) {}
void QuietProgress(void*, std::int32_t) {}
std::uint8_t NeverStop(void*) { return 0; }

std::string Hex(std::uint64_t value, int digits = 2)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

// The line of the text file `path` that holds byte `at`: its number and text.
void LineAt(const std::string& path, std::uint64_t at, int& number, std::string& text)
{
    std::ifstream file(path, std::ios::binary);
    number = 1;
    text.clear();
    std::uint64_t offset = 0;
    std::string line;
    for (char c; file.get(c); ++offset) {
        if (c == '\n') {
            if (offset >= at)
                break;
            ++number;
            line.clear();
            continue;
        }
        if (c != '\r')
            line += c;
    }
    text = line.size() > 80 ? line.substr(0, 77) + "..." : line;
}

// What is wrong with a HEX or raw file and where, in words.
std::string Described(const LoadProblem& problem, const std::string& path)
{
    int line = 0;
    std::string record;
    // These have no line to show; a raw file, which may be large, is not read again.
    const bool lineless = problem.kind == LoadProblemKind::EmptyFile || problem.kind == LoadProblemKind::TooLarge ||
                     problem.kind == LoadProblemKind::ReadFailed || problem.kind == LoadProblemKind::None;
    if (!lineless)
        LineAt(path, problem.kind == LoadProblemKind::BadDigit || problem.kind == LoadProblemKind::RecordCut ||
                             problem.kind == LoadProblemKind::NoEndRecord
                         ? problem.at
                         : problem.recordAt,
               line, record);
    if (problem.line != 0)
        line = static_cast<int>(problem.line);
    const std::string where = path + ", line " + std::to_string(line) + ": ";
    const std::string shown = " (\"" + record + "\")";
    switch (problem.kind) {
    case LoadProblemKind::NoEndRecord:
        return path + " ends without an end record (\":00000001FF\")";
    case LoadProblemKind::RecordCut:
        return where + "the file ends inside this record" + shown;
    case LoadProblemKind::BadDigit: {
        const char c = static_cast<char>(problem.value & 0x7F);
        const std::string what = c >= 0x20 && c < 0x7F ? std::string("'") + c + "'" : Hex(problem.value);
        return where + what + " stands where a hexadecimal digit must" + shown;
    }
    case LoadProblemKind::UnknownType:
        return where + "record type " + Hex(problem.value) +
               " is none of 00 (data), 01 (end) and 55 (bank advance)" + shown;
    case LoadProblemKind::PastImageEnd:
        return where + "the record's data reaches " + Hex(problem.value, 6) +
               ", past the end of the 1 MiB image (0x100000)" + shown;
    case LoadProblemKind::BadRecordSum:
        return where + "the record's checksum is wrong: its bytes sum to " + Hex(problem.value) +
               ", not 00" + shown;
    case LoadProblemKind::DataInControl:
        return where + "an end or bank-advance record must carry no data" + shown;
    case LoadProblemKind::TooManyBanks:
        return where + "a bank advance past the last 64 KiB of the 1 MiB image" + shown;
    case LoadProblemKind::MissingStartMark: {
        std::string said =
            path + ": line " + std::to_string(line) + " is a whole record without its ':' start mark";
        if (problem.value != kNoMark) {
            const char c = static_cast<char>(problem.value);
            said += ", " + (c >= 0x20 && c < 0x7F ? std::string("'") + c + "'" : Hex(problem.value)) +
                    " stands in its place";
        }
        return said + shown;
    }
    case LoadProblemKind::EmptyFile:
        return path + " is empty";
    case LoadProblemKind::TooLarge:
        return path + " holds " + std::to_string(problem.size) + " bytes, more than the 1 MiB an image can hold: " +
               "byte " + Hex(problem.at, 6) + " is " + Hex(problem.value) +
               ", and past 1 MiB only fill may follow (all FFh or all 00h)";
    case LoadProblemKind::ReadFailed:
        return "reading " + path + " failed";
    case LoadProblemKind::None:
        break;
    }
    return path + " could not be read as an image";
}

} // namespace

// An engine that only loads images must never reach a drive.
class LoadedImage::NoDrive final : public scsi::Transport {
public:
    scsi::Result Execute(const scsi::Command&) override { return {}; }
};

LoadedImage::LoadedImage() : noDrive_(std::make_unique<NoDrive>()) {}
LoadedImage::~LoadedImage() = default;

bool ImageKindFor(const std::string& path, bool& hex, Console& console)
{
    const ImageKind kind = ImageKindOf(path.c_str());
    if (kind == ImageKind::Other) {
        console.Refuse(path +
                       ": an image must be a .hex (Intel HEX) or a .bin (raw) file; the Windows program "
                       "says \"Input file format mismatched.\"");
        return false;
    }
    hex = kind == ImageKind::Hex;
    return true;
}

bool LoadedImage::Read(const std::string& path, Console& console, bool logOnOutput)
{
    facts_ = ImageFacts{};
    facts_.path = path;
    if (!ImageKindFor(path, facts_.hex, console))
        return false;
    if (path.size() >= kPathChars) {
        console.Refuse("the image path is longer than " + std::to_string(kPathChars - 1) + " characters");
        return false;
    }

    FlashParam param{};
    std::snprintf(param.szImagePath, sizeof param.szImagePath, "%s", path.c_str());
    param.m_bHexFile = facts_.hex ? 1 : 0;
    // The loader's reports are log lines, as in a run.
    const auto toLog = [](void* c, const char* text) { static_cast<Console*>(c)->Line(text); };
    const auto toNotes = [](void* c, const char* text) { static_cast<Console*>(c)->Note(text); };
    param.callbacks = {logOnOutput ? +toLog : +toNotes,
                       Quiet, Quiet, Quiet, QuietProgress, NeverStop, &console, nullptr, nullptr};
    engine_ = std::make_unique<CFlashEngine>(param, *noDrive_);

    // Opened here, not by the engine, so that the system's reason is at hand.
    struct stat info{};
    errno = 0;
    std::FILE* file = nullptr;
    if (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        errno = EISDIR;
    else
        file = std::fopen(path.c_str(), facts_.hex ? "r" : "rb");
    if (!file) {
        const int error = errno;
        // As the upgrade logs an image it cannot open.
        engine_->ReportError(FE_OPEN_INPUT);
        engine_->ReportError(FE_READ_INPUT);
        console.Refuse("cannot read the image " + path + ": " + std::strerror(error));
        return false;
    }
    facts_.fileSize = static_cast<std::uint64_t>(info.st_size);

    switch (engine_->LoadImageFrom(file)) {
    case kLoadReadError:
        engine_->ReportError(FE_READ_INPUT);
        console.Refuse(Described(engine_->m_loadProblem, path));
        return false;
    case kLoadFormatError:
        engine_->ReportError(FE_FORMAT);
        console.Refuse(Described(engine_->m_loadProblem, path));
        return false;
    case kLoadNoMemory:
        console.Refuse("no memory for the 1 MiB image buffer");
        return false;
    case kLoadTruncated:
        // A file of exactly 1 MiB loads whole; only a longer one is cut.
        facts_.truncated = facts_.fileSize > kImageSize;
        if (facts_.truncated)
            console.Note("kavora-cli: warning: " + path + " is larger than 1 MiB (" +
                         std::to_string(facts_.fileSize) +
                         " bytes), with only fill behind its first 1 MiB: only that 1 MiB is sent");
        break;
    default:
        break;
    }
    facts_.imageLength = engine_->m_dwImageLen;
    facts_.sentLength = engine_->SentLength();
    const RunPlan plan = engine_->Plan();
    facts_.blocks = plan.blocks;
    facts_.programmingWaits = plan.programmingWaits;
    return true;
}

void LoadedImage::Sum()
{
    engine_->CheckIdentity(); // for its checksum; no drive is named
    facts_.checkSum = engine_->m_wCheckSum;
    // Whole blocks go out: the last one with the buffer's fill behind the image.
    std::uint32_t sum = 0;
    const std::uint8_t* bytes = engine_->m_pBank[0];
    for (std::uint32_t i = 0; i < facts_.blocks * scsi::kBlockSize && i < kImageSize; ++i)
        sum += bytes[i];
    facts_.headerSum = static_cast<std::uint16_t>(sum);
}

bool LoadedImage::BelongsTo(const std::string& model, const std::string& revision)
{
    // The scan compares whole fields, zero fill included, as a run's copy of
    // the dialog's texts has them.
    std::memset(engine_->m_szModel, 0, sizeof engine_->m_szModel);
    std::memset(engine_->m_szRevision, 0, sizeof engine_->m_szRevision);
    std::snprintf(engine_->m_szModel, sizeof engine_->m_szModel, "%s", model.c_str());
    std::snprintf(engine_->m_szRevision, sizeof engine_->m_szRevision, "%s", revision.c_str());
    const bool belongs = engine_->CheckIdentity();
    facts_.checkSum = engine_->m_wCheckSum;
    return belongs;
}

std::vector<std::string> LoadedImage::PassingRevisions(const std::string& model)
{
    std::memset(engine_->m_szModel, 0, sizeof engine_->m_szModel);
    std::snprintf(engine_->m_szModel, sizeof engine_->m_szModel, "%s", model.c_str());
    return engine_->PassingRevisionStarts();
}
