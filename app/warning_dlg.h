// The confirmation asked before an upgrade whose model-list entry wants it:
// it names the drive and its current firmware, advises and warns, and lets
// the user go on (OK, Enter) or stop (Cancel, Escape, the close box).
#pragma once

#include <string>

#include "controls/rich_label.h"
#include "framework/dialog.h"

// Model and revision of the drive about to be upgraded; the Upgrade command
// fills them just before it shows the warning.
extern std::string g_strModel, g_strRevision;

class CWarningDlg : public CDialog {
public:
    explicit CWarningDlg(CWnd* parent = nullptr);

    CRichLabel m_lblQuestion;  // 1026
    CRichLabel m_lblAdvice;    // 1023
    CRichLabel m_lblRevision;  // 1022
    CRichLabel m_lblGreeting;  // 1018
    CRichLabel m_lblCaution;   // 1025
    CRichLabel m_lblFirmware;  // 1021
    CRichLabel m_lblCurrent;   // 1019
    CRichLabel m_lblModel;     // 1020
    std::string m_strModel;
    std::string m_strRevision;

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange() override;
};
