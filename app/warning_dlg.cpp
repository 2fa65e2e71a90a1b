#include "app/warning_dlg.h"

#include "flash/warning_texts.h"
#include "res/resource.h"

std::string g_strModel;
std::string g_strRevision;

namespace {
const char kFace[] = "Times New Roman";
constexpr COLORREF kBlue = 0xFF0000;
constexpr COLORREF kRed = 0x0000FF;

using warning_text::kAdvice;
using warning_text::kCaution;
using warning_text::kGreeting;
using warning_text::kQuestion;
} // namespace

CWarningDlg::CWarningDlg(CWnd* parent) : CDialog(IDD_WARNING, parent) {}

void CWarningDlg::DoDataExchange()
{
    DDX_Control(IDC_WARN_QUESTION, m_lblQuestion);
    DDX_Control(IDC_WARN_ADVICE, m_lblAdvice);
    DDX_Control(IDC_WARN_REVISION, m_lblRevision);
    DDX_Control(IDC_WARN_GREETING, m_lblGreeting);
    DDX_Control(IDC_WARN_CAUTION, m_lblCaution);
    DDX_Control(IDC_WARN_FIRMWARE, m_lblFirmware);
    DDX_Control(IDC_WARN_CURRENT, m_lblCurrent);
    DDX_Control(IDC_WARN_MODEL, m_lblModel);
}

BOOL CWarningDlg::OnInitDialog()
{
    m_strModel.clear();
    m_strRevision.clear();
    m_strModel = g_strModel;
    m_strRevision = g_strRevision;
    // Written before the labels take over, so that each starts from its text.
    ::SetDlgItemTextA(m_hWnd, IDC_WARN_MODEL, m_strModel.c_str());
    ::SetDlgItemTextA(m_hWnd, IDC_WARN_REVISION, m_strRevision.c_str());

    CDialog::OnInitDialog();

    m_lblCurrent.SetText("The current version of your").SetFontSize(16).SetFontName(kFace);
    m_lblFirmware.SetText("firmware is").SetFontSize(16).SetFontName(kFace);
    m_lblGreeting.SetText(kGreeting).SetFontName(kFace).SetFontSize(16);
    m_lblModel.SetText(m_strModel.c_str()).SetTextColor(kBlue).SetFontSize(12).SetFontBold(TRUE).SetFontName(kFace);
    m_lblRevision.SetText(m_strRevision.c_str()).SetTextColor(kBlue).SetFontSize(12).SetFontBold(TRUE).SetFontName(kFace);
    m_lblAdvice.SetText(kAdvice).SetFontSize(16).SetFontName(kFace);
    m_lblCaution.SetText(kCaution).SetFontBold(TRUE).SetTextColor(kRed).SetFontName(kFace).SetFontSize(14);
    m_lblQuestion.SetText(kQuestion).SetFontSize(16).SetFontName(kFace);
    return TRUE;
}
