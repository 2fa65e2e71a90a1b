// Engine tests against a virtual drive: running the procedure, and reading
// what the drive received.
#pragma once

#include <functional>
#include <memory>

#include "emu/drive_rig.h"
#include "engine_fixture.h"

namespace engine_test {

constexpr int kDefaultBusyPolls = 2;

inline bool IsWrite(const ReceivedCommand& c, std::uint32_t length)
{
    return c.cdb[0] == 0x3B && c.cdb[1] == 0x06 && c.length == length;
}
inline bool IsSave(const ReceivedCommand& c) { return c.cdb[0] == 0x3B && c.cdb[1] == 0x07; }
inline bool IsTestUnitReady(const ReceivedCommand& c) { return c.cdb[0] == 0x00; }
inline bool IsInquiry(const ReceivedCommand& c) { return c.cdb[0] == 0x12; }
inline std::uint32_t OffsetOf(const ReceivedCommand& c)
{
    return (c.cdb[3] << 16) | (c.cdb[4] << 8) | c.cdb[5];
}

class DriveTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        drive.SetBusyPolls(kDefaultBusyPolls);
        rig = std::make_unique<DriveRig>(drive);
    }
    void TearDown() override
    {
        engine.reset();
        rig.reset();
        EngineTest::TearDown();
    }

    bool Upgrade(const std::string& path, bool hex, const char* revision = "1.00")
    {
        engine = std::make_unique<CFlashEngine>(Param(path, hex, &rig->Entry(), kListModel, revision),
                                                rig->Transport());
        return engine->Upgrade();
    }
    bool UpgradeRaw(const Bytes& image) { return Upgrade(WriteFile("image.bin", image), false); }
    bool UpgradeHex(const Bytes& image) { return Upgrade(WriteFile("image.hex", ToHex(image)), true); }

    int Count(const std::function<bool(const ReceivedCommand&)>& match) const
    {
        int n = 0;
        for (const ReceivedCommand& c : drive.Commands())
            n += match(c) ? 1 : 0;
        return n;
    }
    std::vector<std::uint32_t> BlockOffsets() const
    {
        std::vector<std::uint32_t> offsets;
        for (const ReceivedCommand& c : drive.Commands())
            if (IsWrite(c, 4096))
                offsets.push_back(OffsetOf(c));
        return offsets;
    }

    // The one rule a flash upgrade must never break: no save unless the drive
    // accepted every block of the image and then the header.
    void ExpectNoSaveBeforeCompleteDownload(std::uint32_t blocks) const
    {
        std::vector<bool> accepted(blocks, false);
        bool header = false;
        for (const ReceivedCommand& c : drive.Commands()) {
            if (IsWrite(c, 4096) && c.good) {
                std::uint32_t k = (OffsetOf(c) - 0x20) / 4096;
                if (k < blocks)
                    accepted[k] = true;
            } else if (IsWrite(c, 32) && c.good && OffsetOf(c) == 0) {
                header = true;
            } else if (IsSave(c)) {
                EXPECT_TRUE(header) << "save before the header was accepted";
                for (std::uint32_t k = 0; k < blocks; ++k)
                    EXPECT_TRUE(accepted[k]) << "save before block " << k << " was accepted";
            }
        }
    }

    VirtualDrive drive;
    std::unique_ptr<DriveRig> rig;
    std::unique_ptr<CFlashEngine> engine;
};

} // namespace engine_test
