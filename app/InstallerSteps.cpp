// The dialog's probes and install steps: each passes the fields it reads to
// the workflow in install/, which knows no window.
#include "app/InstallerDlg.h"
#include "install/Download.h"
#include "install/InstallWorker.h"
#include "install/InstalledPath.h"
#include "install/PostInstall.h"
#include "install/SilentSetup.h"
#include "install/UpgradeManifest.h"

DWORD WINAPI InstallThreadProc(LPVOID pParam) { return RunInstallWorker(static_cast<CInstallerDlg*>(pParam)); }

BOOL CInstallerDlg::DetectInstalledPath(wchar_t* folder) { return FindInstalledFolder(folder); }

BOOL CInstallerDlg::QueryUpgradeInfo(wchar_t (&url)[URL_CHARS]) { return AwaitUpgradeQuery(url); }

BOOL CInstallerDlg::DownloadFile(const wchar_t* url, const wchar_t* path) {
    return DownloadPackage(url, path, m_hWnd, &m_nDownloadPercent);
}

BOOL CInstallerDlg::RunSetup() {
    return RunSetupPackage(m_szDownloadFile, m_szInstallDir, m_osvi.dwMajorVersion, m_hWnd);
}

BOOL CInstallerDlg::ShellExecuteAndWait(const wchar_t* program, const wchar_t* parameters) {
    return ::ShellExecuteAndWait(program, parameters, m_osvi.dwMajorVersion);
}

BOOL CInstallerDlg::ApplyTaskbarOption() {
    return ApplyTaskbarChoice(m_chkTaskbar.GetCheck() == 1, m_osvi.dwMajorVersion);
}

BOOL CInstallerDlg::ApplyAutoRunOption() {
    return ApplyAutoRunChoice(m_chkAutoRun.GetCheck() == 1, m_szInstallDir, RunsUnderWow64());
}
