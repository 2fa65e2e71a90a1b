// Runs the real main dialog, modeless, over a virtual machine: the system
// family, the message boxes and the passage of time are the test's to choose,
// and the test drives the dialog with window messages.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/flash_dlg.h"
#include "emu/virtual_machine.h"
#include "flash/clock.h"
#include "framework/ui_seam.h"
#include "tests/win/support/recording_ui.h"

enum class Family { NT5, NT4, Win9x };

// Records the message boxes and dialogs, answers for the user, and tells the
// dialog which system it runs on.
class HarnessUi : public RecordingUi {
public:
    Family family = Family::NT5;
    std::vector<UINT> dialogsShown; // template ids, in order
    bool directoryFails = false;
    // Called when a dialog other than the main one is up (a modal one).
    std::function<void(CDialog&)> onDialog;

    DWORD GetCurrentDirectory(DWORD length, char* buffer) override;
    void DialogShown(CDialog& dialog) override;
};

// A machine that can hold one pass-through request of the worker at the
// drive, so that the test acts while the run stands at a known point.
class GatedMachine : public VirtualMachine {
public:
    GatedMachine();
    ~GatedMachine() override;
    // Holds the `occurrence`-th request (from 1) whose command block starts
    // with `cdbPrefix`, until Release().
    void GateAt(std::vector<std::uint8_t> cdbPrefix, int occurrence);
    bool Reached() const;
    void Release();

    BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inLength, void* out,
                         DWORD outLength, DWORD* returned) override;

private:
    std::vector<std::uint8_t> prefix_;
    int occurrence_ = 0;
    int seen_ = 0;
    HANDLE reached_;
    HANDLE release_;
};

// Waits are recorded, not slept; two dialogs' runs may ask at once.
class HarnessClock : public Clock {
public:
    std::vector<std::uint32_t> waits; // read once the runs are over
    void Sleep(std::uint32_t ms) override
    {
        std::lock_guard<std::mutex> hold(mutex_);
        waits.push_back(ms);
    }

private:
    std::mutex mutex_;
};

class DialogHarness {
public:
    DialogHarness();
    ~DialogHarness();

    GatedMachine machine;
    HarnessUi ui;
    HarnessClock clock;

    // Writes IDString.txt (null: removes it) into the working directory.
    static void WriteModelList(const char* content);
    static void WriteFile(const char* name, const std::vector<unsigned char>& bytes);
    static void RemoveFile(const char* name);
    static std::string ReadFile(const char* name);

    // Creates a main dialog: discovery and the model list run now. Opened
    // again, it makes another on the same machine, as a second copy of the
    // program would; the helpers below act on the one opened or selected last.
    CFlashDlg& Open();
    void Select(CFlashDlg& dialog) { dialog_ = &dialog; }
    CFlashDlg& Dialog() { return *dialog_; }
    HWND Hwnd() const { return dialog_->m_hWnd; }

    std::string Text(int id) const;
    bool Enabled(int id) const;
    std::vector<std::string> LogLines() const;
    // A run's log ends with its closing line and then a line on what became
    // of the drive: the closing line.
    std::string ClosingLine() const;
    std::vector<std::string> ComboItems() const;
    int Progress() const;

    // A user's choice of list item `index`, ended with CBN_SELENDOK.
    void Choose(int index);
    // Typing `text` into the combo box's field.
    void Type(const char* text);
    void Click(int id);
    // Processes messages until `done` or the time limit; false on the limit.
    bool PumpUntil(const std::function<bool()>& done, int limitMs = 20000);
    // Clicks Upgrade and waits for the run (if one starts) to end.
    bool UpgradeAndWait();

private:
    std::vector<std::unique_ptr<CFlashDlg>> dialogs_;
    CFlashDlg* dialog_ = nullptr;
};
