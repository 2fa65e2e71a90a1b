// The command lines kavora-cli.exe runs alike (tests/support/cli_cases.h):
// Linux's side.
#include <cstdio>

#include "tests/linux/cli_fixture.h"
#include "tests/support/cli_cases.h"

namespace engine_test {
namespace {

TEST_F(Cli, SharedCasesGiveTheOutputBothSystemsGive)
{
    const DriveNaming naming{"/dev/sr0", "", "/dev/sr0"};
    for (const SharedCliCase& c : SharedCliCases()) {
        SCOPED_TRACE(c.name);
        drives = VirtualDrives();
        drives.Add("/dev/sr0");
        WriteFile("IDString.txt", ListFor(kModel, "KV.bin"));
        WriteFile("KV.bin", MakeImage(9000, 0x100, c.imageRevision));
        std::vector<std::string> words;
        for (const std::string& w : c.words)
            words.push_back(Filled(w, naming));
        std::vector<const char*> argv;
        for (const std::string& w : words)
            argv.push_back(w.c_str());
        EXPECT_EQ(Run(argv), c.status) << err.str();
        EXPECT_EQ(out.str(), Filled(c.out, naming));
        if (std::getenv("KAVORA_PRINT_SHARED"))
            std::printf("CASE %s\n%s\nEND\n", c.name, out.str().c_str());
    }
}

} // namespace
} // namespace engine_test
