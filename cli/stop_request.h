// Ctrl-C, SIGTERM and SIGHUP during a run: noted, never fatal. Whether a
// request stops the run is the run's to decide by how far it has got.
#pragma once

// Catches the three signals from now on (and restarts interrupted calls).
void CatchStopRequests();
// Whether one came.
bool StopRequested();
// Forgets those that came: a new run starts without one.
void ForgetStopRequests();
