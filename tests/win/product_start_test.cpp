// The product binary itself, started as a user would: it must open its
// dialog on a machine without CD-ROM drives, say so, and end when closed.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <fstream>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/win/support/product_process.h"

namespace {

TEST(Product, OpensItsDialogFindsNoDriveAndEndsOnClose)
{
    std::string exe = ProductPath();
    ASSERT_FALSE(exe.empty()) << "KAVORA_EXE names the program under test";
    std::ofstream("IDString.txt") << "\"KAVORA  CD-ROM VIRTUAL  \" \"KV110.hex\" \"N\"\n";

    PROCESS_INFORMATION process{};
    ASSERT_TRUE(StartProduct(exe, process));
    HWND dialog = WaitForWindow(process.dwProcessId, "KAVORA", 15000);
    ASSERT_NE(dialog, nullptr) << "the dialog did not appear";

    // No CD-ROM drive here: an empty list, the model list reported, and
    // nothing to upgrade.
    EXPECT_EQ(::SendMessageA(::GetDlgItem(dialog, IDC_DRIVE), CB_GETCOUNT, 0, 0), 0);
    EXPECT_EQ(ControlText(dialog, IDC_LOG),
              "It's only for\r\n(1) KAVORA  CD-ROM VIRTUAL  .\r\nCD-ROM drive model doesn't match!!");
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(dialog, IDC_UPGRADE)));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(dialog, IDCANCEL)));

    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    ASSERT_EQ(::WaitForSingleObject(process.hProcess, 15000), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    ::GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(exitCode, 0u);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
}

TEST(Product, CarriesItsVersion)
{
    std::string exe = ProductPath();
    ASSERT_FALSE(exe.empty());
    DWORD handle = 0;
    DWORD size = ::GetFileVersionInfoSizeA(exe.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<char> data(size);
    ASSERT_TRUE(::GetFileVersionInfoA(exe.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    ASSERT_TRUE(::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length));
    EXPECT_EQ(info->dwFileVersionMS, static_cast<DWORD>(MAKELONG(70, 2)));
}

// Each build is a program of its own architecture and says so in its
// manifest: a 64-bit program that asks for the 32-bit Common Controls does
// not start where the system holds both.
TEST(Product, IsBuiltForItsArchitectureAndSaysSoInItsManifest)
{
    std::string exe = ProductPath();
    ASSERT_FALSE(exe.empty());
    HMODULE image = ::LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    std::ifstream file(exe, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 0x40u);
    std::uint32_t peAt = 0;
    std::memcpy(&peAt, bytes.data() + 0x3C, sizeof peAt);
    ASSERT_LT(peAt + 0x1Au, bytes.size());
    std::uint16_t machine = 0, magic = 0;
    std::memcpy(&machine, bytes.data() + peAt + 4, sizeof machine);
    std::memcpy(&magic, bytes.data() + peAt + 0x18, sizeof magic);

    const bool is64 = sizeof(void*) == 8;
    EXPECT_EQ(machine, is64 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);
    EXPECT_EQ(magic, is64 ? 0x20B : 0x10B) << "PE32+ for 64 bits, PE32 for 32";

    HRSRC found = ::FindResourceA(image, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(found, nullptr);
    const char* text = static_cast<const char*>(::LockResource(::LoadResource(image, found)));
    std::string manifest(text, ::SizeofResource(image, found));
    const std::string arch = is64 ? "processorArchitecture=\"amd64\"" : "processorArchitecture=\"X86\"";
    std::size_t named = 0;
    for (std::size_t at = manifest.find("processorArchitecture="); at != std::string::npos;
         at = manifest.find("processorArchitecture=", at + 1)) {
        EXPECT_EQ(manifest.compare(at, arch.size(), arch), 0) << manifest.substr(at, 40);
        ++named;
    }
    EXPECT_EQ(named, 2u) << "the program and its Common Controls dependency";
    ::FreeLibrary(image);
}

} // namespace
