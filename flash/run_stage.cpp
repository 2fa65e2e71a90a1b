#include "flash/run_stage.h"

std::atomic<RunStage> g_runStage{RunStage::Idle};
