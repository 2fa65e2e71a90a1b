#include "app/upgrade_thread.h"

#include "app/failure_words.h"
#include "app/flash_dlg.h"
#include "app/status_log.h"
#include "app/taskbar_progress.h"
#include "device/win/device_io.h"
#include "device/win/drive_transport.h"
#include "device/win/keep_awake.h"
#include "flash/flash_engine.h"
#include "flash/run_words.h"
#include "res/resource.h"

namespace {

// What one worker keeps for its run, handed to the engine as the context of
// its routines: the dialog's own routines, which it passes the dialog's lines
// on to, the taskbar the engine's steps move, and the words for the run's
// failure, which the engine reads after they are given.
struct WorkerRun {
    FlashCallbacks dialog; // as the Upgrade command filled them
    bool passThrough;      // the transport the run's commands go by
    HWND window;
    TaskbarProgress* bar;
    RunProgress progress;
    std::string failureWords;
};

WorkerRun& Of(void* run) { return *static_cast<WorkerRun*>(run); }

void OnRunEvent(void* context, const RunEvent& event)
{
    WorkerRun& run = Of(context);
    if (event.step == RunStep::NoSumFile) {
        const std::string line = "Warning: " + NoSumFileWords(event.sumFile.path, event.sumFile.error) + ".";
        run.dialog.CBShowMessage(run.dialog.pContext, line.c_str());
        return;
    }
    run.progress.Take(event);
    if (run.bar)
        run.bar->Show(run.window, run.progress.Permille());
}

const char* DescribeFailure(void* context, const RunOutcome& outcome)
{
    WorkerRun& run = Of(context);
    run.failureWords = FailureWords(outcome, run.passThrough);
    return run.failureWords.c_str();
}

// The engine's routines for `run`: the dialog's, reached through the run.
FlashCallbacks ThroughRun(WorkerRun& run)
{
    FlashCallbacks callbacks{};
    callbacks.CBShowMessage = [](void* r, const char* text) {
        Of(r).dialog.CBShowMessage(Of(r).dialog.pContext, text);
    };
    callbacks.CBShowStatus = [](void* r, const char* text) {
        Of(r).dialog.CBShowStatus(Of(r).dialog.pContext, text);
    };
    callbacks.CBSetRevision = [](void* r, const char* text) {
        Of(r).dialog.CBSetRevision(Of(r).dialog.pContext, text);
    };
    callbacks.CBSetDriveName = [](void* r, const char* text) {
        Of(r).dialog.CBSetDriveName(Of(r).dialog.pContext, text);
    };
    callbacks.CBSetProgress = [](void* r, std::int32_t position) {
        Of(r).dialog.CBSetProgress(Of(r).dialog.pContext, position);
    };
    callbacks.CBIfTerminated = [](void* r) { return Of(r).dialog.CBIfTerminated(Of(r).dialog.pContext); };
    callbacks.pContext = &run;
    callbacks.OnRunEvent = OnRunEvent;
    callbacks.DescribeFailure = DescribeFailure;
    return callbacks;
}

} // namespace

DWORD WINAPI UpgradeThreadProc(LPVOID param)
{
    // The dialog that started this run: another may have pressed Upgrade
    // since, and whatever g_pFlashDlg names then is not this run's.
    auto* dialog = static_cast<CFlashDlg*>(param);
    // One upgrade per start of the program.
    dialog->EnableControl(IDC_UPGRADE, false);
    DriveState state = DriveState::Unknown;
    std::string words;
    {
        SystemKeptAwake awake;
        FlashParam param = dialog->m_FlashParam;
        const std::unique_ptr<TaskbarProgress> bar = MakeTaskbarProgress();
        WorkerRun run{param.callbacks, param.bIsNT != 0, dialog->m_hWnd, bar.get(), RunProgress{}, {}};
        param.callbacks = ThroughRun(run);
        std::unique_ptr<scsi::Transport> transport = DriveTransport(param.drive, run.passThrough);
        CFlashEngine engine(param, *transport);
        const RunOutcome outcome = engine.Run();
        // After the closing line, what became of the drive: a user who reads
        // only "Flashing is incorrect!!" may power off a drive that is still
        // programming, and "Please Restart Your Computer." does not say
        // whether the drive took the new firmware.
        state = StateOf(outcome);
        words = StateWords(outcome);
        CBShowMessage(dialog, words.c_str());
        // Anything but an upgrade wants the user's eye.
        if (state == DriveState::Upgraded)
            bar->Clear(dialog->m_hWnd);
        else
            bar->Fail(dialog->m_hWnd);
    }
    g_bTerminate.Clear();
    dialog->RunFinished(state, words);
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
