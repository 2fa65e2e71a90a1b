// The product binary itself, started as a user would: it must open its
// dialog on a machine without CD-ROM drives, say so, and end when closed.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <fstream>
#include <string>
#include <vector>

#include "kavora_revision.h"
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
    EXPECT_EQ(info->dwProductVersionMS, static_cast<DWORD>(MAKELONG(70, 2)));

    auto text = [&](const char* name) {
        char* value = nullptr;
        UINT chars = 0;
        const std::string path = std::string("\\StringFileInfo\\040904b0\\") + name;
        if (!::VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &chars) || !value)
            return std::string("(none)");
        return std::string(value);
    };
    EXPECT_EQ(text("ProductName"), "KAVORA");
    const std::string version = text("FileVersion");
    const std::string revision = text("SourceRevision");
    EXPECT_EQ(text("ProductVersion"), version);
    EXPECT_EQ(revision.size(), 12u) << revision;

    // What the Linux program of the same source says of itself: this build's
    // (the header both are made with), or a release's, given by its check.
    const char* cli = std::getenv("KAVORA_CLI_VERSION");
    const std::string expected = cli ? std::string(cli)
                                     : std::string("kavora-cli ") + KAVORA_VERSION + " (revision " + KAVORA_REVISION + ")";
    EXPECT_EQ("kavora-cli " + version + " (revision " + revision + ")", expected);

    // The main dialog shows the same version.
    HMODULE image = ::LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    HRSRC found = ::FindResourceA(image, MAKEINTRESOURCEA(IDD_KAVORA_DIALOG), MAKEINTRESOURCEA(5));
    ASSERT_NE(found, nullptr);
    const auto* bytes = static_cast<const char*>(::LockResource(::LoadResource(image, found)));
    std::string wide;
    for (char c : "Version  " + version)
        wide += {c, '\0'};
    EXPECT_NE(std::string(bytes, ::SizeofResource(image, found)).find(wide), std::string::npos)
        << "no \"Version  " << version << "\" in the main dialog";
    ::FreeLibrary(image);
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
    // Drawn for the screen's scale instead of stretched by the system.
    EXPECT_NE(manifest.find("<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>"),
              std::string::npos);
    EXPECT_NE(manifest.find(">PerMonitorV2</dpiAwareness>"), std::string::npos);
    ::FreeLibrary(image);
}

// The names the program imports from each DLL, read from the file.
std::vector<std::string> ImportedNames(const std::vector<char>& bytes)
{
    std::vector<std::string> names;
    auto at = [&](std::size_t offset, std::size_t size) { return offset + size <= bytes.size(); };
    std::uint32_t peAt = 0;
    std::memcpy(&peAt, bytes.data() + 0x3C, sizeof peAt);
    if (!at(peAt, sizeof(IMAGE_NT_HEADERS)))
        return names;
    IMAGE_NT_HEADERS nt{};
    std::memcpy(&nt, bytes.data() + peAt, sizeof nt);
    const auto* sections = reinterpret_cast<const IMAGE_SECTION_HEADER*>(
        bytes.data() + peAt + offsetof(IMAGE_NT_HEADERS, OptionalHeader) + nt.FileHeader.SizeOfOptionalHeader);
    auto fileOffset = [&](std::uint32_t rva) -> std::size_t {
        for (WORD i = 0; i < nt.FileHeader.NumberOfSections; ++i) {
            const IMAGE_SECTION_HEADER& s = sections[i];
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + std::max(s.Misc.VirtualSize, s.SizeOfRawData))
                return rva - s.VirtualAddress + s.PointerToRawData;
        }
        return bytes.size();
    };
    auto text = [&](std::uint32_t rva) {
        std::size_t offset = fileOffset(rva);
        std::string out;
        while (offset < bytes.size() && bytes[offset])
            out += bytes[offset++];
        return out;
    };
    const IMAGE_DATA_DIRECTORY& imports = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (std::size_t d = fileOffset(imports.VirtualAddress); at(d, sizeof(IMAGE_IMPORT_DESCRIPTOR));
         d += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        IMAGE_IMPORT_DESCRIPTOR dll{};
        std::memcpy(&dll, bytes.data() + d, sizeof dll);
        if (!dll.Name)
            break;
        const std::string dllName = text(dll.Name);
        const std::uint32_t thunks = dll.OriginalFirstThunk ? dll.OriginalFirstThunk : dll.FirstThunk;
        for (std::size_t t = fileOffset(thunks); at(t, sizeof(IMAGE_THUNK_DATA)); t += sizeof(IMAGE_THUNK_DATA)) {
            IMAGE_THUNK_DATA thunk{};
            std::memcpy(&thunk, bytes.data() + t, sizeof thunk);
            if (!thunk.u1.AddressOfData)
                break;
            if (IMAGE_SNAP_BY_ORDINAL(thunk.u1.Ordinal))
                continue;
            names.push_back(dllName + "!" + text(static_cast<std::uint32_t>(thunk.u1.AddressOfData) + 2));
        }
    }
    return names;
}

// The 32-bit release must start on 9x and NT 4: the scale, monitor,
// flashing and accessibility functions of newer systems are looked up at run
// time, never imported, since one missing import stops the program before its
// first line.
TEST(Product, ImportsNoFunctionOfNewerSystems)
{
    std::string exe = ProductPath();
    ASSERT_FALSE(exe.empty());
    std::ifstream file(exe, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::vector<std::string> names = ImportedNames(bytes);
    ASSERT_FALSE(names.empty()) << "the import table could not be read";
    EXPECT_NE(std::find(names.begin(), names.end(), "USER32.dll!GetDC"), names.end())
        << "the reading of the table is checked by a name that must be there";
    for (const std::string& name : names) {
        EXPECT_EQ(name.find("Dpi"), std::string::npos) << name;
        EXPECT_EQ(name.find("DPI"), std::string::npos) << name;
        EXPECT_EQ(name.find("SHCORE"), std::string::npos) << name;
        for (const char* newer : {"Monitor", "FlashWindowEx", "NotifyWinEvent", "OLEACC", "oleacc"})
            EXPECT_EQ(name.find(newer), std::string::npos) << name;
    }
}

} // namespace
