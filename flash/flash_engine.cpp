#include "flash/flash_engine.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "flash/image_buffer.h"

CFlashEngine::CFlashEngine(const FlashParam& param, scsi::Transport& transport)
    : m_drive(param.drive),
      m_bHexFile(param.m_bHexFile),
      m_callbacks(param.callbacks),
      m_transport(transport),
      m_timeouts(param.timeouts),
      m_pStop(param.pStop ? param.pStop : &m_ownStop)
{
    // Whole-field copies keep the zero fill behind the texts, which the
    // identity scan compares against.
    std::memcpy(m_szImagePath, param.szImagePath, sizeof m_szImagePath);
    std::memcpy(m_szModel, param.szModel, sizeof m_szModel);
    std::memcpy(m_szRevision, param.szRevision, sizeof m_szRevision);
    std::snprintf(m_szSumPath, sizeof m_szSumPath, "%s", param.szSumPath[0] ? param.szSumPath : "sum.txt");
    for (auto& bank : m_pBank)
        bank = nullptr;
}

CFlashEngine::~CFlashEngine()
{
    // A run gives everything back before it ends; this only covers a context
    // used without Run.
    CloseImageFile();
    if (m_pSumFile) {
        std::fclose(m_pSumFile);
        m_pSumFile = nullptr;
    }
    ReleaseImage(false);
}

void CFlashEngine::ReportError(FlashError code)
{
    if (code == FE_TERMINATED)
        m_bStopTaken = true;
    const char* message = FlashErrorMessage(code);
    ShowMessage("ERR: %s", message ? message : "");
    CloseImageFile();
    ReleaseImage(false);
}

void CFlashEngine::ReleaseImage(bool unlock)
{
    if (!m_pBank[0])
        return;
    // A shared image is its owner's to give back.
    if (!m_bImageShared) {
        if (unlock)
            UnlockImageRegion(m_pBank[0], kImageSize); // fails harmlessly if never locked
        ReleaseImageRegion(m_pBank[0], kImageSize);
    }
    for (auto& bank : m_pBank)
        bank = nullptr;
    m_bImageAdopted = false;
    m_bImageShared = false;
}

void CFlashEngine::CloseImageFile()
{
    if (m_pInFile) {
        std::fclose(m_pInFile);
        m_pInFile = nullptr;
    }
}

void CFlashEngine::ShowMessage(const char* format, ...)
{
    char line[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    Show(line);
}

void CFlashEngine::Show(const char* text) { m_callbacks.CBShowMessage(m_callbacks.pContext, text); }

void CFlashEngine::Emit(RunStep step, std::uint32_t index)
{
    if (m_callbacks.OnRunEvent)
        m_callbacks.OnRunEvent(m_callbacks.pContext, RunEvent{step, index, m_plan, {}, {}});
}

void CFlashEngine::WriteSum(const char* format, ...)
{
    // Without "sum.txt" the diagnostics are lost, the transfer is not.
    if (!m_pSumFile)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(m_pSumFile, format, args);
    va_end(args);
}
