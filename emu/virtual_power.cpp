// The machine's power management: each thread's standing request, as
// SetThreadExecutionState keeps it.
#include "emu/virtual_machine.h"

EXECUTION_STATE VirtualMachine::SetThreadExecutionState(EXECUTION_STATE flags)
{
    std::lock_guard<std::mutex> lock(powerLock_);
    powerCalls_.push_back(flags);
    EXECUTION_STATE& standing = standing_[::GetCurrentThreadId()];
    const EXECUTION_STATE previous = standing | ES_CONTINUOUS;
    // Without ES_CONTINUOUS the request is a one-off nudge; with it, it
    // replaces the thread's standing request (ES_CONTINUOUS alone clears it).
    if (flags & ES_CONTINUOUS)
        standing = flags & ~ES_CONTINUOUS;
    return previous;
}

bool VirtualMachine::KeptAwake() const
{
    std::lock_guard<std::mutex> lock(powerLock_);
    for (const auto& [thread, standing] : standing_)
        if (standing & ES_SYSTEM_REQUIRED)
            return true;
    return false;
}

std::vector<EXECUTION_STATE> VirtualMachine::ExecutionStateCalls() const
{
    std::lock_guard<std::mutex> lock(powerLock_);
    return powerCalls_;
}
