// The end of every run: its closing line, and nothing left held.
#include "flash/flash_engine.h"
#include "flash/run_stage.h"

void CFlashEngine::Run()
{
    bool done = Upgrade();
    m_callbacks.CBShowMessage(done ? "Please Restart Your Computer." : "Flashing is incorrect!!");
    m_callbacks.CBShowStatus("");
    ReleaseImage(true);
    g_runStage = RunStage::Idle;
}
