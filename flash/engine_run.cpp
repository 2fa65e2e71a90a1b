// The end of every run: its closing line, and nothing left held.
#include "flash/flash_engine.h"

#include <cstdio>

#include "flash/run_words.h"

RunOutcome CFlashEngine::Run()
{
    const bool done = Upgrade();
    Show(done ? "Please Restart Your Computer." : "Flashing is incorrect!!");
    m_callbacks.CBShowStatus(m_callbacks.pContext, "");
    ReleaseImage(true);
    // The diagnostics of a transfer end with what became of the drive.
    if (m_bSumOpened) {
        if (std::FILE* sum = std::fopen(m_szSumPath, "a")) {
            std::fprintf(sum, "%s\n", StateWords(m_outcome).c_str());
            std::fclose(sum);
        }
    }
    return m_outcome;
}
