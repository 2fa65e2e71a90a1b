// Every control's text fits its control at 100 %, 150 % and 200 % scale: the
// main dialog with a drive found and each status it shows, the warning
// dialog with a drive's model, and the about box. Wine reads the screen's DPI (LogPixels) when a
// process starts, so the test runs itself once per scale as a new process.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/warning_dlg.h"
#include "controls/rich_label.h"
#include "controls/text_image.h"
#include "framework/dpi.h"
#include "res/resource.h"
#include "tests/win/support/dialog_harness.h"

namespace {

const char kScaleVariable[] = "KAVORA_FIT_DPI";
const char kModel[] = "KAVORA  CD-ROM VIRTUAL  ";
const char kListLine[] = "\"KAVORA  CD-ROM VIRTUAL  \" \"KV110.hex\" \"N\"\r\n";

std::string ClassOf(HWND window)
{
    char name[64] = {};
    ::GetClassNameA(window, name, sizeof name);
    return name;
}

std::string TextOf(HWND window)
{
    const int length = ::GetWindowTextLengthA(window);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    ::GetWindowTextA(window, text.data(), length + 1);
    text.resize(static_cast<size_t>(length));
    return text;
}

// The space a text takes in `font`: cut at line feeds, or wrapped at `wrapWidth`
// as a static control wraps its words.
SIZE Extent(HFONT font, const std::string& text, UINT format, int wrapWidth)
{
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, font);
    RECT rc{0, 0, wrapWidth, 0};
    ::DrawTextA(dc, text.c_str(), -1, &rc, format | DT_CALCRECT);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    return SIZE{rc.right, rc.bottom};
}

// How a rich label lays out its text: one line per piece its text image
// cuts, each as high as the tallest, nothing wrapped.
SIZE LabelExtent(HFONT font, const std::string& text)
{
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, font);
    const std::vector<std::string> lines = CTextImage::SplitLines(text);
    LONG width = 0;
    LONG lineHeight = 0;
    for (const std::string& line : lines) {
        SIZE piece{};
        ::GetTextExtentPoint32A(dc, line.c_str(), static_cast<int>(line.size()), &piece);
        width = std::max(width, piece.cx);
        lineHeight = std::max(lineHeight, piece.cy);
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    return SIZE{width, lineHeight * static_cast<LONG>(lines.size())};
}

struct Misfit {
    int id;
    std::string text;
    SIZE needs;
    SIZE has;
};

// The space a control's text needs against the space the control gives it.
void Check(HWND control, std::vector<Misfit>& misfits)
{
    const std::string kind = ClassOf(control);
    const LONG style = ::GetWindowLongA(control, GWL_STYLE);
    RECT client{};
    ::GetClientRect(control, &client);
    SIZE has{client.right, client.bottom};
    SIZE needs{};
    const std::string text = TextOf(control);
    auto* label = dynamic_cast<CRichLabel*>(CWnd::FromHandlePermanent(control));
    HFONT font = reinterpret_cast<HFONT>(::SendMessageA(control, WM_GETFONT, 0, 0));

    if (label) {
        needs = LabelExtent(label->GetFont(), label->GetText());
    } else if (kind == "Static") {
        const LONG type = style & SS_TYPEMASK;
        if (type == SS_ICON || type == SS_BITMAP || text.empty())
            return;
        needs = Extent(font, text, DT_WORDBREAK | DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0),
                       has.cx);
    } else if (kind == "Button") {
        needs = Extent(font, text, DT_SINGLELINE, 0);
        if ((style & BS_TYPEMASK) == BS_GROUPBOX) {
            // The caption sits in the frame's top edge, between its corners.
            has.cy = needs.cy;
            has.cx -= 2 * ::GetSystemMetrics(SM_CXEDGE) + 2 * dpi::Scale(4, dpi::OfWindow(control));
        } else {
            has.cx -= 2 * ::GetSystemMetrics(SM_CXEDGE);
            has.cy -= 2 * ::GetSystemMetrics(SM_CYEDGE);
        }
    } else if (kind == "ComboBox") {
        COMBOBOXINFO info{};
        info.cbSize = sizeof info;
        ASSERT_TRUE(::GetComboBoxInfo(control, &info));
        has = SIZE{info.rcItem.right - info.rcItem.left, info.rcItem.bottom - info.rcItem.top};
        needs = Extent(font, text, DT_SINGLELINE | DT_NOPREFIX, 0);
    } else {
        return; // the log scrolls and wraps; the progress bar has no text
    }
    if (needs.cx > has.cx || needs.cy > has.cy)
        misfits.push_back(Misfit{::GetDlgCtrlID(control), text, needs, has});
}

