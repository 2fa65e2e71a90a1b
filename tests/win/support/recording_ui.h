// A UI seam that records every message box instead of showing it and answers
// for the user. It installs itself for its lifetime; the other calls of the
// seam behave as the real system's unless a test sets them.
#pragma once

#include <windows.h>

#include <deque>
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

    // Reports a platform: VER_PLATFORM_WIN32_NT or VER_PLATFORM_WIN32_WINDOWS.
    void SetVersion(DWORD platformId, DWORD major, DWORD minor = 0);

    int MessageBox(HWND owner, const char* text, const char* caption, UINT style) override;
    BOOL GetVersionEx(OSVERSIONINFOA* info) override;

private:
    UiSeam* previous_;
};
