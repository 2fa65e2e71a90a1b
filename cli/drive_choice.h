// Which drive a command works on, and what INQUIRY says of it.
#pragma once

class LoadedImage;

#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/verbose_transport.h"
#include "flash/flash_param.h"
#include "flash/model_list.h"

// Each command waits as long as it can take on a working drive, and a good
// deal more, but no longer: a drive that hangs must not hold the terminal
// for the 18 hours of the Windows program's time-out. The save is given
// longer than any drive takes to program its flash.
constexpr CommandTimeouts kTimeouts{20, 20, 60, 300};

// What INQUIRY says of a drive.
struct Identity {
    bool answered = false;
    std::uint8_t deviceType = 0xFF;
    std::string model;    // the 24 bytes of vendor and product, as given
    std::string revision; // the 4 bytes of the revision, cut at a zero byte
    std::string failure;  // why there is no answer
};

Identity Inquire(scsi::Transport& transport);

// Shown in quotes with every blank; other unprintable bytes as \xNN.
std::string Quoted(const std::string& text);
// The model text as the engine and the model list compare it: up to the
// first zero byte, as the Windows program's drive table keeps it.
std::string ModelText(const Identity& id);

// An open drive, seen through -v when it is asked for.
struct Chosen {
    DriveName name;
    std::unique_ptr<OpenDrive> open;
    std::unique_ptr<VerboseTransport> verbose;
    Identity id;
    scsi::Transport& Transport() { return verbose ? *verbose : open->Transport(); }
};

// Opens `name`, with -v's trace when the options ask for it.
bool OpenChosen(const DriveName& name, bool write, const CliOptions& options, CliContext& context,
                Chosen& chosen, std::string& error);
// Opens a drive that INQUIRY has been sent to again, for the upgrade: from
// here on this process is its one writer, or `error` says who is.
bool OpenForUpgrade(Chosen& chosen, const CliOptions& options, CliContext& context, std::string& error);

// What holds a drive back from a command: the checks every command makes of
// a drive, in one place.
enum class Fit {
    Fits,
    NotOpened,   // the system would not open it
    NoAnswer,    // to INQUIRY
    NotCdRom,    // INQUIRY's device type
    NotListed,   // its model is not the list's
    NotForImage, // the identity scan refuses the image for it
};

// Opens `name` for INQUIRY, asks it, and holds it to the list and, when one
// is given, the image. Anything but Fits comes with `why` in words.
Fit Qualify(const DriveName& name, const ModelList& list, LoadedImage* image, const CliOptions& options,
            CliContext& context, Chosen& chosen, std::string& why);

// The drive a command works on: the one --drive names, or the one drive the
// list names, asked with INQUIRY and, for an upgrade (`write`), then opened
// for it. Answers an exit status, or -1 when `chosen` is filled.
int ChooseDrive(const CliOptions& options, const ModelList& list, bool write, CliContext& context,
                Chosen& chosen);

// "sr1" for /dev/sr1, "D" for D:: how a drive's lines and files are named.
std::string ShortName(const std::string& node);
// "/dev/sr1: ", "D: ": a drive's name heading what is said of it, without
// a second colon after a drive letter's.
std::string Heading(const std::string& node);
