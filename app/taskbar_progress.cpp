#include "app/taskbar_progress.h"

#include <objbase.h>
#include <shobjidl.h>

namespace {

// ITaskbarList3 through COM, created on the worker thread that reports.
class SystemTaskbar final : public TaskbarProgress {
public:
    SystemTaskbar()
    {
        // CoInitialize, not CoInitializeEx: Windows 95 without DCOM has only the first.
        com_ = SUCCEEDED(::CoInitialize(nullptr));
        void* list = nullptr;
        if (com_ && SUCCEEDED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER,
                                                 IID_ITaskbarList3, &list))) {
            list_ = static_cast<ITaskbarList3*>(list);
            if (FAILED(list_->HrInit())) {
                list_->Release();
                list_ = nullptr;
            }
        }
    }
    ~SystemTaskbar() override
    {
        if (list_)
            list_->Release();
        if (com_)
            ::CoUninitialize();
    }
    SystemTaskbar(const SystemTaskbar&) = delete;
    SystemTaskbar& operator=(const SystemTaskbar&) = delete;

    void Show(HWND window, std::uint32_t permille) override
    {
        if (!list_)
            return;
        list_->SetProgressState(window, TBPF_NORMAL);
        list_->SetProgressValue(window, permille, 1000);
    }
    void Fail(HWND window) override
    {
        if (list_)
            list_->SetProgressState(window, TBPF_ERROR);
    }
    void Clear(HWND window) override
    {
        if (list_)
            list_->SetProgressState(window, TBPF_NOPROGRESS);
    }

private:
    bool com_ = false;
    ITaskbarList3* list_ = nullptr;
};

std::unique_ptr<TaskbarProgress> MakeSystemTaskbar() { return std::make_unique<SystemTaskbar>(); }

TaskbarMaker g_maker = MakeSystemTaskbar;

} // namespace

std::unique_ptr<TaskbarProgress> MakeTaskbarProgress() { return g_maker(); }

TaskbarMaker SetTaskbarMaker(TaskbarMaker maker)
{
    TaskbarMaker previous = g_maker == MakeSystemTaskbar ? nullptr : g_maker;
    g_maker = maker ? maker : MakeSystemTaskbar;
    return previous;
}
