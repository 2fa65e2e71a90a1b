#include "emu/machine_file.h"

#include <cctype>
#include <fstream>
#include <cstdlib>
#include <optional>

namespace {

// Splits a line into words; a "quoted" word may hold blanks and the escapes
// \0, \" and \\. A # outside quotes starts a comment.
bool Split(const std::string& text, std::vector<std::string>& words, std::string& error)
{
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '#')
            break;
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
            continue;
        }
        std::string word;
        if (c == '"') {
            ++i;
            bool closed = false;
            while (i < text.size()) {
                char d = text[i++];
                if (d == '"') {
                    closed = true;
                    break;
                }
                if (d == '\\' && i < text.size()) {
                    d = text[i++];
                    if (d == '0')
                        d = '\0';
                    else if (d != '"' && d != '\\') {
                        error = std::string("unknown escape \\") + d;
                        return false;
                    }
                }
                word += d;
            }
            if (!closed) {
                error = "unterminated string";
                return false;
            }
        } else {
            while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i])) &&
                   text[i] != '#')
                word += text[i++];
        }
        words.push_back(word);
    }
    return true;
}

std::optional<long long> Number(const std::string& word)
{
    if (word.empty())
        return std::nullopt;
    char* end = nullptr;
    const long long value = std::strtoll(word.c_str(), &end, 0);
    if (*end != '\0' || value < 0)
        return std::nullopt;
    return value;
}

std::optional<int> Count(const std::string& word)
{
    if (word == "forever")
        return kForever;
    const auto n = Number(word);
    if (!n || *n > 1000000)
        return std::nullopt;
    return static_cast<int>(*n);
}

std::optional<SenseTriple> Sense(const std::string& word)
{
    unsigned parts[3];
    std::size_t start = 0;
    for (int k = 0; k < 3; ++k) {
        const std::size_t slash = k < 2 ? word.find('/', start) : word.size();
        if (slash == std::string::npos || slash == start || slash - start > 2)
            return std::nullopt;
        const std::string part = word.substr(start, slash - start);
        char* end = nullptr;
        parts[k] = static_cast<unsigned>(std::strtoul(part.c_str(), &end, 16));
        if (*end != '\0' || !std::isxdigit(static_cast<unsigned char>(part[0])))
            return std::nullopt;
        start = slash + 1;
    }
    return SenseTriple{std::uint8_t(parts[0]), std::uint8_t(parts[1]), std::uint8_t(parts[2])};
}

// The optional words of a fault line: a count, a sense triple, "from-start".
struct Options {
    std::optional<int> count;
    std::optional<SenseTriple> sense;
    bool fromStart = false;
};

bool ReadOptions(const std::vector<std::string>& words, std::size_t first, bool allowFromStart,
                 Options& options, std::string& error)
{
    for (std::size_t i = first; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (w.find('/') != std::string::npos) {
            options.sense = Sense(w);
            if (!options.sense) {
                error = "bad sense '" + w + "' (want KEY/ASC/ASCQ in hex, e.g. 03/0C/00)";
                return false;
            }
        } else if (allowFromStart && w == "from-start") {
            options.fromStart = true;
        } else if (!options.count && Count(w)) {
            options.count = Count(w);
        } else {
            error = "unexpected '" + w + "'";
            return false;
        }
    }
    return true;
}

bool Text(const std::vector<std::string>& words, std::size_t limit, std::string& to,
          std::string& error)
{
    if (words.size() != 2) {
        error = words[0] + " wants one quoted text";
        return false;
    }
    if (words[1].size() > limit) {
        error = words[0] + " is longer than " + std::to_string(limit) + " characters";
        return false;
    }
    to = words[1];
    return true;
}

bool DriveLine(const std::vector<std::string>& words, MachineSpec& description, std::string& error)
{
    if (words.size() != 3) {
        error = "drive wants a letter and a kind: drive d cdrom";
        return false;
    }
    const std::string& name = words[1];
    const char letter = name.size() == 1 ? static_cast<char>(std::tolower(
                                               static_cast<unsigned char>(name[0])))
                                         : 0;
    if (letter < 'c' || letter > 'z') {
        error = "drive letter '" + name + "' is not one of c to z";
        return false;
    }
    for (const DriveSpec& d : description.drives) {
        if (d.letter == letter) {
            error = std::string("drive letter ") + letter + " is given twice";
            return false;
        }
    }
    DriveSpec drive;
    drive.letter = letter;
    if (words[2] == "cdrom") {
        drive.kind = DriveKind::CdRom;
    } else if (words[2] == "disk") {
        drive.kind = DriveKind::HardDisk;
        drive.identity = HardDiskIdentity();
    } else {
        error = "drive kind '" + words[2] + "' is neither cdrom nor disk";
        return false;
    }
    description.drives.push_back(drive);
    return true;
}

bool NeedsCount(const Options& o, const std::string& keyword, std::string& error)
{
    if (o.count)
        return true;
    error = keyword + " wants a count (a number or forever)";
    return false;
}

