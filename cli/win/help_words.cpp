#include "cli/help_words.h"

namespace help_words {

const char kDriveOption[] = "the drive: its letter, as D: (default: the one drive\n"
                            "whose model the list names); upgrade takes several";
const char kInterface[] = R"(
Upgrades the firmware of a CD/DVD-class drive through Windows' SCSI
pass-through, with the checks of the KAVORA Windows program: the model list,
the image's identity scan, the summed header, resends, the waits while the
drive programs, and its identity read back. Not for Windows 95, 98 and Me,
whose drives kavora.exe reaches through ASPI.
)";
const char kListedAs[] = "drive letter\n(and its SCSI address)";
const char kPrivilege[] = "administrator rights";
const char kTowerName[] = "D";
const char kOneWriter[] = R"(A drive has one writer: a second upgrade of it, by this program or by
kavora.exe, is refused before anything is written to the drive, naming the
program and process that hold it.
)";
const char kStopping[] = "Ctrl-C or Ctrl-Break";
// Windows ends a program whose console is closed, or whose user logs off,
// within seconds, whatever the program answers.
const char kNeeds[] = R"(Closing the console, logging off or shutting down asks the runs to stop too,
but Windows then ends the program within seconds: before the last block
nothing is saved; after it the drive may be programming its flash without
the program, which cannot read its identity back. Do not power the drive
off; look at the revision 'kavora-cli list' shows a few minutes later.
SCSI pass-through needs an administrator: run kavora-cli from a console
opened as administrator. The system is kept awake while the program runs.
)";

} // namespace help_words