std::string Describe(const std::vector<Misfit>& misfits)
{
    std::string out;
    for (const Misfit& m : misfits) {
        out += "control " + std::to_string(m.id) + " \"" + m.text + "\" needs " + std::to_string(m.needs.cx) + "x"
               + std::to_string(m.needs.cy) + " but has " + std::to_string(m.has.cx) + "x"
               + std::to_string(m.has.cy) + "\n";
    }
    return out;
}

std::vector<Misfit> CheckAll(HWND dialog)
{
    std::vector<Misfit> misfits;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        Check(child, misfits);
    return misfits;
}

UINT ScaleAsked()
{
    const char* value = std::getenv(kScaleVariable);
    return value ? static_cast<UINT>(std::atoi(value)) : 0;
}

// Runs in the process started for one scale.
TEST(TextFit, EveryControlAtThisScale)
{
    const UINT asked = ScaleAsked();
    if (!asked)
        GTEST_SKIP() << "run by TextFit.AtEachScale in a process of its own";
    ASSERT_EQ(dpi::System(), asked) << "the screen's DPI did not follow LogPixels";

    DialogHarness h;
    DialogHarness::WriteModelList(kListLine);
    DriveIdentity id;
    id.vendor = "KAVORA  ";
    id.product = "CD-ROM VIRTUAL  ";
    id.revision = "1.00";
    h.machine.AddCdRom('d', id);
    h.Open();
    ASSERT_EQ(dpi::OfWindow(h.Hwnd()), asked);
    for (const char* status : {"Updating.....", "Drive programming; too late to stop"}) {
        ::SetDlgItemTextA(h.Hwnd(), IDC_STATUS, status);
        const std::vector<Misfit> misfits = CheckAll(h.Hwnd());
        EXPECT_TRUE(misfits.empty()) << "main dialog at " << asked << " DPI:\n" << Describe(misfits);
    }

    g_strModel = std::string(kModel) + "(0)";
    g_strRevision = "1.00";
    CWarningDlg warning;
    ASSERT_TRUE(warning.Create());
    // The labels' own fonts are made for the scale, as the template's are.
    auto* question = dynamic_cast<CRichLabel*>(CWnd::FromHandlePermanent(warning.GetDlgItem(IDC_WARN_QUESTION)));
    ASSERT_NE(question, nullptr);
    LOGFONTA made{};
    ASSERT_TRUE(::GetObjectA(question->GetFont(), sizeof made, &made));
    EXPECT_EQ(made.lfHeight, dpi::Scale(16, asked));
    const std::vector<Misfit> misfits = CheckAll(warning.m_hWnd);
    EXPECT_TRUE(misfits.empty()) << "warning dialog at " << asked << " DPI:\n" << Describe(misfits);
    warning.DestroyWindow();
    g_strModel.clear();
    g_strRevision.clear();

    CAboutDlg about;
    ASSERT_TRUE(about.Create());
    const std::vector<Misfit> aboutMisfits = CheckAll(about.m_hWnd);
    EXPECT_TRUE(aboutMisfits.empty()) << "about box at " << asked << " DPI:\n" << Describe(aboutMisfits);
    about.DestroyWindow();
}

// Sets Wine's screen DPI for the processes started while it lives.
class LogPixels {
public:
    explicit LogPixels(DWORD value)
    {
        ::RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &key_, nullptr);
        DWORD size = sizeof old_;
        had_ = ::RegQueryValueExA(key_, "LogPixels", nullptr, nullptr, reinterpret_cast<BYTE*>(&old_), &size)
               == ERROR_SUCCESS;
        Set(value);
    }
    ~LogPixels()
    {
        if (had_)
            Set(old_);
        else
            ::RegDeleteValueA(key_, "LogPixels");
        ::RegCloseKey(key_);
    }

private:
    void Set(DWORD value)
    {
        ::RegSetValueExA(key_, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    HKEY key_ = nullptr;
    DWORD old_ = 0;
    bool had_ = false;
};

DWORD RunThisProgramAt(UINT scale)
{
    LogPixels pixels(scale);
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self + "\" --gtest_filter=TextFit.EveryControlAtThisScale";
    ::SetEnvironmentVariableA(kScaleVariable, std::to_string(scale).c_str());
    STARTUPINFOA start{};
    start.cb = sizeof start;
    PROCESS_INFORMATION process{};
    const BOOL started =
        ::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &process);
    ::SetEnvironmentVariableA(kScaleVariable, nullptr);
    if (!started)
        return ::GetLastError() | 0x80000000u;
    ::WaitForSingleObject(process.hProcess, 120000);
    DWORD code = 1;
    ::GetExitCodeProcess(process.hProcess, &code);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return code;
}

TEST(TextFit, AtEachScale)
{
    if (ScaleAsked())
        GTEST_SKIP() << "this is the process of one scale";
    for (UINT scale : {96u, 144u, 192u})
        EXPECT_EQ(RunThisProgramAt(scale), 0u) << "at " << scale << " DPI (its output is above)";
}

} // namespace
