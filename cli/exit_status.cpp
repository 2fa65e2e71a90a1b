#include "cli/exit_status.h"

const std::vector<ExitStatusSpec>& ExitStatuses()
{
    static const std::vector<ExitStatusSpec> statuses = {
        {kExitUpgraded, "done",
         "The command did what was asked. upgrade: the drive came back as its model (upgraded, or with the "
         "revision it had, which is said); check: the image is for the drive; list: at least one drive "
         "answered; info, help: shown."},
        {kExitRefused, "refused",
         "Refused before anything was written to the drive: no model list, a bad image, no matching drive, an "
         "image for another model or revision, no permission, the drive held by another upgrade or program or "
         "its disc mounted, or not confirmed; list: no drive could be opened and answered INQUIRY. With several "
         "drives: also a named drive that is missing or refused."},
        {kExitNotSaved, "not saved",
         "Failed or stopped before the save command, or the drive declined the save without starting it: "
         "nothing was saved, the drive keeps its old firmware."},
        {kExitStateUnknown, "state unknown",
         "The drive's state is unknown: the save got no answer, or an error that does not say the drive left "
         "its flash alone; the drive stayed busy; it never answered INQUIRY again; or it came back as another "
         "model. The program says what to do."},
        {kExitUsage, "usage error",
         "The command line is not one the help gives (an unknown command or option, a missing, empty or "
         "unwanted value, an option the command does not take, an operand too many): nothing was done. As "
         "EX_USAGE of sysexits.h."},
        {kExitOutput, "output error",
         "Standard output could not be written (a full disk, a reader that went away): what the command "
         "printed there is incomplete. It takes the place of 0 and 1, never of 2 or 3, which say what became "
         "of a drive that was written to. As EX_IOERR of sysexits.h."},
    };
    return statuses;
}

const ExitStatusSpec& ExitStatusOf(int code)
{
    for (const ExitStatusSpec& status : ExitStatuses())
        if (status.code == code)
            return status;
    return ExitStatuses()[kExitStateUnknown];
}

int WithOutputFailed(int status)
{
    return status == kExitUpgraded || status == kExitRefused ? kExitOutput : status;
}
