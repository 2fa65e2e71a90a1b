// How many events of the Windows stand-in are open: a run must close every
// event it made.
#pragma once

int LiveEventCount();
