#include "app/InstallerApp.h"
#include "app/InstallerDlg.h"
#include "install/InstallWorker.h"
#include "install/UpgradeManifest.h"
#include "skin/SkinPreload.h"
#include <commctrl.h>

CInstallerApp theApp;

BOOL CInstallerApp::InitInstance() {
    INITCOMMONCONTROLSEX icc;
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&icc);

    CWinApp::InitInstance();

    CInstallerDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    EndSkinPreload();  // the images a dialog that never showed did not take

    // The install worker reads the dialog object and may still run: the
    // window was closed during the download or the setup, or Finish came
    // while the options are applied. Stop it (and the manifest query, if
    // it still runs) and wait before the object goes; one stuck in the
    // network past the grace time is ended with the process instead.
    if (!EndUpgradeQuery(INSTALL_STOP_GRACE_MS) || !EndInstallWorker(INSTALL_STOP_GRACE_MS)) ::ExitProcess(0);
    return FALSE;
}
