// kavora-cli --json: every command over every kind of end gives standard
// output one document of the kind its end calls for, with the status the
// program exits with; and the table of keys those documents are held to
// (the fixture holds every --json run to it) finds the faults it is there for.
#include <nlohmann/json.hpp>

#include "tests/linux/cli_fixture.h"

namespace engine_test {
namespace {

struct JsonEnd {
    const char* name;
    std::function<void(VirtualDrives&)> lay; // the drives; none when null
    std::vector<const char*> words;
    int status;
    CliJsonKind kind;
    const char* says; // in the document (its message, for an error); may be null
};

class JsonEnds : public Cli {
protected:
    void Files()
    {
        WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
        WriteFile("KV.bin", MakeImage(5000));
        WriteFile("old.bin", MakeImage(5000, 0x100, "0.90"));
        WriteFile("yes.txt", ListFor(kModel, "KV.bin", "Y"));
        WriteFile("bad.hex", ":10000000ZZ\n");
    }
};

void OneDrive(VirtualDrives& d) { d.Add("/dev/sr0"); }

TEST_F(JsonEnds, EveryCommandAtEveryEndPrintsOneDocument)
{
    const JsonEnd cases[] = {
        {"list", OneDrive, {"list", "--json"}, 0, CliJsonKind::List, "/dev/sr0"},
        {"list, no drive", nullptr, {"list", "--json"}, 1, CliJsonKind::List, nullptr},
        {"list, no drive answers",
         [](VirtualDrives& d) { d.Add("/dev/sr0").WithholdInquiry(kForever, false); }, {"list", "--json"}, 1,
         CliJsonKind::List, "no answer to INQUIRY"},
        {"info", nullptr, {"info", "--json", "KV.bin"}, 0, CliJsonKind::Info, nullptr},
        {"info, broken image", nullptr, {"info", "--json", "bad.hex"}, 1, CliJsonKind::Error,
         "bad.hex, line 1: 'Z' stands where a hexadecimal digit must"},
        {"info, no image", nullptr, {"info", "-j", "none.bin"}, 1, CliJsonKind::Error,
         "cannot read the image none.bin"},
        {"check, for the drive", OneDrive, {"check", "--json"}, 0, CliJsonKind::Check, "it is for the drive"},
        {"check, not for the drive", OneDrive, {"check", "--json", "old.bin"}, 1, CliJsonKind::Check,
         "is not for the drive at /dev/sr0"},
        {"check, no drive", nullptr, {"check", "--json"}, 1, CliJsonKind::Error, "no CD/DVD-class drive"},
        {"check, no such node", OneDrive, {"check", "--json", "-d", "/dev/sr9"}, 1, CliJsonKind::Error,
         "/dev/sr9: No such file or directory"},
        {"upgrade", OneDrive, {"upgrade", "--json"}, 0, CliJsonKind::Upgrade, "upgraded"},
        {"upgrade, not saved", [](VirtualDrives& d) { d.Add("/dev/sr0").FailBlock(1, 6); }, {"upgrade", "--json"}, 2,
         CliJsonKind::Upgrade, "Medium Error"},
        {"upgrade, no permission",
         [](VirtualDrives& d) {
             d.Add("/dev/sr0");
             d.mayWrite = false;
         },
         {"upgrade", "--json"}, 1, CliJsonKind::Error, "CAP_SYS_RAWIO"},
        {"upgrade, not confirmed", OneDrive, {"upgrade", "--json", "-l", "yes.txt"}, 1, CliJsonKind::Error,
         "give --yes"},
        {"upgrade, another model named",
         [](VirtualDrives& d) {
             DriveIdentity other;
             other.vendor = "OTHER   ";
             d.Add("/dev/sr0", other);
         },
         {"upgrade", "--json", "-d", "/dev/sr0"}, 1, CliJsonKind::Error, "not the model the list names"},
        {"tower", [](VirtualDrives& d) { d.Add("/dev/sr0"), d.Add("/dev/sr1"); }, {"upgrade", "--json", "--all"}, 0,
         CliJsonKind::Tower, "/dev/sr1"},
        {"tower, none there", nullptr, {"upgrade", "--json", "-d", "/dev/sr8", "-d", "/dev/sr9"}, 1,
         CliJsonKind::Error, "no drive to upgrade"},
        {"usage error", nullptr, {"list", "--json", "--frob"}, 64, CliJsonKind::Error, "unknown option '--frob'"},
        {"usage error before --json", nullptr, {"check", "extra", "more", "-j"}, 64, CliJsonKind::Error,
         "check takes one IMAGE; 'more' is one too many"},
        {"a value for --json", nullptr, {"list", "--json=yes"}, 64, CliJsonKind::Error,
         "option '--json' takes no value"},
    };
    for (const JsonEnd& c : cases) {
        SCOPED_TRACE(c.name);
        drives = VirtualDrives();
        if (c.lay)
            c.lay(drives);
        Files();
        EXPECT_EQ(Run(c.words), c.status) << err.str();
        EXPECT_EQ(jsonKind, c.kind) << out.str();
        const nlohmann::json document = nlohmann::json::parse(out.str(), nullptr, false);
        ASSERT_FALSE(document.is_discarded()) << out.str();
        if (c.kind == CliJsonKind::Error) {
            EXPECT_EQ(document["error"]["exitStatus"], c.status);
            // What the document says is what standard error said.
            const std::string message = document["error"]["message"];
            EXPECT_NE(err.str().find(message), std::string::npos) << message << "\n" << err.str();
        } else if (document.contains("exitStatus")) {
            EXPECT_EQ(document["exitStatus"], c.status);
        }
        if (c.says) {
            EXPECT_NE(document.dump().find(c.says), std::string::npos) << document.dump();
        }
        for (const auto& request : drives.io.Requests())
            EXPECT_TRUE(c.status > 1 || c.kind == CliJsonKind::Upgrade || c.kind == CliJsonKind::Tower ||
                        request.cdb[0] != 0x3B)
                << "a refusal wrote to the drive";
    }
}

// A refused drive's document names it, and says why it was refused.
TEST_F(JsonEnds, ARefusalNamesTheDrive)
{
    drives.lockFolder = Path("lock");
    drives.Add("/dev/sr0");
    Files();
    DriveLock other;
    std::string error;
    ASSERT_TRUE(other.Take(drives.lockFolder, "0:0:0:0", "/dev/sr0", error)) << error;
    EXPECT_EQ(Run({"upgrade", "--json"}), kExitRefused);
    const nlohmann::json document = nlohmann::json::parse(out.str());
    EXPECT_EQ(document["error"]["drive"], "/dev/sr0");
    EXPECT_NE(document["error"]["message"].get<std::string>().find("is being upgraded by another program"),
              std::string::npos)
        << document;
}

// Sums in the one form of the log's "Check Sum : %X", in the lines and in
// each document that carries one.
TEST_F(JsonEnds, SumsReadAsTheLogWritesThem)
{
    drives.Add("/dev/sr0");
    Files();
    ASSERT_EQ(Run({"check"}), 0);
    const std::string line = LinesOf(out.str()).back();
    ASSERT_EQ(line.rfind("Check Sum : ", 0), 0u) << line;
    const std::string sum = line.substr(12);
    ASSERT_EQ(Run({"check", "--json"}), 0);
    EXPECT_EQ(nlohmann::json::parse(out.str())["checkSum"], sum);
    ASSERT_EQ(Run({"info", "--json", "KV.bin"}), 0);
    EXPECT_EQ(nlohmann::json::parse(out.str())["checkSum"], sum);
}

// The table finds what it is there for: a key missing, a key it does not
// have, a value of the wrong type, a sum in another form, no format, and
// anything on standard output besides the one document.
TEST(CliJsonKeys, TheTableFindsEachFault)
{
    const nlohmann::json check = {{"format", 1},      {"drive", "/dev/sr0"}, {"model", "M"},
                                  {"revision", "1.00"}, {"image", "KV.bin"},  {"checkSum", "D73"},
                                  {"forDrive", true},   {"verdict", "..."}};
    ASSERT_TRUE(CliJsonFaults(check, CliJsonKind::Check).empty());
    const auto with = [&](const char* key, nlohmann::json value) {
        nlohmann::json changed = check;
        if (value.is_null())
            changed.erase(key);
        else
            changed[key] = value;
        return changed.dump();
    };
    const struct {
        const char* name;
        std::string output;
        const char* fault;
    } cases[] = {
        {"missing key", with("forDrive", nullptr), "forDrive is missing"},
        {"unknown key", with("extra", 1), "extra is a key the table does not have"},
        {"wrong type", with("forDrive", "yes"), "forDrive is \"yes\", not true or false"},
        {"sum with a leading zero", with("checkSum", "0D73"), "checkSum is \"0D73\""},
        {"sum in lower case", with("checkSum", "d73"), "checkSum is \"d73\""},
        {"no format", with("format", nullptr), "format is missing"},
        {"another format", with("format", 2), "format is 2"},
        {"log line before", "Check Sum : D73\n" + check.dump(), "not one JSON document"},
        {"two documents", check.dump() + "\n" + check.dump(), "not one JSON document"},
        {"nothing", "", "not one JSON document"},
        {"error without a status", R"({"format":1,"error":{"message":"m"}})", "error.exitStatus is missing"},
        {"status of no meaning", R"({"format":1,"error":{"message":"m","exitStatus":5}})", "error.exitStatus is 5"},
        {"tower entry of neither shape",
         R"({"format":1,"exitStatus":0,"drives":[{"node":"/dev/sr0","result":"upgraded"}]})",
         "drives[0].model is missing"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // A document is held to the check's keys, whatever its own say.
        const nlohmann::json document = nlohmann::json::parse(c.output, nullptr, false);
        const std::vector<std::string> faults =
            document.is_object() && !document.contains("error") && !document.contains("drives")
                ? CliJsonFaults(document, CliJsonKind::Check)
                : CliJsonOutputFaults(c.output);
        std::string all;
        for (const std::string& fault : faults)
            all += fault + "\n";
        EXPECT_NE(all.find(c.fault), std::string::npos) << all;
    }
}

} // namespace
} // namespace engine_test
