// The context of one upgrade run: a copy of what the dialog asked for, the
// firmware image, and the values the transfer keeps along the way.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "device/drive_entry.h"
#include "device/scsi_defs.h"
#include "device/scsi_transport.h"
#include "flash/flash_errors.h"
#include "flash/flash_param.h"
#include "flash/load_problem.h"
#include "flash/run_outcome.h"
#include "flash/stop_request.h"

constexpr int kBankCount = 32;
constexpr std::uint32_t kBankSize = 0x8000;
constexpr std::uint32_t kImageSize = kBankCount * kBankSize; // 1 MiB

// LoadImage results.
constexpr int kLoadComplete = 1;
// A raw file of 1 MiB, or longer with only fill behind its first 1 MiB: that 1 MiB.
constexpr int kLoadTruncated = 0;
// A HEX file that breaks the format, or a raw file longer than 1 MiB with
// more than fill behind it.
constexpr int kLoadFormatError = -1;
constexpr int kLoadReadError = -2;
constexpr int kLoadNoMemory = -3;

class CFlashEngine {
public:
    // Every command of the run goes to the drive through `transport`.
    CFlashEngine(const FlashParam& param, scsi::Transport& transport);
    virtual ~CFlashEngine();
    CFlashEngine(const CFlashEngine&) = delete;
    CFlashEngine& operator=(const CFlashEngine&) = delete;

    // Reads the image file into the image buffer; see the kLoad* results.
    int LoadImage();
    // The same from a file already open (a file in memory, for the fuzzers);
    // the engine takes it over and closes it, whatever the result.
    int LoadImageFrom(std::FILE* file);
    // Takes over the image `other` has loaded (its buffer and what the load
    // found), so that a run sends an image that was read and checked before
    // it; `other` holds no image afterwards.
    void AdoptImage(CFlashEngine& other);
    // Sends the image `loaded` holds without taking it: several runs share
    // one image, read only, and `loaded` keeps it until they have all ended.
    void ShareImage(const CFlashEngine& loaded);
    // Whether the loaded image carries the drive's model and revision; also
    // computes m_wCheckSum over the part of the buffer the image occupies.
    bool CheckIdentity();
    // The scan alone: whether the loaded image carries m_szModel and
    // m_szRevision as the check asks.
    bool CarriesIdentity() const;
    // The two-character revision starts, printable, with which a drive of
    // the model in m_szModel passes CheckIdentity with the loaded image: the
    // same scans, asked only for the pairs the image could match. Leaves
    // m_szRevision and m_wCheckSum as they were.
    std::vector<std::string> PassingRevisionStarts();
    // How many bytes of the loaded image the transfer sends.
    std::uint32_t SentLength() const;
    // What sending the loaded image takes: its blocks and the waits after.
    RunPlan Plan() const;
    // The whole transfer: load, check, send, save, wait, read the new
    // identity. True when the closing line is to be "Please Restart Your
    // Computer."; Run answers what happened.
    bool Upgrade();
    // Logs "ERR: <message>" and drops the image file and buffer.
    void ReportError(FlashError code);
    // Upgrade followed by the closing line and the final clean-up; answers
    // what happened.
    RunOutcome Run();

    DriveEntry m_drive;
    char m_szImagePath[kPathChars];
    char m_szModel[kModelTextChars];
    char m_szRevision[kRevisionTextChars];
    std::FILE* m_pSumFile = nullptr;
    std::FILE* m_pInFile = nullptr;
    std::uint8_t* m_pBank[kBankCount];
    std::uint8_t m_byBankIndex = 0;
    std::uint16_t m_wBankOffset = 0;
    std::uint32_t m_dwImageLen = 0;
    std::uint8_t m_bHexFile;
    std::uint8_t m_byRecordSum = 0;
    std::uint16_t m_wCheckSum = 0;
    std::uint16_t _wSecSum = 0;
    // Grows by the running block sum after every block send; only "sum.txt"
    // shows it.
    std::uint16_t _total = 0;
    // A raw image file's size, as the load measured it to refuse an empty one.
    std::uint32_t m_dwFileSize = 0;
    FlashCallbacks m_callbacks;
    // Bank-advance records seen by the last HEX load.
    std::int32_t m_nBankCount = 0;
    // What was wrong with the last image that did not load.
    LoadProblem m_loadProblem;
    scsi::Transport& m_transport;
    CommandTimeouts m_timeouts;
    // The last drive command's result and the time-out it went with.
    scsi::Result m_lastResult;
    std::uint32_t m_dwLastTimeout = 0;

private:
    int LoadHex();
    int LoadRaw();
    bool ScanHexIdentity() const;
    bool ScanRawIdentity() const;
    std::uint16_t SumBanks(int banks) const;
    // Gives the image buffer back; `unlock` after a complete (locked) load.
    void ReleaseImage(bool unlock);
    void CloseImageFile();
    // The stop question before a block; the last one closes the request.
    bool StopBeforeBlock(bool last);
    void Emit(RunStep step, std::uint32_t index = 0);
    bool Refuse(RefusalReason check);
    // Ends the run at `command`'s failure, keeping its result, and says it
    // in words after the error line just logged.
    bool Fail(RunEnd end, DriveCommand command);
    // Notes the failure in the outcome; the words for it, written to
    // "sum.txt" if it is open, or empty.
    std::string NoteFailure(RunEnd end, DriveCommand command);
    void ShowMessage(const char* format, ...);
    void Show(const char* text);
    void WriteSum(const char* format, ...);
    bool SendBlocks(std::uint32_t sentLength, std::uint8_t* sense);
    // Sends the header or the save again while the drive answers with a unit
    // attention, telling each resend.
    template <typename Send>
    bool SendPastUnitAttentions(DriveCommand command, Send send);
    void EmitResend(DriveCommand command, std::uint32_t offset, std::uint32_t send, int sends);
    bool WaitUntilReady(std::uint32_t sentLength, std::uint8_t* sense);
    void ReadNewIdentity(const std::uint8_t* sense);

    StopRequest m_ownStop; // the stop of a run whose caller gave none
    StopRequest* m_pStop;
    RunOutcome m_outcome;
    RunPlan m_plan;
    bool m_bStopTaken = false; // a stop was reported during this run
    bool m_bImageAdopted = false; // the run sends an image loaded before it
    bool m_bImageShared = false;  // ... and another engine owns it
    bool m_bSumOpened = false;    // this run's transfer opened the diagnostics file
    char m_szSumPath[kPathChars];
};
