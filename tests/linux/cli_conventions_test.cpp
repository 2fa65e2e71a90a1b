// kavora-cli as the Linux storage tools behave: the image judged before any
// drive, each message on its stream, system errors in the system's words,
// usage errors in one line, info, -v and --json.
#include <sys/stat.h>

#include <streambuf>

#include <nlohmann/json.hpp>

#include "tests/linux/cli_fixture.h"

namespace engine_test {
namespace {

std::string Broken(const std::string& what)
{
    if (what == "sum")
        return ":0100000001FF\n" + HexEnd();
    if (what == "digit")
        return ":10000000ZZ\n";
    if (what == "no end")
        return HexRecord(0x00, 0x0000, Bytes(16, 0x11));
    if (what == "mark") {
        std::string damaged = HexRecord(0x00, 0x0010, Bytes(16, 0x22));
        damaged[0] = ';'; // 3Ah with one bit flipped
        return HexRecord(0x00, 0x0000, Bytes(16, 0x11)) + "# comment\n" + damaged + HexEnd();
    }
    // Fifteen bank advances put the next record in the last 64 KiB; 32 bytes
    // at its end reach past the image.
    std::string text;
    for (int k = 0; k < 15; ++k)
        text += HexBankAdvance();
    return text + HexRecord(0x00, 0xFFF0, Bytes(32, 0x22)) + HexEnd();
}

struct LineCase {
    const char* name;
    std::vector<const char*> words;
    int drives;        // virtual drives of the listed model
    int status;
    bool onOut;        // the gist is on standard output (else standard error)
    const char* gist;
};

class CommandLines : public Cli {
protected:
    void Lay(int driveCount)
    {
        drives = VirtualDrives();
        for (int k = 0; k < driveCount; ++k)
            drives.Add("/dev/sr" + std::to_string(k));
        WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
        WriteFile("KV.bin", MakeImage(5000));
        WriteFile("empty.bin", std::string());
        std::filesystem::create_directories(Path("dir.hex"));
        std::filesystem::create_directories(Path("ldir"));
        WriteFile("sum.hex", Broken("sum"));
        WriteFile("digit.hex", Broken("digit"));
        WriteFile("noend.hex", Broken("no end"));
        WriteFile("past.hex", Broken("past"));
        WriteFile("mark.hex", Broken("mark"));
        Bytes big = MakeImage(0x100000);
        big.resize(0x101000, 0x5A);
        WriteFile("big.bin", big);
        WriteFile("quote.txt", "KAVORA \"KV.bin\"\n");
        WriteFile("modelonly.txt", std::string("\"") + kModel + "\"\n");
        WriteFile("long.txt", std::string("\"") + kModel + "XYZ\" \"KV.bin\" \"N\"\n");
        WriteFile("yes.txt", ListFor(kModel, "KV.bin", "Y"));
    }
};

// Each line: its exit status, and the gist of what it says on the stream it
// must say it on, and not on the other.
TEST_F(CommandLines, SayWhatIsWrongOnTheRightStream)
{
    const LineCase cases[] = {
        {"missing image, no drive", {"check", "missing.hex"}, 0, 1, false,
         "cannot read the image missing.hex: No such file or directory"},
        {"missing image logs as the run does", {"check", "missing.hex"}, 0, 1, true, "ERR: fail to open input file!"},
        {"empty image", {"check", "empty.bin"}, 1, 1, false, "empty.bin is empty"},
        {"directory as image", {"check", "dir.hex"}, 1, 1, false, "dir.hex: Is a directory"},
        {"bad record sum", {"check", "sum.hex"}, 0, 1, false,
         "sum.hex, line 1: the record's checksum is wrong: its bytes sum to 0x01"},
        {"bad digit", {"upgrade", "digit.hex"}, 1, 1, false, "line 1: 'Z' stands where a hexadecimal digit must"},
        {"no end record", {"check", "noend.hex"}, 0, 1, false, "noend.hex ends without an end record"},
        {"record past 1 MiB", {"check", "past.hex"}, 0, 1, false,
         "line 16: the record's data reaches 0x100010, past the end of the 1 MiB image"},
        {"record without its mark", {"upgrade", "mark.hex"}, 1, 1, false,
         "mark.hex: line 3 is a whole record without its ':' start mark, ';' stands in its place (\";1000100022"},
        {"raw image past 1 MiB", {"upgrade", "big.bin"}, 1, 1, false,
         "big.bin holds 1052672 bytes, more than the 1 MiB an image can hold: byte 0x100000 is 0x5A"},
        {"good image, no drive", {"check"}, 0, 1, false, "no CD/DVD-class drive"},
        {"verdict of check", {"check"}, 1, 0, false, "KV.bin carries"},
        {"list without drives", {"list"}, 0, 1, false, "no CD/DVD-class drive"},
        {"directory as list", {"list", "--list", "ldir"}, 1, 0, false,
         "cannot read the model list ldir: Is a directory"},
        {"first character of the list", {"list", "--list", "quote.txt"}, 1, 0, false,
         "quote.txt: its first character must be a double quote"},
        {"missing drive node", {"check", "--drive", "/dev/sr9"}, 1, 1, false, "/dev/sr9: No such file or directory"},
        {"model without an image", {"info", "-l", "modelonly.txt", "KV.bin"}, 0, 0, false,
         "modelonly.txt: the line names no image file"},
        {"model cut to 24", {"info", "--list=long.txt", "KV.bin"}, 0, 0, false,
         "the model text has 27 characters; only its first 24 are compared"},
        {"--opt=value and --", {"check", "--drive=/dev/sr0", "--", "KV.bin"}, 1, 0, false, "it is for the drive"},
        {"-y", {"upgrade", "-y", "-l", "yes.txt"}, 1, 0, true, "Please Restart Your Computer."},
        {"list data", {"list"}, 1, 0, true, "/dev/sr0  \"KAVORA  CD-ROM VIRTUAL  \"  1.00  <- IDString.txt"},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.name);
        Lay(c.drives);
        EXPECT_EQ(Run(c.words), c.status);
        const std::string& on = c.onOut ? out.str() : err.str();
        const std::string& off = c.onOut ? err.str() : out.str();
        EXPECT_NE(on.find(c.gist), std::string::npos) << "out:\n" << out.str() << "err:\n" << err.str();
        EXPECT_EQ(off.find(c.gist), std::string::npos) << "on the other stream too";
        if (c.status == kExitRefused) {
            for (const auto& request : drives.io.Requests())
                EXPECT_NE(request.cdb[0], 0x3B) << "a refused command line wrote to the drive";
        }
    }
}

TEST(CliOptions, UsageErrorsInOneLine)
{
    struct Case {
        std::vector<const char*> words;
        const char* error;
    } cases[] = {
        {{"check", "--drive"}, "option '--drive' needs a value"},
        {{"check", "-d"}, "option '-d' needs a value"},
        {{"list", "x.bin"}, "list takes no IMAGE; 'x.bin' is one too many"},
        {{"frob"}, "unknown command 'frob'"},
        {{"list", "-q"}, "unknown option '-q'"},
        {{"list", "--frob=1"}, "unknown option '--frob'"},
        {{"list", "--json=yes"}, "option '--json' takes no value"},
        {{"list", "--js=1"}, "option '--json' takes no value"},
        {{"--frob", "list"}, "unknown option '--frob'"},
        {{"info", "-d", "/dev/sr0", "a.bin"}, "info reaches no drive"},
        {{"check", "-y"}, "check takes no --yes"},
        {{"help", "frob"}, "no help on 'frob'"},
        {{"help", "list", "extra"}, "help takes one COMMAND; 'extra' is one too many"},
        {{"check", "--all"}, "check works on one drive: only upgrade takes --all or several --drive"},
        {{"check", "-d", "/dev/sr0", "-d", "/dev/sr1"}, "check works on one drive"},
        {{"upgrade", "--all", "-d", "/dev/sr0"}, "--all takes every drive the list names"},
        {{}, "no command given"},
        {{"info", "-v", "a.bin"}, "info reaches no drive: it takes no --verbose"},
        {{"list", "-d", "/dev/sr0"}, "list shows every drive: it takes no --drive"},
        {{"list", "--yes"}, "list shows every drive: it takes no --yes"},
        {{"info", "--all", "a.bin"}, "info reaches no drive: it takes no --all"},
        {{"--all", "list"}, "list shows every drive: it takes no --all"},
        {{"list", "-d", "/dev/sr0", "-d", "/dev/sr1"}, "list shows every drive: it takes no --drive"},
        {{"check", "--list="}, "an empty value for --list"},
        {{"check", "--drive="}, "an empty value for --drive"},
        {{"check", "-d", ""}, "an empty value for --drive"},
        {{"upgrade", "-d", "/dev/sr0", "--drive="}, "an empty value for --drive"},
        {{"info"}, "info needs an IMAGE"},
    };
    for (Case& c : cases) {
        c.words.insert(c.words.begin(), "kavora-cli");
        CliOptions options;
        std::string error;
        EXPECT_FALSE(ParseOptions(static_cast<int>(c.words.size()), c.words.data(), options, error));
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos);
    }
}

