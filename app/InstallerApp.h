// The application object: builds the installer dialog and runs it.
#pragma once
#include "framework/afxwin.h"

class CInstallerApp : public CWinApp {
public:
    // Always FALSE: the program ends when the dialog closes, with exit code
    // 0, or with the system's error code when the dialog cannot be created
    // (after a message box naming the cause).
    BOOL InitInstance() override;
};
