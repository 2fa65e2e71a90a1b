// The steps the commands share: reading the model list, the image before any
// drive, the confirmation, and the parameters of one drive's run.
#pragma once

#include <string>
#include <vector>

#include "cli/drive_choice.h"
#include "cli/image_report.h"
#include "flash/flash_param.h"
#include "flash/model_list.h"

// What check and upgrade settle before they send more than INQUIRY: the
// list, the image (read and checked before any drive is looked for), the
// drive.
struct Prepared {
    ModelList list;
    LoadedImage image;
    Chosen drive;
};

// Reads the model list; false after saying why it cannot be used. A command
// that works without one says what it does `without` it. A confirmation
// field that is not plainly Y or N is warned about and asks (m_bWarning 1).
bool ReadList(const std::string& path, ModelList& list, Console& console, const std::string& without = "");
// The list's lines of the Windows program's log, which it shows as it
// matches the drives: once there is a drive to match.
void ShowList(const ModelList& list, Console& console);
// The warning of the Windows program for these drives, and the user's yes.
bool Confirmed(const std::vector<const Chosen*>& drives, CliContext& context);
// The list and the image; for an upgrade (`write`), the right to send it.
// An exit status, or -1 when all is settled.
int PrepareImage(const CliOptions& options, bool write, CliContext& context, Prepared& ready);
// The same, then the one drive.
int Prepare(const CliOptions& options, bool write, CliContext& context, Prepared& ready);
// One drive's run: its identity, the image, the console, the stop and the
// Linux program's time-outs.
FlashParam ParamFor(const Chosen& drive, const ImageFacts& image, Console& console, StopRequest& stop);
