// The application object: builds the installer dialog and runs it.
#pragma once
#include "framework/afxwin.h"

class CInstallerApp : public CWinApp {
public:
    // Always FALSE: the program ends when the dialog closes.
    BOOL InitInstance() override;
};
