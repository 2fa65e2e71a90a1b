// The demo program: the product's own dialog and code, with a virtual machine
// behind the device seam instead of real drives. The machine comes from
// "machine.txt" in the working directory, or a built-in default.
#include <windows.h>

#include <fstream>
#include <memory>
#include <string>

#include "demo/demo_driver.h"
#include "device/win/device_io.h"
#include "emu/machine_file.h"
#include "emu/virtual_machine.h"
#include "framework/app.h"
#include "framework/system_colours.h"

namespace {

const char kMachineFile[] = "machine.txt";

// The system's palette, with high contrast said to be on.
class HighContrastSaidOn : public SystemColours {
public:
    bool HighContrast() override { return true; }
};

DemoOptions ParseOptions()
{
    DemoOptions options;
    for (int i = 1; i < __argc; ++i) {
        std::string arg = __argv[i];
        auto next = [&]() { return i + 1 < __argc ? std::string(__argv[++i]) : std::string(); };
        if (arg == "--auto")
            options.autoRun = true;
        else if (arg == "--log")
            options.logPath = next();
        else if (arg == "--screenshot")
            options.screenshotPath = next();
        else if (arg == "--warning-shot")
            options.warningShotPath = next();
        else if (arg == "--high-contrast")
            options.highContrast = true;
    }
    return options;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    DemoOptions options = ParseOptions();

    MachineSpec description;
    std::string error;
    if (!LoadMachineFile(kMachineFile, description, error)) {
        const std::string& text = error;
        if (!options.logPath.empty()) {
            std::ofstream(options.logPath) << text << "\r\n";
        } else {
            ::MessageBoxA(nullptr, text.c_str(), "KAVORA demo", MB_OK | MB_ICONSTOP);
        }
        return 1;
    }
    std::unique_ptr<VirtualMachine> machine = BuildMachine(description);
    SetDeviceIo(machine.get());

    DemoDriver driver(options);
    SetUiSeam(&driver);
    HighContrastSaidOn highContrast;
    if (options.highContrast)
        SetSystemColours(&highContrast);
    RunApplication(instance);
    SetSystemColours(nullptr);
    SetUiSeam(nullptr);
    SetDeviceIo(nullptr);
    return options.autoRun ? driver.ExitCode() : 0;
}