TEST(CliOptions, HelpForEachCommandAndTheVersion)
{
    struct Case {
        std::vector<const char*> words;
        CliCommand command, helpOn;
    } cases[] = {
        {{"--help"}, CliCommand::Help, CliCommand::None},
        {{"help"}, CliCommand::Help, CliCommand::None},
        {{"help", "upgrade"}, CliCommand::Help, CliCommand::Upgrade},
        {{"upgrade", "-h"}, CliCommand::Help, CliCommand::Upgrade},
        {{"-h", "info"}, CliCommand::Help, CliCommand::Info},
        {{"-V"}, CliCommand::Version, CliCommand::None},
        {{"list", "--version"}, CliCommand::Version, CliCommand::None},
    };
    for (Case& c : cases) {
        c.words.insert(c.words.begin(), "kavora-cli");
        CliOptions options;
        std::string error;
        ASSERT_TRUE(ParseOptions(static_cast<int>(c.words.size()), c.words.data(), options, error)) << error;
        EXPECT_EQ(options.command, c.command);
        EXPECT_EQ(options.helpOn, c.helpOn);
    }
    for (const auto& [command, name] : {std::pair{CliCommand::List, "list"}, {CliCommand::Info, "info"},
                                        {CliCommand::Check, "check"}, {CliCommand::Upgrade, "upgrade"}})
        EXPECT_EQ(HelpText(command).rfind(std::string("Usage: kavora-cli ") + name, 0), 0u);
    EXPECT_NE(HelpText().find("-y, --yes"), std::string::npos);
    EXPECT_EQ(VersionText().rfind("kavora-cli 2.70 (revision ", 0), 0u) << VersionText();
}

