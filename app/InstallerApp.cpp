#include "InstallerApp.h"
#include "InstallerDlg.h"
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
    return FALSE;
}
