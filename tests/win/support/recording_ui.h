// A UI seam that records every message box instead of showing it and answers
// for the user. It installs itself for its lifetime; the other calls of the
// seam behave as the real system's unless a test sets them.
#pragma once

#include <windows.h>

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "framework/ui_seam.h"

class RecordingUi : public UiSeam {
public:
    struct Box {
        HWND owner;
        std::string text, caption;
        UINT style;
    };

    RecordingUi();
    ~RecordingUi() override;
    RecordingUi(const RecordingUi&) = delete;
    RecordingUi& operator=(const RecordingUi&) = delete;

    std::vector<Box> boxes;
    // Each box takes the next of `answers`; when they run out, `answer`.
    std::deque<int> answers;
    int answer = IDOK;
    // When set, GetVersionEx reports this platform id and version.
    std::optional<OSVERSIONINFOA> version;

    // What screen readers were told, per control: its latest name and
    // description, whether it is a live region, and the events raised.
    struct Annotations {
        std::optional<std::string> name, description;
        bool live = false;
    };
    std::map<HWND, Annotations> annotations;
    std::vector<std::pair<DWORD, HWND>> events;
    std::vector<UINT> beeps;
    std::vector<HWND> flashed;
    // The window GetForegroundWindow reports.
    HWND foreground = nullptr;

    // Reports a platform: VER_PLATFORM_WIN32_NT or VER_PLATFORM_WIN32_WINDOWS.
    void SetVersion(DWORD platformId, DWORD major, DWORD minor = 0);

    int MessageBox(HWND owner, const char* text, const char* caption, UINT style) override;
    BOOL GetVersionEx(OSVERSIONINFOA* info) override;
    void Annotate(HWND control, accessibility::Property property, const std::string& text) override;
    void MarkLivePolite(HWND control) override { annotations[control].live = true; }
    void ClearAnnotations(HWND control) override { annotations.erase(control); }
    void RaiseEvent(DWORD event, HWND control) override { events.emplace_back(event, control); }
    BOOL MessageBeep(UINT type) override
    {
        beeps.push_back(type);
        return TRUE;
    }
    HWND GetForegroundWindow() override { return foreground; }
    void FlashUntilFront(HWND window) override { flashed.push_back(window); }

private:
    UiSeam* previous_;
};
