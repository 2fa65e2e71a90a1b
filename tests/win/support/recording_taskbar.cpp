#include "tests/win/support/recording_taskbar.h"

#include <memory>
#include <mutex>

namespace {

std::mutex g_mutex;
std::vector<TaskbarCall> g_calls;

void Add(const TaskbarCall& call)
{
    std::lock_guard<std::mutex> hold(g_mutex);
    g_calls.push_back(call);
}

// The worker makes its own taskbar object; each records into the one list.
class RecordingTaskbar final : public TaskbarProgress {
public:
    void Show(HWND window, std::uint32_t permille) override { Add({'s', permille, window}); }
    void Fail(HWND window) override { Add({'f', 0, window}); }
    void Clear(HWND window) override { Add({'c', 0, window}); }
};

std::unique_ptr<TaskbarProgress> MakeRecording() { return std::make_unique<RecordingTaskbar>(); }

} // namespace

TaskbarRecording::TaskbarRecording() : previous_(SetTaskbarMaker(MakeRecording))
{
    std::lock_guard<std::mutex> hold(g_mutex);
    g_calls.clear();
}

TaskbarRecording::~TaskbarRecording() { SetTaskbarMaker(previous_); }

std::vector<TaskbarCall> TaskbarRecording::Calls() const
{
    std::lock_guard<std::mutex> hold(g_mutex);
    return g_calls;
}
