// The main dialog's revision value in the dialog's own font: after the
// dialog starts, after every rewrite of the text, a move to another scale,
// a new font from the dialog manager and a change of the system's settings.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>

#include "framework/dpi.h"
#include "res/resource.h"
#include "tests/win/support/dialog_harness.h"

namespace {

UINT g_windowDpi = dpi::kBase;
UINT WindowDpi(HWND) { return g_windowDpi; }

LOGFONTA Described(HFONT font)
{
    LOGFONTA lf{};
    EXPECT_TRUE(::GetObjectA(font, sizeof lf, &lf));
    return lf;
}

::testing::AssertionResult SameFont(HFONT label, HFONT dialog)
{
    const LOGFONTA a = Described(label);
    const LOGFONTA b = Described(dialog);
    if (a.lfHeight == b.lfHeight && a.lfWidth == b.lfWidth && a.lfWeight == b.lfWeight
        && a.lfItalic == b.lfItalic && a.lfCharSet == b.lfCharSet && std::string(a.lfFaceName) == b.lfFaceName)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "label " << a.lfFaceName << " " << a.lfHeight << "/" << a.lfWeight
                                         << ", dialog " << b.lfFaceName << " " << b.lfHeight << "/" << b.lfWeight;
}

TEST(RevisionFont, IsTheDialogsFontThroughEveryChange)
{
    DialogHarness::WriteModelList("\"KAVORA  CD-ROM VIRTUAL  \" \"KV110.hex\" \"N\"\r\n");
    DialogHarness h;
    DriveIdentity id;
    id.vendor = "KAVORA  ";
    id.product = "CD-ROM VIRTUAL  ";
    id.revision = "1.00";
    h.machine.AddCdRom('d', id);
    CFlashDlg& dialog = h.Open();
    CRichLabel& label = dialog.m_lblRevision;
    auto dialogFont = [&] { return reinterpret_cast<HFONT>(::SendMessageA(h.Hwnd(), WM_GETFONT, 0, 0)); };
    ASSERT_NE(dialogFont(), nullptr);
    // The fault this guards against: the standard GUI font, smaller than
    // the dialog's.
    LOGFONTA stock{};
    ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof stock, &stock);

    // The font the label must show: the dialog's, or the one the dialog
    // manager hands its controls when it makes a new one.
    HFONT expected = dialogFont();
    HFONT replaced = nullptr;
    const dpi::WindowDpiSource previous = dpi::SetWindowDpiSource(&WindowDpi);
    const struct {
        const char* when;
        std::function<void()> act;
    } steps[] = {
        {"after the dialog starts", [] {}},
        {"rewritten with the plain window-text call",
         [&] { ::SetDlgItemTextA(h.Hwnd(), IDC_REVISION, "1.07"); }},
        {"rewritten again, shorter", [&] { ::SetDlgItemTextA(h.Hwnd(), IDC_REVISION, "    "); }},
        {"moved to a monitor at 200 %",
         [&] {
             g_windowDpi = 192;
             ::SendMessageA(label, WM_DPICHANGED_AFTERPARENT, 0, 0);
         }},
        {"given a new font by the dialog manager",
         [&] {
             LOGFONTA bigger = Described(dialogFont());
             bigger.lfHeight = bigger.lfHeight * 2;
             replaced = ::CreateFontIndirectA(&bigger);
             ::SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(replaced), FALSE);
             expected = replaced;
         }},
        {"rewritten after that", [&] { ::SetDlgItemTextA(h.Hwnd(), IDC_REVISION, "1.10"); }},
        {"system settings changed", [&] {
             ::SendMessageA(label, WM_SETTINGCHANGE, 0, 0);
             expected = dialogFont(); // asked again
         }},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.when);
        s.act();
        EXPECT_TRUE(SameFont(label.GetFont(), expected));
        EXPECT_NE(Described(label.GetFont()).lfHeight, stock.lfHeight);
    }
    EXPECT_EQ(h.Text(IDC_REVISION), "1.10");
    dpi::SetWindowDpiSource(previous);
    g_windowDpi = dpi::kBase;
    dialog.DestroyWindow();
    if (replaced)
        ::DeleteObject(replaced);
}

} // namespace
