// What info says of the revisions an image passes is what check finds with a
// drive of that revision: both ask the identity scan. The sample images pass
// more than the revision written after their model text (the HEX scan takes
// any digit after a digit, the raw scan finds the two characters anywhere).
#include <filesystem>
#include <map>

#include <nlohmann/json.hpp>

#include "tests/linux/cli_fixture.h"

namespace engine_test {
namespace {

std::filesystem::path Examples() { return SourceTree() / "examples"; }

bool Listed(const nlohmann::json& passing, const std::string& beginning)
{
    for (const auto& p : passing)
        if (p == beginning)
            return true;
    return false;
}

TEST_F(Cli, InfoAndCheckAgreeOnWhichRevisionsPass)
{
    SKIP_WITHOUT_SOURCES();
    for (const char* name : {"KV110.hex", "KV110.bin"})
        std::filesystem::copy_file(Examples() / name, Path(name));
    WriteFile("IDString.txt", ListFor(kModel, "KV110.hex"));
    const struct Case {
        const char* image;
        const char* revision; // the drive's
        bool passes;
    } cases[] = {
        {"KV110.hex", "1.10", true},  // as written after the model text
        {"KV110.hex", "1.00", true},
        {"KV110.hex", "10.0", true},  // a digit after the "1"
        {"KV110.hex", "12.0", true},
        {"KV110.hex", "2.00", false},
        {"KV110.hex", "    ", false},
        {"KV110.bin", "1.10", true},
        {"KV110.bin", "  AB", true},  // the blanks inside the model text
        {"KV110.bin", "12.0", false},
        {"KV110.bin", "2.00", false},
    };
    // info asks the scan some nine thousand times: once for each image.
    std::map<std::string, nlohmann::json> said;
    for (const char* image : {"KV110.hex", "KV110.bin"}) {
        ASSERT_EQ(Run({"info", "--json", image}), kExitUpgraded) << err.str();
        said[image] = nlohmann::json::parse(out.str())["models"][0];
        EXPECT_EQ(said[image]["carried"], true);
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.image) + " with a drive at revision \"" + c.revision + "\"");
        const nlohmann::json& model = said[c.image];
        EXPECT_EQ(Listed(model["passingRevisions"], std::string(c.revision, 2)), c.passes) << model.dump();

        drives = VirtualDrives();
        DriveIdentity identity;
        identity.revision = c.revision;
        drives.Add("/dev/sr0", identity);

        EXPECT_EQ(Run({"check", c.image}), c.passes ? kExitUpgraded : kExitRefused) << err.str();
    }
}

// The line says it too, runs of second characters as ranges.
TEST_F(Cli, InfoNamesThePassingRevisionsInItsLine)
{
    SKIP_WITHOUT_SOURCES();
    std::filesystem::copy_file(Examples() / "KV110.hex", Path("KV110.hex"));
    WriteFile("IDString.txt", ListFor(kModel, "KV110.hex"));
    ASSERT_EQ(Run({"info", "KV110.hex"}), kExitUpgraded) << err.str();
    EXPECT_NE(out.str().find("\"1.\", \"10\"-\"19\""), std::string::npos) << out.str();
}

} // namespace
} // namespace engine_test
