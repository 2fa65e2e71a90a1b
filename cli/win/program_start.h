// kavora-cli for Windows from main() on, over the drives it is given: the
// product's main gives it the system's, the demo's a virtual machine's.
#pragma once

#include "cli/drive_access.h"

int RunOnWindows(int argc, char** argv, DriveAccess* drives = nullptr);
