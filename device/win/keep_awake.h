// A system that sleeps in the middle of a run leaves the drive half flashed:
// a run holds the system awake from its first to its last command. The
// request is the calling thread's, and ends with the object.
#pragma once

#include "device/win/device_io.h"

class SystemKeptAwake {
public:
    SystemKeptAwake() { Dev().SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED); }
    ~SystemKeptAwake() { Dev().SetThreadExecutionState(ES_CONTINUOUS); }
    SystemKeptAwake(const SystemKeptAwake&) = delete;
    SystemKeptAwake& operator=(const SystemKeptAwake&) = delete;
};
