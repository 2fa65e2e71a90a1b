// The image a command works on, read and checked before any drive is looked
// for: a missing, unreadable or broken file is reported as such, in the
// upgrade's own log lines and, beside them, what is wrong and where.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cli/console.h"
#include "flash/flash_engine.h"

// What an upgrade would make of an image.
struct ImageFacts {
    std::string path;
    bool hex = false;
    std::uint64_t fileSize = 0;
    std::uint32_t imageLength = 0;
    std::uint32_t sentLength = 0;
    std::uint32_t blocks = 0;
    std::uint32_t programmingWaits = 0;
    std::uint16_t checkSum = 0;  // "Check Sum : %X" of the log (Sum, BelongsTo)
    std::uint16_t headerSum = 0; // what the download header carries (Sum)
    bool truncated = false;      // a raw file past 1 MiB: its first 1 MiB
};

class LoadedImage {
public:
    LoadedImage();
    ~LoadedImage();
    // Reads `path` as an upgrade reads it. False after reporting the failure:
    // the loader's log lines on standard output as in a run, or with the
    // notes when standard output carries data only (--json).
    bool Read(const std::string& path, Console& console, bool logOnOutput = true);
    const ImageFacts& Facts() const { return facts_; }
    // Fills the facts' two sums (a walk over the whole image).
    void Sum();
    // Lends the image to a run, or to each of several; it stays here until
    // all end: read once, sent as read.
    void LendTo(CFlashEngine& run) const { run.ShareImage(*engine_); }
    // The identity scan of an upgrade, for a drive of `model` at `revision`.
    bool BelongsTo(const std::string& model, const std::string& revision);
    // The beginnings of the revisions (two printable characters: the scan
    // compares no more) with which a drive of `model` passes that scan,
    // each one asked of it.
    std::vector<std::string> PassingRevisions(const std::string& model);

private:
    class NoDrive;
    std::unique_ptr<NoDrive> noDrive_;
    std::unique_ptr<CFlashEngine> engine_;
    ImageFacts facts_;
};

// The image's kind from its name, or a refusal in words; false then.
bool ImageKindFor(const std::string& path, bool& hex, Console& console);