// A usage error is told from a refusal: status 64, the error and the hint
// on standard error, nothing on standard output and nothing sent.
TEST_F(Cli, UsageErrorsExitWith64AndTouchNoDrive)
{
    drives.Add("/dev/sr0");
    WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
    WriteFile("KV.bin", MakeImage(5000));
    for (const std::vector<const char*>& words : std::vector<std::vector<const char*>>{
             {"upgrade", "KV.bin", "KV.bin"}, {"upgrade", "--drive="}, {"frob"}, {}, {"help", "list", "extra"}}) {
        EXPECT_EQ(Run(words), kExitUsage);
        EXPECT_EQ(out.str(), "");
        EXPECT_NE(err.str().find("\nTry 'kavora-cli --help' for more information.\n"), std::string::npos)
            << err.str();
    }
    EXPECT_TRUE(drives.io.Requests().empty());
}

// A stream whose every write fails, as standard output does on a full disk.
class FullDisk : public std::streambuf {
protected:
    int overflow(int) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

// What went wrong on standard output is said, and the status says it unless
// it has more to say of a drive that was written to.
TEST_F(Cli, AFailedWriteToStandardOutputIsAnError)
{
    const struct {
        const char* name;
        std::vector<const char*> words;
        bool blockFails;
        int status;
    } cases[] = {
        {"info", {"info", "--json", "KV.bin"}, false, kExitOutput},
        {"list", {"list"}, false, kExitOutput},
        {"help", {"--help"}, false, kExitOutput},
        {"refused", {"info", "none.bin"}, false, kExitOutput},
        {"usage error stays", {"list", "--json", "--frob"}, false, kExitUsage},
        {"upgraded", {"upgrade"}, false, kExitOutput},
        {"not saved stays", {"upgrade"}, true, kExitNotSaved},
    };
    WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
    WriteFile("KV.bin", MakeImage(5000));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        drives = VirtualDrives();
        VirtualDrive& drive = drives.Add("/dev/sr0");
        if (c.blockFails)
            drive.FailBlock(1, 6);
        FullDisk full;
        std::ostream failing(&full);
        std::vector<const char*> words = c.words;
        words.insert(words.begin(), "kavora-cli");
        err.str("");
        SystemSide system{drives, in, failing, err, false, false, "xterm", {}};
        EXPECT_EQ(RunProgram(static_cast<int>(words.size()), words.data(), system), c.status) << err.str();
        EXPECT_NE(err.str().find("kavora-cli: standard output could not be written"), std::string::npos)
            << err.str();
        // The run went on after its reader left.
        EXPECT_EQ(drive.SavesAccepted(), std::string(c.name) == "upgraded" ? 1 : 0);
    }
}

