// kavora-cli for Windows from main() on, over the drives behind the device
// seam: the system's in the product, a virtual machine's in the demo and the
// tests.
#pragma once

int RunOnWindows(int argc, char** argv);
