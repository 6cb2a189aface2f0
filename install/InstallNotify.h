// The worker's notifications to the installer dialog.
#pragma once
#include <windows.h>

// Posted to the dialog window; wParam is one of the codes below. lParam is
// the new percentage for INSTALL_NOTIFY_PROGRESS and 0 otherwise.
#define WM_INSTALL_NOTIFY (WM_USER + 1)

enum {
    INSTALL_NOTIFY_PROGRESS = 1,       // m_nDownloadPercent holds the new value
    INSTALL_NOTIFY_SETUP_STARTED = 2,  // the setup package is about to run
    INSTALL_NOTIFY_COMPLETE = 3,       // setup finished; options follow
    INSTALL_NOTIFY_FAILED = 4,         // download or setup failed
};