// The model list's lines of the Windows program's log come as it matches
// the drives, not when there is none to match.
TEST_F(Cli, TheListsLinesComeOnlyWithADriveToMatch)
{
    WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
    WriteFile("KV.bin", MakeImage(5000));
    for (const char* command : {"check", "upgrade"}) {
        SCOPED_TRACE(command);
        drives = VirtualDrives();
        EXPECT_EQ(Run({command}), kExitRefused);
        EXPECT_EQ(out.str().find("It's only for"), std::string::npos) << out.str();
        drives.Add("/dev/sr0");
        EXPECT_EQ(Run({command}), kExitUpgraded);
        EXPECT_EQ(out.str().rfind(std::string("It's only for\n(1) ") + kModel + ".\n", 0), 0u) << out.str();
    }
}

// The bar is for a terminal that draws it and has room for it, cut to its
// width; anywhere else a line per stage.
TEST_F(Cli, TheProgressBarFitsTheTerminalOrGivesWayToLines)
{
    const struct {
        const char* name;
        const char* term;
        int columns;
        bool bars;
    } cases[] = {
        {"a terminal of unknown width", "xterm", 0, true},
        {"80 columns", "xterm", 80, true},
        {"50 columns", "xterm", 50, true},
        {"TERM=dumb", "dumb", 80, false},
        {"30 columns", "xterm", 30, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        drives = VirtualDrives();
        drives.Add("/dev/sr0");
        WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
        WriteFile("KV.bin", MakeImage(5000));
        outputIsTerminal = true;
        term = c.term;
        columns = c.columns;
        ASSERT_EQ(Run({"upgrade"}), kExitUpgraded);
        EXPECT_EQ(err.str().find("\033[") != std::string::npos, c.bars) << err.str();
        EXPECT_EQ(err.str().find("kavora-cli: transfer: 2 blocks") != std::string::npos, !c.bars) << err.str();
        // Each drawing of the bar, between its "\r\033[K" and the next
        // control, within the width less its last column.
        const std::string text = err.str();
        int drawings = 0;
        for (std::size_t at = text.find("\r\033[K"); c.columns && at != std::string::npos;
             at = text.find("\r\033[K", at + 1)) {
            const std::size_t from = at + 4;
            const std::string drawn = text.substr(from, text.find_first_of("\r\n", from) - from);
            if (drawn.rfind("[", 0) == 0) {
                ++drawings;
                EXPECT_LT(drawn.size(), static_cast<std::size_t>(c.columns)) << drawn;
            }
        }
        EXPECT_EQ(drawings > 0, c.bars && c.columns > 0);
    }
    outputIsTerminal = false;
}

// info, without a drive: good and bad images of both kinds.
TEST_F(Cli, InfoTellsWhatAnUpgradeWouldDoWithAnImage)
{
    WriteFile("IDString.txt", ListFor(kModel, "KV.hex"));
    WriteFile("KV.hex", ToHex(MakeImage(0x10000)));   // 0x10000 bytes: two pieces are sent
    WriteFile("KV.bin", MakeImage(5000));
    Bytes big = MakeImage(0x100000);
    big.resize(0x100000 + 10, 0xFF); // padding behind the image
    WriteFile("big.bin", big);
    big.back() = 0x01;
    WriteFile("bigger.bin", big);
    WriteFile("other.bin", MakeImage(5000, 0x100000));
    WriteFile("bad.hex", Broken("sum"));

    ASSERT_EQ(Run({"info", "--json", "KV.hex"}), 0);
    const nlohmann::json hex = nlohmann::json::parse(out.str());
    EXPECT_EQ(hex["kind"], "hex");
    EXPECT_EQ(hex["imageLength"], 0x10000);
    EXPECT_EQ(hex["sentLength"], 0x20000);
    EXPECT_EQ(hex["blocks"], 32);
    EXPECT_EQ(hex["programmingWaits"], 2);
    EXPECT_EQ(hex["models"][0]["carried"], true);
    EXPECT_FALSE(hex["models"][0]["passingRevisions"].empty());

    ASSERT_EQ(Run({"info", "-j", "KV.bin"}), 0);
    const nlohmann::json bin = nlohmann::json::parse(out.str());
    EXPECT_EQ(bin["kind"], "bin");
    EXPECT_EQ(bin["size"], 5000);
    EXPECT_EQ(bin["blocks"], 2);
    EXPECT_EQ(bin["programmingWaits"], 0);
    // Two whole blocks go out: the image and 3192 bytes of 0xFF fill.
    Bytes sent = MakeImage(5000);
    sent.resize(8192, 0xFF);
    char sum[8];
    std::snprintf(sum, sizeof sum, "%04X", Sum16(sent));
    EXPECT_EQ(bin["headerSum"], sum);

    EXPECT_EQ(Run({"info", "big.bin"}), 0);
    EXPECT_NE(err.str().find("larger than 1 MiB"), std::string::npos) << err.str();
    EXPECT_NE(out.str().find("1048576 bytes in 256 blocks"), std::string::npos) << out.str();

    // Past 1 MiB more than fill is an image the buffer can't hold.
    EXPECT_EQ(Run({"info", "bigger.bin"}), kExitRefused);
    EXPECT_NE(err.str().find("bigger.bin holds 1048586 bytes, more than the 1 MiB an image can hold: byte "
                             "0x100009 is 0x01, and past 1 MiB only fill may follow (all FFh or all 00h)"),
              std::string::npos)
        << err.str();
    EXPECT_NE(out.str().find("ERR: input file format mismatched!"), std::string::npos) << out.str();

    WriteFile("whole.bin", MakeImage(0x100000));
    EXPECT_EQ(Run({"info", "whole.bin"}), 0);
    EXPECT_EQ(err.str().find("larger than 1 MiB"), std::string::npos) << err.str();

    EXPECT_EQ(Run({"info", "other.bin"}), 0);
    EXPECT_NE(out.str().find("not carried"), std::string::npos) << out.str();

    EXPECT_EQ(Run({"info", "bad.hex"}), kExitRefused);
    EXPECT_NE(err.str().find("checksum is wrong"), std::string::npos) << err.str();
    // With --json, standard output holds the error document and nothing
    // else: the log lines go with the notes.
    EXPECT_EQ(Run({"info", "--json", "bad.hex"}), kExitRefused);
    EXPECT_EQ(jsonKind, CliJsonKind::Error);
    const nlohmann::json error = nlohmann::json::parse(out.str())["error"];
    EXPECT_EQ(error["exitStatus"], kExitRefused);
    EXPECT_EQ(error["message"].get<std::string>().rfind("bad.hex, line 1: the record's checksum is wrong", 0), 0u)
        << error;
    EXPECT_NE(err.str().find("ERR: input file format mismatched!"), std::string::npos) << err.str();
    EXPECT_TRUE(drives.io.Requests().empty());
}

// -v traces each command as sg3_utils' tools do; -vv adds the data that came in.
TEST_F(Cli, VerboseTracesEachCommand)
{
    drives.Add("/dev/sr0");
    WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
    WriteFile("KV.bin", MakeImage(5000));
    ASSERT_EQ(Run({"upgrade", "-v"}), 0);
    EXPECT_NE(err.str().find("cdb: 12 00 00 00 24 00"), std::string::npos) << err.str();
    EXPECT_NE(err.str().find("cdb: 3b 06 00 00 00 20 00 10 00"), std::string::npos);
    EXPECT_NE(err.str().find("cdb: 3b 07 00"), std::string::npos);
    EXPECT_NE(err.str().find("data out, 4096 bytes, time-out 60 s"), std::string::npos);
    EXPECT_EQ(err.str().find("0000  05"), std::string::npos);
    ASSERT_EQ(Run({"check", "-vv"}), 0);
    EXPECT_NE(err.str().find("0000  05 "), std::string::npos) << err.str();
}

// Without a terminal the run tells its stages on standard error, and --json
// sums it up on standard output.
TEST_F(Cli, UpgradeStagesAndSummary)
{
    VirtualDrive& drive = drives.Add("/dev/sr0");
    WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
    WriteFile("KV.bin", MakeImage(5000));
    ASSERT_EQ(Run({"upgrade", "--json"}), 0);
    for (const char* stage : {"kavora-cli: transfer: 2 blocks of 4096 bytes", "kavora-cli: waiting for the drive",
                              "kavora-cli: reading the drive's identity"})
        EXPECT_NE(err.str().find(stage), std::string::npos) << err.str();
    nlohmann::json summary = nlohmann::json::parse(LinesOf(out.str()).back());
    EXPECT_EQ(summary["result"], "upgraded");
    EXPECT_EQ(summary["revisionBefore"], "1.00");
    EXPECT_EQ(summary["revisionAfter"], "1.10");
    EXPECT_EQ(summary["exitStatus"], 0);

    drive.FailBlock(1, 6);
    ASSERT_EQ(Run({"upgrade", "--json"}), kExitNotSaved);
    summary = nlohmann::json::parse(LinesOf(out.str()).back());
    EXPECT_EQ(summary["result"], "not saved");
    EXPECT_EQ(summary["failedCommand"], "block");
    EXPECT_NE(summary["explanation"].get<std::string>().find("Medium Error"), std::string::npos);
}

} // namespace
} // namespace engine_test
