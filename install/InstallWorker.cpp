#include "InstallWorker.h"
#include "InstallerDlg.h"

DWORD WINAPI InstallThreadProc(LPVOID pParam) { return RunInstallWorker(static_cast<CInstallerDlg*>(pParam)); }