// A line that describes the drive named last.
bool DriveDetail(const std::vector<std::string>& words, DriveSpec& drive, std::string& error)
{
    const std::string& key = words[0];
    DriveIdentity& id = drive.identity;
    DriveFaults& f = drive.faults;
    if (key == "vendor")
        return Text(words, 8, id.vendor, error);
    if (key == "product")
        return Text(words, 16, id.product, error);
    if (key == "revision")
        return Text(words, 4, id.revision, error);
    if (key == "type") {
        char* end = nullptr;
        const unsigned long type =
            words.size() == 2 ? std::strtoul(words[1].c_str(), &end, 16) : 0x100;
        if (words.size() != 2 || *end != '\0' || type > 0xFF) {
            error = "type wants one hex byte, e.g. 05";
            return false;
        }
        id.deviceType = static_cast<std::uint8_t>(type);
        return true;
    }

    const bool positional = key == "fail-block" || key == "fail-write" || key == "transport-failure";
    std::optional<long long> where;
    if (positional) {
        where = words.size() > 1 ? Number(words[1]) : std::nullopt;
        if (!where || *where > 0xFFFFFF) {
            error = key + " wants " + (key == "fail-write" ? "a buffer offset" : key == "fail-block" ? "a block index" : "a command index") + " first";
            return false;
        }
    }
    Options o;
    if (!ReadOptions(words, positional ? 2 : 1, key == "withhold-inquiry", o, error))
        return false;

    if (key == "busy") {
        if (!NeedsCount(o, key, error))
            return false;
        f.busyPolls = *o.count;
    } else if (key == "fail-block" || key == "fail-write") {
        if (!NeedsCount(o, key, error))
            return false;
        const auto offset = static_cast<std::uint32_t>(
            key == "fail-block" ? VirtualDrive::BlockOffset(std::uint32_t(*where)) : *where);
        f.writes.push_back({offset, *o.count, o.sense.value_or(WriteFault{}.sense)});
    } else if (key == "refuse-header") {
        f.writes.push_back({0, o.count.value_or(kForever), o.sense.value_or(SenseTriple{0x05, 0x26, 0x00})});
    } else if (key == "refuse-save") {
        f.saveRefusals = o.count.value_or(kForever);
        f.saveSense = o.sense.value_or(f.saveSense);
    } else if (key == "sense-after-save") {
        f.senseAfterSaveTimes = o.count.value_or(1);
        f.senseAfterSave = o.sense.value_or(f.senseAfterSave);
    } else if (key == "withhold-inquiry") {
        if (!NeedsCount(o, key, error))
            return false;
        f.inquiryFailures = *o.count;
        f.inquiryFailuresAfterSaveOnly = !o.fromStart;
        f.inquirySense = o.sense.value_or(f.inquirySense);
    } else if (key == "unit-attentions") {
        if (o.count || o.sense) {
            error = "unit-attentions takes nothing";
            return false;
        }
        f.unitAttentions = true;
    } else if (key == "transport-failure") {
        const int count = o.count.value_or(1);
        if (count == kForever || o.sense) {
            error = "transport-failure takes a command index and how many commands";
            return false;
        }
        for (int i = 0; i < count; ++i)
            f.transportFailures.push_back(static_cast<std::size_t>(*where + i));
    } else {
        error = "unknown keyword '" + key + "'";
        return false;
    }
    return true;
}

bool MachineLine(const std::vector<std::string>& words, MachineSpec& description, std::string& error)
{
    const std::string& key = words[0];
    if (key == "drive")
        return DriveLine(words, description, error);
    if (key == "aspi") {
        const std::string value = words.size() == 2 ? words[1] : "";
        if (value == "present")
            description.aspi = AspiLibrary::Present;
        else if (value == "missing")
            description.aspi = AspiLibrary::Missing;
        else if (value == "only-support-info")
            description.aspi = AspiLibrary::OnlySupportInfo;
        else if (value == "only-send-command")
            description.aspi = AspiLibrary::OnlySendCommand;
        else {
            error = "aspi wants present, missing, only-support-info or only-send-command";
            return false;
        }
        return true;
    }
    if (key == "aspi-answers") {
        const std::string value = words.size() == 2 ? words[1] : "";
        if (value != "pending" && value != "at-once") {
            error = "aspi-answers wants pending or at-once";
            return false;
        }
        description.aspiPending = value == "pending";
        return true;
    }
    if (description.drives.empty()) {
        error = "'" + key + "' before any drive line";
        return false;
    }
    return DriveDetail(words, description.drives.back(), error);
}

} // namespace

bool ParseMachineFile(std::istream& in, MachineSpec& description, std::string& error)
{
    MachineSpec parsed;
    parsed.drives.clear();
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        std::vector<std::string> words;
        std::string problem;
        if (!Split(text, words, problem) || (!words.empty() && !MachineLine(words, parsed, problem))) {
            error = "line " + std::to_string(number) + ": " + problem;
            return false;
        }
    }
    description = parsed;
    return true;
}

MachineSpec DefaultMachine()
{
    MachineSpec description;
    description.drives.push_back(DriveSpec{});
    return description;
}

bool LoadMachineFile(const std::string& path, MachineSpec& description, std::string& error)
{
    std::ifstream file(path);
    if (!file) {
        description = DefaultMachine();
        return true;
    }
    if (ParseMachineFile(file, description, error))
        return true;
    error = path + ": " + error;
    return false;
}
