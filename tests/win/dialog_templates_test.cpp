// The dialog templates as compiled into the program: caption, style, font,
// size, and every control's id, class, text, place and size in dialog units.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cctype>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "res/resource.h"

namespace {

struct Item {
    int id;
    std::string cls; // class name, or "#0x0080" style for a predefined class
    std::string text;
    int x, y, cx, cy;
    DWORD style;
    DWORD exStyle;
};

struct Template {
    DWORD style, exStyle;
    int cx, cy;
    std::string caption, face;
    int points;
    std::vector<Item> items;
};

// Reads a DLGTEMPLATEEX resource.
class Reader {
public:
    explicit Reader(const BYTE* at) : p_(at) {}
    WORD Word() { WORD v; std::memcpy(&v, p_, 2); p_ += 2; return v; }
    DWORD Dword() { DWORD v; std::memcpy(&v, p_, 4); p_ += 4; return v; }
    short Short() { return static_cast<short>(Word()); }
    std::string Text()
    {
        std::string text;
        for (WORD c; (c = Word()) != 0;)
            text += static_cast<char>(c);
        return text;
    }
    // A name or an ordinal (0xFFFF then the number).
    std::string NameOrOrdinal()
    {
        WORD first = Word();
        if (first == 0)
            return {};
        if (first == 0xFFFF)
            return "#" + std::to_string(Word());
        std::string text(1, static_cast<char>(first));
        return text + Text();
    }
    void Align() { p_ = reinterpret_cast<const BYTE*>((reinterpret_cast<uintptr_t>(p_) + 3) & ~uintptr_t(3)); }
    void Skip(size_t n) { p_ += n; }

private:
    const BYTE* p_;
};

// Predefined classes may be stored by name or by number; names in any case.
std::string ClassName(std::string stored)
{
    for (char& c : stored)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const char* names[] = {"BUTTON", "EDIT", "STATIC", "LISTBOX", "SCROLLBAR", "COMBOBOX"};
    for (int i = 0; i < 6; ++i)
        if (stored == names[i])
            return "#" + std::to_string(128 + i);
    return stored;
}

Template Load(int id)
{
    HRSRC found = ::FindResourceA(nullptr, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5));
    EXPECT_NE(found, nullptr);
    Reader r(static_cast<const BYTE*>(::LockResource(::LoadResource(nullptr, found))));
    Template t;
    EXPECT_EQ(r.Word(), 1);      // version
    EXPECT_EQ(r.Word(), 0xFFFF); // extended template
    r.Dword();                   // help id
    t.exStyle = r.Dword();
    t.style = r.Dword();
    WORD count = r.Word();
    r.Short();
    r.Short();
    t.cx = r.Short();
    t.cy = r.Short();
    r.NameOrOrdinal(); // menu
    r.NameOrOrdinal(); // class
    t.caption = r.Text();
    t.points = r.Word();
    r.Word(); // weight
    r.Word(); // italic, charset
    t.face = r.Text();
    for (WORD i = 0; i < count; ++i) {
        r.Align();
        Item item;
        r.Dword(); // help id
        item.exStyle = r.Dword();
        item.style = r.Dword();
        item.x = r.Short();
        item.y = r.Short();
        item.cx = r.Short();
        item.cy = r.Short();
        item.id = static_cast<int>(static_cast<LONG>(r.Dword()));
        item.cls = ClassName(r.NameOrOrdinal());
        item.text = r.NameOrOrdinal();
        r.Skip(r.Word()); // creation data
        t.items.push_back(item);
    }
    return t;
}

const std::string kButton = "#128", kEdit = "#129", kStatic = "#130", kCombo = "#133";

// Style bits a control must have (others may be present).
void ExpectItem(const Item& got, const Item& want)
{
    SCOPED_TRACE("control " + std::to_string(want.id) + " \"" + want.text + "\"");
    EXPECT_EQ(got.id, want.id);
    EXPECT_EQ(got.cls, want.cls);
    EXPECT_EQ(got.text, want.text);
    EXPECT_EQ((std::vector<int>{got.x, got.y, got.cx, got.cy}), (std::vector<int>{want.x, want.y, want.cx, want.cy}));
    EXPECT_EQ(got.style & want.style, want.style);
    EXPECT_EQ(got.exStyle & want.exStyle, want.exStyle);
}

