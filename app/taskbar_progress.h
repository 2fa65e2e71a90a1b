// A run's progress on the program's taskbar button: the figure while it
// runs, the error state when it fails, nothing once it has gone well. Where
// the system has no taskbar list (before Windows 7, Wine without one) it is
// absent, quietly.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>

class TaskbarProgress {
public:
    virtual ~TaskbarProgress() = default;
    virtual void Show(HWND window, std::uint32_t permille) = 0;
    virtual void Fail(HWND window) = 0;
    virtual void Clear(HWND window) = 0;
};

// The system's taskbar list, made for the calling thread; tests put their
// own in its place with SetTaskbarMaker.
std::unique_ptr<TaskbarProgress> MakeTaskbarProgress();
using TaskbarMaker = std::unique_ptr<TaskbarProgress> (*)();
// Null puts the system's back; answers the one before.
TaskbarMaker SetTaskbarMaker(TaskbarMaker maker);
