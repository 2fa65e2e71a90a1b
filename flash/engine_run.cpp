// The end of every run: its closing line, and nothing left held.
#include "flash/flash_engine.h"

RunOutcome CFlashEngine::Run()
{
    const bool done = Upgrade();
    Show(done ? "Please Restart Your Computer." : "Flashing is incorrect!!");
    m_callbacks.CBShowStatus(m_callbacks.pContext, "");
    ReleaseImage(true);
    return m_outcome;
}
