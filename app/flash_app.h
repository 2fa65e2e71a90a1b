// The application object: runs the main dialog and ends.
#pragma once

#include "framework/app.h"

class CFlashApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
