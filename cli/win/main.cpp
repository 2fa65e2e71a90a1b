// kavora-cli.exe: the KAVORA firmware upgrade from a Windows console, over
// SCSI pass-through.
#include "cli/win/program_start.h"

int main(int argc, char** argv) { return RunOnWindows(argc, argv); }
