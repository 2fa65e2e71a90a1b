// What kavora-cli's tests share: the machine's drives as virtual drives
// behind the fake kernel's SG_IO, and a fixture that runs one command line
// and keeps what went to each stream.
#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "cli/commands.h"
#include "cli/program.h"
#include "cli/linux/linux_drives.h"
#include "device/linux/drive_lock.h"
#include "device/linux/sg_io_transport.h"
#include "tests/linux/virtual_sg_io.h"
#include "tests/support/cli_json_keys.h"
#include "tests/portable/engine_drive.h"

// The checkout the tests were built from, found through this file's own
// name (absolute, or from the checkout's root where a release-configured
// build maps its folders away); empty where it is not there, as in the QEMU
// guest, which carries the test program and no sources. Tests of the
// checkout's files skip themselves there.
inline std::filesystem::path SourceTree()
{
    std::string root = __FILE__;
    root.erase(root.rfind("tests"));
    const std::filesystem::path path = root.empty() ? std::filesystem::path(".") : std::filesystem::path(root);
    std::error_code error;
    return std::filesystem::exists(path / "cli" / "kavora-cli.8.scd", error) ? path : std::filesystem::path();
}

#define SKIP_WITHOUT_SOURCES()                                                     \
    if (SourceTree().empty())                                                      \
    GTEST_SKIP() << "the checkout's files are not here (as in the QEMU guest)"

namespace engine_test {

// The machine's drives, each a virtual drive behind the fake kernel.
class VirtualDrives : public DriveAccess {
public:
    VirtualSgIo io;
    bool mayWrite = true;
    std::set<std::string> gone;
    std::string lockFolder;

    // A drive at `hctl`, or by default at target k of 0:0, the k-th added.
    VirtualDrive& Add(const std::string& path, DriveIdentity identity = {}, const std::string& hctl = "")
    {
        owned_.push_back(std::make_unique<VirtualDrive>(std::move(identity)));
        const int fd = 100 + static_cast<int>(names_.size());
        io.Attach(fd, *owned_.back());
        DriveName name;
        name.path = path;
        name.target = static_cast<int>(names_.size());
        if (!hctl.empty()) {
            EXPECT_TRUE(name.ReadHctl(hctl)) << hctl;
        }
        names_.push_back(name);
        fds_[path] = fd;
        return *owned_.back();
    }
    // `node` reaches the drive of `path` too, as /dev/sg0 does /dev/sr0's.
    void Alias(const std::string& node, const std::string& path)
    {
        fds_[node] = fds_.at(path);
        for (const DriveName& name : names_)
            if (name.path == path) {
                aliases_[node] = name;
                aliases_[node].path = node;
            }
    }

    std::vector<DriveName> Drives() override { return names_; }
    bool Find(const std::string& node, DriveName& drive) override
    {
        for (const DriveName& name : names_)
            if (name.path == node) {
                drive = name;
                return true;
            }
        auto alias = aliases_.find(node);
        if (alias == aliases_.end())
            return false;
        drive = alias->second;
        return true;
    }
    // With a `lockFolder`, an upgrade's open takes the drive's lock there, as
    // the kernel's drives do in /run/lock.
    std::unique_ptr<OpenDrive> Open(const DriveName& drive, bool write, std::string& error) override
    {
        class Opened : public OpenDrive {
        public:
            Opened(int fd, SgIo& io, DriveLock lock) : transport_(fd, io), lock_(std::move(lock)) {}
            scsi::Transport& Transport() override { return transport_; }

        private:
            SgIoTransport transport_;
            DriveLock lock_;
        };
        auto fd = fds_.find(drive.path);
        if (fd == fds_.end()) {
            error = "cannot open " + drive.path;
            return nullptr;
        }
        DriveLock lock;
        if (write && !lockFolder.empty() && !lock.Take(lockFolder, drive.Hctl(), drive.path, error))
            return nullptr;
        return std::make_unique<Opened>(fd->second, io, std::move(lock));
    }
    bool StillThere(const DriveName& drive) override { return gone.count(drive.path) == 0; }
    bool MayWrite(std::string& error) override
    {
        if (!mayWrite)
            error = "WRITE BUFFER through SG_IO needs root or the CAP_SYS_RAWIO capability";
        return mayWrite;
    }
    // As the kernel's drives answer it: by what the file system has there.
    std::string WhyNotFound(const std::string& node, bool* exists = nullptr) override
    {
        return LinuxDrives().WhyNotFound(node, exists);
    }

private:
    std::vector<std::unique_ptr<VirtualDrive>> owned_;
    std::vector<DriveName> names_;
    std::map<std::string, DriveName> aliases_;
    std::map<std::string, int> fds_;
};

inline std::string ListFor(const char* model, const char* file, const char* flag = "N")
{
    return std::string("\"") + model + "\" \"" + file + "\" \"" + flag + "\"\n";
}

inline std::vector<std::string> LinesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class Cli : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
    }
    void TearDown() override
    {
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
        std::signal(SIGHUP, SIG_DFL);
        EngineTest::TearDown();
    }

    // The program from its command line, as main() runs it. Every --json
    // run's standard output is held to the table of documents.
    int Run(std::vector<const char*> words)
    {
        words.insert(words.begin(), "kavora-cli");
        out.str("");
        out.clear();
        err.str("");
        SystemSide system{drives, in, out, err, terminal, outputIsTerminal, term, [this] { return columns; }};
        const int status = RunProgram(static_cast<int>(words.size()), words.data(), system);
        CliOptions options;
        std::string ignored;
        ParseOptions(static_cast<int>(words.size()), words.data(), options, ignored);
        jsonKind = CliJsonKind::Unknown;
        if (options.json && options.command != CliCommand::Help && options.command != CliCommand::Version) {
            for (const std::string& fault : CliJsonOutputFaults(out.str(), &jsonKind))
                ADD_FAILURE() << fault << "\nof: " << out.str();
        }
        return status;
    }

    int Writes(const VirtualDrive& drive) const
    {
        int n = 0;
        for (const ReceivedCommand& c : drive.Commands())
            n += c.cdb[0] == 0x3B ? 1 : 0;
        return n;
    }

    VirtualDrives drives;
    std::ostringstream out, err;
    std::istringstream in;
    bool terminal = false;         // standard input
    bool outputIsTerminal = false; // standard error: the progress bar
    std::string term = "xterm";
    int columns = 0;               // standard error's width; 0: not known
    CliJsonKind jsonKind = CliJsonKind::Unknown; // of the last --json run's document
};

} // namespace engine_test
