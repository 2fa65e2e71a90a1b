#include "app/upgrade_thread.h"

#include "app/flash_dlg.h"
#include "app/status_log.h"
#include "app/taskbar_progress.h"
#include "device/win/device_io.h"
#include "device/win/drive_transport.h"
#include "flash/flash_engine.h"
#include "flash/run_words.h"
#include "res/resource.h"

namespace {

// A system that sleeps in the middle of a run leaves the drive half flashed:
// the run holds the system awake from its first to its last command.
class SystemKeptAwake {
public:
    SystemKeptAwake() { Dev().SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED); }
    ~SystemKeptAwake() { Dev().SetThreadExecutionState(ES_CONTINUOUS); }
    SystemKeptAwake(const SystemKeptAwake&) = delete;
    SystemKeptAwake& operator=(const SystemKeptAwake&) = delete;
};

// The taskbar of this worker's run: the engine's steps move it.
struct RunTaskbar {
    TaskbarProgress* bar = nullptr;
    HWND window = nullptr;
    RunProgress progress;
};
thread_local RunTaskbar t_taskbar;

void OnRunEvent(void* dialog, const RunEvent& event)
{
    if (event.step == RunStep::NoSumFile) {
        CBShowMessage(dialog, ("Warning: " + NoSumFileWords(event.sumFile.path, event.sumFile.error) + ".").c_str());
        return;
    }
    RunTaskbar& taskbar = t_taskbar;
    taskbar.progress.Take(event);
    if (taskbar.bar)
        taskbar.bar->Show(taskbar.window, taskbar.progress.Permille());
}

} // namespace

DWORD WINAPI UpgradeThreadProc(LPVOID param)
{
    auto* dialog = static_cast<CFlashDlg*>(param);
    // One upgrade per start of the program.
    ::EnableWindow(g_pFlashDlg->GetDlgItem(IDC_UPGRADE), FALSE);
    {
        SystemKeptAwake awake;
        FlashParam param = dialog->m_FlashParam;
        const std::unique_ptr<TaskbarProgress> bar = MakeTaskbarProgress();
        t_taskbar = RunTaskbar{bar.get(), dialog->m_hWnd, RunProgress{}};
        param.callbacks.OnRunEvent = OnRunEvent;
        std::unique_ptr<scsi::Transport> transport = DriveTransport(param.drive, param.bIsNT != 0);
        CFlashEngine engine(param, *transport);
        const RunOutcome outcome = engine.Run();
        // After the closing line, what became of the drive: a user who reads
        // only "Flashing is incorrect!!" may power off a drive that is still
        // programming, and "Please Restart Your Computer." does not say
        // whether the drive took the new firmware.
        CBShowMessage(dialog, StateWords(outcome).c_str());
        // Anything but an upgrade wants the user's eye.
        if (StateOf(outcome) == DriveState::Upgraded)
            bar->Clear(dialog->m_hWnd);
        else
            bar->Fail(dialog->m_hWnd);
        t_taskbar = RunTaskbar{};
    }
    g_bTerminate.Clear();
    // The dialog that started this run: another may have pressed Upgrade since.
    dialog->RunFinished();
    return 0;
}

bool StartUpgradeThread(CFlashDlg* dialog)
{
    DWORD id = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, &UpgradeThreadProc, dialog, 0, &id);
    if (!thread)
        return false;
    // The thread is not waited for; it ends on its own.
    ::CloseHandle(thread);
    return true;
}
