// The dialog's probes and install steps: each passes the fields it reads to
// the workflow in install/, which knows no window.
#include "app/InstallerDlg.h"
#include "install/Download.h"
#include "install/InstallWorker.h"
#include "install/InstalledPath.h"
#include "install/PostInstall.h"
#include "install/SilentSetup.h"
#include "install/SupportLog.h"
#include "install/UpgradeManifest.h"

DWORD WINAPI InstallThreadProc(LPVOID pParam) { return RunInstallWorker(static_cast<CInstallerDlg*>(pParam)); }

BOOL CInstallerDlg::DetectInstalledPath(wchar_t* folder) { return FindInstalledFolder(folder); }

BOOL CInstallerDlg::QueryUpgradeInfo(wchar_t (&url)[URL_CHARS]) {
    return AwaitUpgradeQuery(&m_upgrade, &m_failure) && CopyWhole(url, m_upgrade.szUrl);
}

BOOL CInstallerDlg::DownloadFile(const wchar_t* url, const wchar_t* path) {
    // A package whose setup was refused or failed is still held and checked:
    // Retry runs it again without a download.
    if (m_package.Path()[0]) return TRUE;
    CDownloadExtras extras;
    extras.pCounters = &m_counters;
    extras.nExpectedSize = m_upgrade.package.bSize ? m_upgrade.package.nSize : 0;
    extras.nInstalledSize = m_upgrade.bInstalledSize ? m_upgrade.nInstalledSize : 0;
    extras.pszInstallFolder = m_szInstallDir;
    extras.pFailure = &m_failure;
    // From now until its setup ends the package is under a name of its own,
    // held and hashed; it runs only when it is the one the manifest named.
    if (!DownloadPackage(url, path, m_hWnd, &m_nDownloadPercent, extras)) return FALSE;
    if (!m_package.Hold(path)) {
        SupportLog(L"verify: the package cannot be held");
        SetInstallFailure(&m_failure, FAILURE_OTHER);
        return FALSE;
    }
    if (m_package.Matches(m_upgrade.package)) {
        SupportLog(L"verify: %ls matches the manifest", m_package.Path());
        return TRUE;
    }
    SupportLog(L"verify: %ls does not match the manifest's size or SHA-256; deleted", m_package.Path());
    SetInstallFailure(&m_failure, FAILURE_VERIFY);
    m_package.Release();  // not what the vendor published: deleted, never run
    return FALSE;
}

BOOL CInstallerDlg::RunSetup() {
    const BOOL ok = RunSetupPackage(m_package.Path(), m_szInstallDir, m_osvi.dwMajorVersion, m_hWnd, &m_failure);
    // A setup left running after a stop keeps its file; a later run deletes
    // it. One whose prompt was refused or that failed stays held for Retry.
    const BOOL bRetryable = m_failure.cause == FAILURE_UAC || m_failure.cause == FAILURE_SETUP;
    if (!IsInstallStopping() && (ok || !bRetryable)) m_package.Release();
    return ok;
}

BOOL CInstallerDlg::ShellExecuteAndWait(const wchar_t* program, const wchar_t* parameters) {
    return ::ShellExecuteAndWait(program, parameters, m_osvi.dwMajorVersion);
}

BOOL CInstallerDlg::ApplyTaskbarOption() {
    return ApplyTaskbarChoice(m_chkTaskbar.GetCheck() == 1, m_osvi.dwMajorVersion);
}

BOOL CInstallerDlg::ApplyAutoRunOption() {
    return ApplyAutoRunChoice(m_chkAutoRun.GetCheck() == 1, m_szInstallDir);
}
