#include "app/aspi_messages.h"

#include "framework/ui_seam.h"

bool LoadAspiLibrary(DriveTable& table, HWND owner)
{
    switch (BindAspiLibrary(table)) {
    case AspiBinding::NotNeeded:
    case AspiBinding::Bound:
        return true;
    case AspiBinding::LibraryMissing:
        Ui().MessageBox(owner, "No find the dynamic library!!", "Error!!", MB_OK | MB_ICONINFORMATION);
        return false;
    case AspiBinding::EntryPointMissing:
        // Whichever button is pressed, the program runs on without drives.
        Ui().MessageBox(owner, "Cannot Load Dynamic Library!!!", "Error!", MB_OKCANCEL);
        return false;
    }
    return false;
}
