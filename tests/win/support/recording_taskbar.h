// A taskbar button that records what a run shows on it, in place of the
// system's, for as long as it lives.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "app/taskbar_progress.h"

struct TaskbarCall {
    char what; // 's' show, 'f' fail, 'c' clear
    std::uint32_t permille;
    HWND window;
};

class TaskbarRecording {
public:
    TaskbarRecording();
    ~TaskbarRecording();
    TaskbarRecording(const TaskbarRecording&) = delete;
    TaskbarRecording& operator=(const TaskbarRecording&) = delete;

    // What the runs showed so far, in order.
    std::vector<TaskbarCall> Calls() const;

private:
    TaskbarMaker previous_;
};
