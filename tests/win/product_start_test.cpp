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
#include <map>
#include <set>
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

// The programs whose file properties are read, each handed over in its own
// variable, by the name the release gives its 32-bit build; the 64-bit twin
// adds "64" to it.
struct Program {
    const char* variable;
    const char* name;
    bool hasMainDialog;
};
const Program kPrograms[] = {
    {"KAVORA_EXE", "kavora", true},
    {"KAVORA_CLI_EXE", "kavora-cli", false},
};

// From the file's own header: the release check hands the 32-bit programs to
// the 64-bit test program too.
bool Is64BitFile(const std::string& exe)
{
    std::ifstream file(exe, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::uint32_t peAt = 0;
    if (bytes.size() < 0x40)
        return false;
    std::memcpy(&peAt, bytes.data() + 0x3C, sizeof peAt);
    std::uint16_t machine = 0;
    if (peAt + 6u > bytes.size())
        return false;
    std::memcpy(&machine, bytes.data() + peAt + 4, sizeof machine);
    return machine == IMAGE_FILE_MACHINE_AMD64;
}

TEST(Product, CarriesItsVersion)
{
    // What the Linux program of the same source says of itself: this build's
    // (the header both are made with), or a release's, given by its check.
    const char* cli = std::getenv("KAVORA_CLI_VERSION");
    const std::string expected = cli ? std::string(cli)
                                     : std::string("kavora-cli ") + KAVORA_VERSION + " (revision " + KAVORA_REVISION + ")";
    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.name);
        const std::string exe = ProductPath(program.variable);
        ASSERT_FALSE(exe.empty()) << program.variable << " names the program under test";
        DWORD handle = 0;
        DWORD size = ::GetFileVersionInfoSizeA(exe.c_str(), &handle);
        ASSERT_GT(size, 0u);
        std::vector<char> data(size);
        ASSERT_TRUE(::GetFileVersionInfoA(exe.c_str(), 0, size, data.data()));
        auto text = [&](const char* name) {
            char* value = nullptr;
            UINT chars = 0;
            const std::string path = std::string("\\StringFileInfo\\040904b0\\") + name;
            if (!::VerQueryValueA(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &chars) || !value)
                return std::string("(none)");
            return std::string(value);
        };
        EXPECT_EQ(text("ProductName"), "KAVORA");
        const std::string name = std::string(program.name) + (Is64BitFile(exe) ? "64" : "");
        EXPECT_EQ(text("OriginalFilename"), name + ".exe");
        EXPECT_EQ(text("InternalName"), name);
        EXPECT_EQ(text("LegalCopyright").rfind("Copyright (C) ", 0), 0u) << text("LegalCopyright");
        const std::string version = text("FileVersion");
        const std::string revision = text("SourceRevision");
        EXPECT_EQ(revision.size(), 12u) << revision;
        // Explorer shows the product version, never our own SourceRevision.
        EXPECT_EQ(text("ProductVersion"), version + " (revision " + revision + ")");
        EXPECT_EQ("kavora-cli " + version + " (revision " + revision + ")", expected);

        // The numbers Explorer and installers compare: 2.70 is 2,70,0,0.
        VS_FIXEDFILEINFO* info = nullptr;
        UINT length = 0;
        ASSERT_TRUE(::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length));
        ASSERT_GE(length, sizeof *info);
        char* end = nullptr;
        const unsigned long major = std::strtoul(version.c_str(), &end, 10);
        ASSERT_EQ(*end, '.') << version;
        const unsigned long minor = std::strtoul(end + 1, &end, 10);
        ASSERT_EQ(*end, '\0') << version;
        EXPECT_EQ(info->dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(info->dwFileVersionMS, static_cast<DWORD>(MAKELONG(minor, major)));
        EXPECT_EQ(info->dwFileVersionLS, 0u);
        EXPECT_EQ(info->dwProductVersionMS, static_cast<DWORD>(MAKELONG(minor, major)));
        EXPECT_EQ(info->dwProductVersionLS, 0u);

        if (!program.hasMainDialog)
            continue;
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
}

// One image of an icon group, as its directory lists it.
#pragma pack(push, 2)
struct IconGroupEntry {
    BYTE width; // 0 for 256
    BYTE height;
    BYTE colours;
    BYTE reserved;
    WORD planes;
    WORD bitsPerPixel;
    DWORD bytes;
    WORD id;
};
#pragma pack(pop)

