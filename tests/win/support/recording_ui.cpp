#include "tests/win/support/recording_ui.h"

RecordingUi::RecordingUi() : previous_(SetUiSeam(this)) {}

RecordingUi::~RecordingUi() { SetUiSeam(previous_); }

void RecordingUi::SetVersion(DWORD platformId, DWORD major, DWORD minor)
{
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    info.dwPlatformId = platformId;
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    version = info;
}

int RecordingUi::MessageBox(HWND owner, const char* text, const char* caption, UINT style)
{
    boxes.push_back({owner, text ? text : "", caption ? caption : "", style});
    if (answers.empty())
        return answer;
    const int next = answers.front();
    answers.pop_front();
    return next;
}

BOOL RecordingUi::GetVersionEx(OSVERSIONINFOA* info)
{
    if (!version)
        return UiSeam::GetVersionEx(info);
    *info = *version;
    return TRUE;
}

void RecordingUi::Annotate(HWND control, accessibility::Property property, const std::string& text)
{
    (property == accessibility::Property::Name ? annotations[control].name : annotations[control].description) = text;
}