void ExpectItems(const Template& t, const std::vector<Item>& want)
{
    ASSERT_EQ(t.items.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        ExpectItem(t.items[i], want[i]);
}

TEST(DialogTemplates, MainDialog)
{
    Template t = Load(IDD_KAVORA_DIALOG);
    EXPECT_EQ(t.caption, "KAVORA");
    EXPECT_EQ(t.face, "System");
    EXPECT_EQ(t.points, 12);
    EXPECT_EQ((std::vector<int>{t.cx, t.cy}), (std::vector<int>{269, 162}));
    const DWORD style = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    EXPECT_EQ(t.style & style, style);
    EXPECT_TRUE(t.exStyle & WS_EX_APPWINDOW);
    // In reading order, which screen readers follow; the tab stops (drive
    // list, log, Upgrade, Close) keep theirs.
    ExpectItems(t, {
        {IDC_STATIC, kStatic, "Target Drive At", 7, 10, 50, 8, 0, 0},
        {IDC_DRIVE, kCombo, "", 58, 7, 122, 65, CBS_DROPDOWN | CBS_SORT | WS_VSCROLL, 0},
        {IDC_STATIC, kStatic, "Device Revision:", 7, 29, 63, 8, 0, 0},
        {IDC_REVISION, kStatic, "Static", 71, 29, 57, 8, SS_CENTERIMAGE, 0},
        {IDC_STATIC, kStatic, "Status:", 7, 46, 26, 8, 0, 0},
        {IDC_STATUS, kStatic, "Static", 37, 46, 144, 8, 0, 0},
        {IDC_PROGRESS, "MSCTLS_PROGRESS32", "", 7, 64, 180, 14, WS_BORDER, 0},
        {IDC_LOG, kEdit, "", 7, 91, 180, 64, ES_MULTILINE | ES_AUTOVSCROLL | WS_VSCROLL | WS_BORDER, 0},
        {IDC_STATIC, kStatic, "MCU Flash", 209, 51, 37, 8, 0, 0},
        {IDC_STATIC, kButton, "", 194, 7, 65, 70, BS_GROUPBOX, WS_EX_TRANSPARENT},
        {IDC_STATIC, kStatic, "Version  2.70", 205, 62, 49, 8, 0, 0},
        {IDC_STATIC, kStatic, "#130", 201, 14, 49, 34, SS_BITMAP, 0},
        {IDC_UPGRADE, kButton, "Upgrade", 202, 94, 60, 20, BS_PUSHBUTTON, 0},
        {IDCANCEL, kButton, "Close", 202, 121, 60, 20, BS_PUSHBUTTON, 0},
    });
    // Upgrade is not the default button, and the log can be typed into.
    EXPECT_EQ(t.items[12].style & 0xF, static_cast<DWORD>(BS_PUSHBUTTON));
    EXPECT_FALSE(t.items[7].style & ES_READONLY);
    EXPECT_EQ(t.items[1].style & 0x3, static_cast<DWORD>(CBS_DROPDOWN));
}

TEST(DialogTemplates, AboutBox)
{
    Template t = Load(IDD_ABOUTBOX);
    EXPECT_EQ(t.caption, "KAVORA");
    EXPECT_EQ(t.face, "MS Sans Serif");
    EXPECT_EQ(t.points, 8);
    EXPECT_EQ((std::vector<int>{t.cx, t.cy}), (std::vector<int>{235, 55}));
    EXPECT_EQ(t.style & (DS_MODALFRAME | WS_SYSMENU), static_cast<DWORD>(DS_MODALFRAME | WS_SYSMENU));
    ASSERT_EQ(t.items.size(), 3u);
    ExpectItem(t.items[0], {IDC_STATIC, kStatic, "#128", 11, 17, 20, 20, SS_ICON, 0});
    EXPECT_EQ((std::vector<int>{t.items[1].x, t.items[1].y, t.items[1].cx, t.items[1].cy}),
              (std::vector<int>{40, 17, 119, 8}));
    ExpectItem(t.items[2], {IDOK, kButton, "OK", 178, 7, 50, 14, BS_DEFPUSHBUTTON, 0});
}

TEST(DialogTemplates, WarningDialog)
{
    Template t = Load(IDD_WARNING);
    EXPECT_EQ(t.caption, "Welcome To The Upgrade Program");
    EXPECT_EQ(t.face, "System");
    EXPECT_EQ(t.points, 10);
    EXPECT_EQ((std::vector<int>{t.cx, t.cy}), (std::vector<int>{314, 213}));
    const DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    EXPECT_EQ(t.style & style, style);
    ExpectItems(t, {
        {IDOK, kButton, "OK", 82, 188, 50, 14, BS_DEFPUSHBUTTON, 0},
        {IDCANCEL, kButton, "Cancel", 159, 188, 50, 14, BS_PUSHBUTTON, 0},
        {IDC_WARN_GREETING, kStatic, "Static", 21, 9, 245, 28, 0, 0},
        {IDC_WARN_CURRENT, kStatic, "The current version of your", 21, 38, 91, 9, 0, 0},
        {IDC_WARN_MODEL, kStatic, "xxxxxxxxxxxxxxxxxxxxxxxx", 112, 40, 98, 8, 0, 0},
        {IDC_WARN_FIRMWARE, kStatic, "firmware is", 217, 38, 37, 9, 0, 0},
        {IDC_WARN_REVISION, kStatic, "V.xxx", 259, 40, 22, 8, 0, 0},
        {IDC_STATIC, kButton, "Warning !!", 7, 52, 300, 115, BS_GROUPBOX, 0},
        {IDC_WARN_ADVICE, kStatic, "Static", 13, 62, 288, 46, 0, 0},
        {IDC_WARN_ATTENTION, kStatic, "ATTENTION !!", 138, 111, 45, 8, 0, 0},
        {IDC_WARN_CAUTION, kStatic, "Static", 21, 121, 262, 36, SS_SUNKEN, WS_EX_CLIENTEDGE},
        {IDC_WARN_QUESTION, kStatic, "Static", 21, 172, 275, 9, 0, 0},
    });
}

TEST(DialogTemplates, AboutStringAndImages)
{
    char about[64] = {};
    ::LoadStringA(::GetModuleHandleA(nullptr), IDS_ABOUTBOX, about, sizeof about);
    EXPECT_STREQ(about, "&About KAVORA...");

    HBITMAP logo = static_cast<HBITMAP>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_LOGO),
                                                     IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(logo, nullptr);
    DIBSECTION dib{};
    ASSERT_TRUE(::GetObjectA(logo, sizeof dib, &dib));
    EXPECT_EQ(dib.dsBm.bmWidth, 97);
    EXPECT_EQ(dib.dsBm.bmHeight, 67);
    EXPECT_EQ(dib.dsBmih.biBitCount, 8);
    ::DeleteObject(logo);
    EXPECT_NE(::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME)), nullptr);
}

} // namespace