// The icon at every size Windows asks for, from 100 to 200 % and in
// Explorer's views, each image what its directory entry says it is, and
// 256-colour images at 16 and 32 px for Windows 9x and NT 4.
TEST(Product, CarriesItsIconAtEverySize)
{
    for (const Program& program : kPrograms) {
        SCOPED_TRACE(program.name);
        const std::string exe = ProductPath(program.variable);
        ASSERT_FALSE(exe.empty()) << program.variable << " names the program under test";
        HMODULE image = ::LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(image, nullptr);
        HRSRC group = ::FindResourceA(image, MAKEINTRESOURCEA(IDR_MAINFRAME), MAKEINTRESOURCEA(14)); // RT_GROUP_ICON
        ASSERT_NE(group, nullptr);
        const auto* directory = static_cast<const BYTE*>(::LockResource(::LoadResource(image, group)));
        const DWORD directoryBytes = ::SizeofResource(image, group);
        ASSERT_GE(directoryBytes, 6u);
        WORD count = 0;
        std::memcpy(&count, directory + 4, sizeof count);
        ASSERT_EQ(directoryBytes, 6u + count * sizeof(IconGroupEntry));

        std::set<int> sizes, paletteSizes;
        std::map<int, int> sizeOfImage; // by its id
        for (WORD i = 0; i < count; ++i) {
            IconGroupEntry entry{};
            std::memcpy(&entry, directory + 6 + i * sizeof entry, sizeof entry);
            const int width = entry.width ? entry.width : 256;
            const int height = entry.height ? entry.height : 256;
            SCOPED_TRACE(std::to_string(width) + " px, " + std::to_string(entry.bitsPerPixel) + " bits");
            EXPECT_EQ(width, height);
            sizes.insert(width);
            sizeOfImage[entry.id] = width;
            if (entry.bitsPerPixel <= 8)
                paletteSizes.insert(width);

            HRSRC found = ::FindResourceA(image, MAKEINTRESOURCEA(entry.id), MAKEINTRESOURCEA(3)); // RT_ICON
            ASSERT_NE(found, nullptr);
            ASSERT_EQ(::SizeofResource(image, found), entry.bytes);
            const auto* bytes = static_cast<const BYTE*>(::LockResource(::LoadResource(image, found)));
            ASSERT_GE(entry.bytes, 40u);
            if (std::memcmp(bytes, "\x89PNG\r\n\x1a\n", 8) == 0) {
                // Read by Vista and later only: the largest image.
                EXPECT_EQ(width, 256);
                const std::uint32_t pngWidth = std::uint32_t{bytes[16]} << 24 | std::uint32_t{bytes[17]} << 16 |
                                               std::uint32_t{bytes[18]} << 8 | bytes[19];
                EXPECT_EQ(pngWidth, 256u);
            } else {
                BITMAPINFOHEADER header{};
                std::memcpy(&header, bytes, sizeof header);
                EXPECT_EQ(header.biSize, sizeof header);
                EXPECT_EQ(header.biWidth, width);
                EXPECT_EQ(header.biHeight, 2 * height) << "the colour image and its mask";
                EXPECT_EQ(header.biBitCount, entry.bitsPerPixel);
            }
        }
        EXPECT_EQ(sizes, (std::set<int>{16, 20, 24, 32, 40, 48, 64, 256}));
        EXPECT_EQ(paletteSizes, (std::set<int>{16, 32}));

        // Windows picks the image of the size asked for, and it draws: the
        // corner stays clear, the disc's rim is covered.
        for (int size : {48, 256}) {
            SCOPED_TRACE(std::to_string(size) + " px drawn");
            const int id = ::LookupIconIdFromDirectoryEx(const_cast<BYTE*>(directory), TRUE, size, size, LR_DEFAULTCOLOR);
            EXPECT_EQ(sizeOfImage[id], size) << "Windows picked image " << id;

            auto icon = static_cast<HICON>(::LoadImageA(image, MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON, size, size, 0));
            ASSERT_NE(icon, nullptr);
            ICONINFO parts{};
            ASSERT_TRUE(::GetIconInfo(icon, &parts));
            BITMAP colour{};
            ASSERT_NE(parts.hbmColor, nullptr);
            ASSERT_TRUE(::GetObjectA(parts.hbmColor, sizeof colour, &colour));
            EXPECT_EQ(colour.bmWidth, size);
            EXPECT_EQ(colour.bmHeight, size);
            ::DeleteObject(parts.hbmColor);
            ::DeleteObject(parts.hbmMask);

            BITMAPINFO info{};
            info.bmiHeader = {sizeof(BITMAPINFOHEADER), size, -size, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
            void* bits = nullptr;
            HDC dc = ::CreateCompatibleDC(nullptr);
            HBITMAP target = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
            ASSERT_NE(target, nullptr);
            HGDIOBJ old = ::SelectObject(dc, target);
            const DWORD key = 0x00FF00FF;
            std::fill_n(static_cast<DWORD*>(bits), size * size, key);
            EXPECT_TRUE(::DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL));
            ::GdiFlush();
            auto pixel = [&](int x, int y) { return static_cast<DWORD*>(bits)[y * size + x] & 0xFFFFFF; };
            EXPECT_EQ(pixel(1, 1), key);
            EXPECT_NE(pixel(size / 6, size / 2), key);
            ::SelectObject(dc, old);
            ::DeleteObject(target);
            ::DeleteDC(dc);
            ::DestroyIcon(icon);
        }
        ::FreeLibrary(image);
    }
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
