#include "cli/help_words.h"

namespace help_words {

const char kDriveOption[] = "the drive: /dev/srN or /dev/sgN (default: the one drive\n"
                            "whose model the list names); upgrade takes several";
const char kInterface[] = R"(
Upgrades the firmware of a CD/DVD-class drive over the Linux SCSI generic
interface (SG_IO), with the checks of the KAVORA Windows program: the model
list, the image's identity scan, the summed header, resends, the waits while
the drive programs, and its identity read back.
)";
const char kListedAs[] = "device node\n(and its other node)";
const char kPrivilege[] = "root";
const char kTowerName[] = "sr1";
const char kOneWriter[] = R"(A drive has one writer: a second upgrade of it, through either of its nodes,
is refused, naming the process that holds /run/lock/kavora-cli-H:C:T:L.lock;
so is a drive whose disc is mounted.
)";
const char kStopping[] = "Ctrl-C, SIGTERM or SIGHUP";
const char kNeeds[] = "WRITE BUFFER through SG_IO needs root or the CAP_SYS_RAWIO capability.\n";

} // namespace help_words
