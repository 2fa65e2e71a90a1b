// Binding the ASPI library and releasing drive access.
#include <gtest/gtest.h>

#include "app/aspi_messages.h"
#include "device/win/drive_table.h"
#include "tests/win/support/machine_scope.h"
#include "tests/win/support/recording_ui.h"

namespace {

HWND const kOwner = reinterpret_cast<HWND>(0x1234);

class AspiBindingTest : public ::testing::Test {
protected:
    AspiBindingTest()
    {
        scope.SetFamily(false, false);
        pfnGetASPI32SupportInfo = nullptr;
        pfnSendASPI32Command = nullptr;
    }
    MachineScope scope;
    VirtualMachine& machine = scope.machine;
    DriveTable& table = scope.table;
    RecordingUi ui;
};

TEST_F(AspiBindingTest, NtFamilyNeedsNoLibrary)
{
    table.m_bIsNT = true;
    machine.SetAspiLibrary(AspiLibrary::Missing);
    EXPECT_TRUE(LoadAspiLibrary(table, kOwner));
    EXPECT_EQ(machine.LibraryLoads(), 0);
    EXPECT_EQ(table.m_hAspiDll, nullptr);
    EXPECT_EQ(pfnSendASPI32Command, nullptr);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(AspiBindingTest, BindsBothEntryPoints)
{
    EXPECT_TRUE(LoadAspiLibrary(table, kOwner));
    EXPECT_NE(table.m_hAspiDll, nullptr);
    ASSERT_NE(pfnGetASPI32SupportInfo, nullptr);
    EXPECT_NE(pfnSendASPI32Command, nullptr);
    EXPECT_TRUE(ui.boxes.empty());
    machine.AddCdRom('d');
    EXPECT_EQ(pfnGetASPI32SupportInfo(), 0x0101u) << "SS_COMP, one adapter";
}

TEST_F(AspiBindingTest, MissingLibraryShowsOneBox)
{
    machine.SetAspiLibrary(AspiLibrary::Missing);
    EXPECT_FALSE(LoadAspiLibrary(table, kOwner));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].owner, kOwner);
    EXPECT_EQ(ui.boxes[0].text, "No find the dynamic library!!");
    EXPECT_EQ(ui.boxes[0].caption, "Error!!");
    EXPECT_EQ(ui.boxes[0].style, UINT(MB_OK | MB_ICONINFORMATION));
    EXPECT_EQ(table.m_hAspiDll, nullptr);
}

TEST_F(AspiBindingTest, OneEntryPointShowsTheSecondBoxAndKeepsTheLibrary)
{
    struct Case {
        AspiLibrary variant;
        int answer;
    } cases[] = {{AspiLibrary::OnlySupportInfo, IDOK}, {AspiLibrary::OnlySendCommand, IDCANCEL}};
    for (const Case& c : cases) {
        ui.boxes.clear();
        ui.answer = c.answer;
        table.m_hAspiDll = nullptr;
        machine.SetAspiLibrary(c.variant);
        EXPECT_FALSE(LoadAspiLibrary(table, kOwner));
        ASSERT_EQ(ui.boxes.size(), 1u);
        EXPECT_EQ(ui.boxes[0].owner, kOwner);
        EXPECT_EQ(ui.boxes[0].text, "Cannot Load Dynamic Library!!!");
        EXPECT_EQ(ui.boxes[0].caption, "Error!");
        EXPECT_EQ(ui.boxes[0].style, UINT(MB_OKCANCEL));
        EXPECT_NE(table.m_hAspiDll, nullptr) << "the library stays loaded";
        EXPECT_EQ(machine.LibraryFrees(), 0);
    }
}

TEST_F(AspiBindingTest, ReleaseFreesTheLibrary)
{
    ASSERT_TRUE(LoadAspiLibrary(table, kOwner));
    EXPECT_TRUE(ReleaseDriveAccess(table));
    EXPECT_EQ(machine.LibraryFrees(), 1);
}

// Release on the NT family, after discovery on each NT method.
class ReleaseTest : public ::testing::TestWithParam<bool> {
protected:
    ReleaseTest() { scope.SetFamily(true, GetParam()); }
    // The last letter each method opens.
    char Last() const { return GetParam() ? 'y' : 'z'; }
    MachineScope scope;
    VirtualMachine& machine = scope.machine;
};

TEST_P(ReleaseTest, ClosesTheLastOpenedHandleOnce)
{
    machine.AddCdRom('d');
    machine.AddCdRom(Last());
    ASSERT_EQ(scope.Scan(), 2);
    const HANDLE last = scope.table.m_hDevice;
    ASSERT_EQ(last, scope.table.m_pDrives[1]->hDevice);
    EXPECT_TRUE(ReleaseDriveAccess(scope.table));
    EXPECT_EQ(machine.CloseCount(last), 1);
    EXPECT_EQ(machine.CloseCount(scope.table.m_pDrives[0]->hDevice), 0)
        << "other drives' handles stay to the process end";
    EXPECT_EQ(machine.LibraryFrees(), 0);
}

TEST_P(ReleaseTest, HandleClosedByTheScanIsNotClosedAgain)
{
    machine.AddCdRom('d');
    machine.AddHardDisk(Last());
    ASSERT_EQ(scope.Scan(), 1);
    EXPECT_TRUE(ReleaseDriveAccess(scope.table));
    const HANDLE disk = machine.Opens().back().result;
    ASSERT_EQ(machine.Opens().back().path, std::string("\\\\.\\") + Last() + ":");
    EXPECT_EQ(machine.CloseCount(disk), 1);
    EXPECT_EQ(machine.CloseCount(scope.table.m_pDrives[0]->hDevice), 0);
}

INSTANTIATE_TEST_SUITE_P(NtMethods, ReleaseTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "DeviceList" : "Direct"; });

TEST(Release, NothingOpenedNothingClosed)
{
    MachineScope scope;
    EXPECT_TRUE(ReleaseDriveAccess(scope.table));
    EXPECT_EQ(scope.machine.LibraryFrees(), 0);
}

} // namespace
