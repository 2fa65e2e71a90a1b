// Drives the real main dialog of the demo program by itself: chooses the
// drive, presses Upgrade, confirms the warning, waits for the closing line,
// then saves the log and pictures of the dialogs and ends the program.
#pragma once

#include <string>

#include "framework/ui_seam.h"

struct DemoOptions {
    bool autoRun = false;
    std::string logPath;        // where the finished log goes
    std::string screenshotPath; // picture of the finished main dialog (BMP)
    std::string warningShotPath; // picture of the warning dialog (BMP)
    // Tells the controls a high-contrast theme is on, whatever the system
    // says: Wine never reports one, though its palette can be one.
    bool highContrast = false;
};

class DemoDriver : public UiSeam {
public:
    explicit DemoDriver(DemoOptions options);
    int ExitCode() const { return m_exitCode; }

    int MessageBox(HWND owner, const char* text, const char* caption, UINT style) override;
    void DialogShown(CDialog& dialog) override;

private:
    static void CALLBACK OnTimer(HWND hwnd, UINT msg, UINT_PTR id, DWORD time);
    static void CALLBACK OnWarningTimer(HWND warning, UINT msg, UINT_PTR id, DWORD time);
    void Step();
    void Finish(int exitCode);

    DemoOptions m_options;
    HWND m_main = nullptr;
    int m_phase = 0;
    int m_ticks = 0;
    int m_exitCode = 3; // ended before finishing
    std::string m_boxes; // message boxes answered on the user's behalf
};

// Writes a picture of the window as a 24-bit BMP file.
bool SaveWindowBitmap(HWND hwnd, const std::string& path);
