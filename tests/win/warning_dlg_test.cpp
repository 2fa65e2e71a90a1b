// The warning dialog: what each label shows and how the user answers.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "app/warning_dlg.h"
#include "framework/dpi.h"
#include "framework/ui_seam.h"
#include "res/resource.h"

namespace {

CRichLabel* LabelOf(const CDialog& dialog, int id)
{
    return dynamic_cast<CRichLabel*>(CWnd::FromHandlePermanent(dialog.GetDlgItem(id)));
}

struct Globals {
    Globals(const char* model, const char* revision)
    {
        g_strModel = model;
        g_strRevision = revision;
    }
    ~Globals()
    {
        g_strModel.clear();
        g_strRevision.clear();
    }
};

constexpr COLORREF kNotSet = 0xFFFFFFFF;

struct LabelCase {
    int id;
    const char* text; // null: the model or revision given to the dialog
    LONG height;
    LONG weight;
    COLORREF colour;
};

TEST(WarningDialog, EachLabelHasItsTextFontAndColour)
{
    const std::string model = "KAVORA  CD-RW  KV-52X   (0)";
    Globals globals(model.c_str(), "1.02");
    const LabelCase cases[] = {
        {IDC_WARN_CURRENT, "The current version of your", 16, FW_NORMAL, kNotSet},
        {IDC_WARN_FIRMWARE, "firmware is", 16, FW_NORMAL, kNotSet},
        {IDC_WARN_GREETING, "Dear customer,\n \nThank you for choosing this products!", 16, FW_NORMAL, kNotSet},
        {IDC_WARN_MODEL, model.c_str(), 12, FW_BOLD, RGB(0, 0, 255)},
        {IDC_WARN_REVISION, "1.02", 12, FW_BOLD, RGB(0, 0, 255)},
        {IDC_WARN_ADVICE,
         "1. We advises to close any programs you are using before running this upgraded program.\n"
         "2. Please do not upgrade firmware unless you have been specifically instructed to do so!\n"
         "3. Failed firmware updates may render your drive inoperable.\n"
         "4. KAVORA tools are exclusive to the single firmware which is not compatible with\n"
         "    miltiple F/W versions.",
         16, FW_NORMAL, kNotSet},
        {IDC_WARN_CAUTION,
         "Do not upgrade firmware if the drive works normally!\n"
         "Do not install other versions of the firmware with this utility program!\n"
         "Do not use other versions of the upgraded program to install this\n"
         "version of the firmware!",
         14, FW_BOLD, RGB(255, 0, 0)},
        {IDC_WARN_QUESTION, "Despite the above warning, do you still want to update your firmware ?", 16, FW_NORMAL,
         kNotSet},
    };

    CWarningDlg dialog;
    ASSERT_TRUE(dialog.Create());
    const COLORREF windowText = ::GetSysColor(COLOR_WINDOWTEXT);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        CRichLabel* label = LabelOf(dialog, c.id);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->GetText(), c.text);
        const LOGFONTA& lf = label->GetLogFont();
        EXPECT_STREQ(lf.lfFaceName, "Times New Roman");
        EXPECT_EQ(lf.lfHeight, c.height);
        EXPECT_EQ(lf.lfWeight, c.weight);
        // The font in use is the one described, at the dialog's scale.
        LOGFONTA made{};
        ASSERT_TRUE(::GetObjectA(label->GetFont(), sizeof(made), &made));
        EXPECT_EQ(made.lfHeight, dpi::Scale(c.height, dpi::OfWindow(label->m_hWnd)));
        EXPECT_EQ(made.lfWeight, c.weight);
        if (c.colour == kNotSet) {
            EXPECT_TRUE(label->IsDefaultTextColor());
            EXPECT_EQ(label->GetTextColor(), windowText);
        } else {
            EXPECT_FALSE(label->IsDefaultTextColor());
            EXPECT_EQ(label->GetTextColor(), c.colour);
        }
        EXPECT_EQ(label->GetAlignment(), CRichLabel::HORZ_LEFT | CRichLabel::VERT_TOP);
    }
    EXPECT_EQ(LabelOf(dialog, IDC_WARN_ATTENTION), nullptr);
    dialog.DestroyWindow();
}

TEST(WarningDialog, EmptyModelShowsEmptyNotThePlaceholder)
{
    Globals globals("", "V1.0");
    CWarningDlg dialog;
    ASSERT_TRUE(dialog.Create());
    char buffer[64] = "junk";
    ::GetDlgItemTextA(dialog, IDC_WARN_MODEL, buffer, sizeof(buffer));
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(::GetWindowTextLengthA(dialog.GetDlgItem(IDC_WARN_MODEL)), 0);
    ::GetDlgItemTextA(dialog, IDC_WARN_REVISION, buffer, sizeof(buffer));
    EXPECT_STREQ(buffer, "V1.0");
    dialog.DestroyWindow();
}

// Plays the user once the modal dialog is up.
class Answer : public UiSeam {
public:
    enum Kind { Enter, Escape, CloseBox, CancelButton };
    explicit Answer(Kind kind) : m_kind(kind) {}
    void DialogShown(CDialog& dialog) override
    {
        HWND focus = ::GetFocus();
        m_focusWasOk = focus == dialog.GetDlgItem(IDOK);
        switch (m_kind) {
        case Enter: ::PostMessageA(focus, WM_KEYDOWN, VK_RETURN, 0); break;
        case Escape: ::PostMessageA(focus, WM_KEYDOWN, VK_ESCAPE, 0); break;
        case CloseBox: dialog.PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0); break;
        case CancelButton:
            dialog.PostMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                               reinterpret_cast<LPARAM>(dialog.GetDlgItem(IDCANCEL)));
            break;
        }
    }
    bool m_focusWasOk = false;

private:
    Kind m_kind;
};

TEST(WarningDialog, EnterConfirmsAndEscapeCancelButtonOrCloseBoxCancel)
{
    const struct {
        Answer::Kind kind;
        INT_PTR expected;
    } cases[] = {
        {Answer::Enter, IDOK},
        {Answer::Escape, IDCANCEL},
        {Answer::CloseBox, IDCANCEL},
        {Answer::CancelButton, IDCANCEL},
    };
    Globals globals("MODEL(0)", "1.00");
    for (const auto& c : cases) {
        Answer answer(c.kind);
        UiSeam* previous = SetUiSeam(&answer);
        CWarningDlg dialog;
        INT_PTR result = dialog.DoModal();
        SetUiSeam(previous);
        EXPECT_EQ(result, c.expected) << c.kind;
        EXPECT_TRUE(answer.m_focusWasOk) << c.kind;
    }
}

} // namespace
