// The installer dialog's commands and its reaction to the worker's events.
#include "app/InstallerDlg.h"
#include "app/FolderCheck.h"
#include "framework/afxfile.h"
#include "framework/afxshell.h"
#include "install/InstallWorker.h"
#include "install/PostInstall.h"
#include "install/ProductNames.h"
#include "install/PackageHold.h"
#include "install/SilentSetup.h"
#include "install/StagingFolder.h"
#include "install/VendorServer.h"
#include <shellapi.h>
#include <cwchar>
#include <vector>

namespace {

const UINT_PTR SETUP_PROGRESS_TIMER = 1;
const UINT SETUP_PROGRESS_PERIOD_MS = 1000;

void ToggleCheck(CChk2Btn& chk) { chk.SetCheck(chk.GetCheck() == 1 ? 0 : 1); }

}  // namespace

BOOL CInstallerDlg::PreTranslateMessage(MSG* pMsg) {
    // Escape never closes the installer and Enter never presses a button.
    if (pMsg->message == WM_KEYDOWN && (pMsg->wParam == VK_ESCAPE || pMsg->wParam == VK_RETURN)) return TRUE;
    return CDlgEx::PreTranslateMessage(pMsg);
}

void CInstallerDlg::OnBnClickedBrowse() {
    wchar_t szPath[PATH_CHARS] = {};
    BROWSEINFOW bi = {};
    bi.hwndOwner = m_hWnd;
    bi.pszDisplayName = szPath;
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    const CItemIdList pidl(::SHBrowseForFolderW(&bi));
    // A folder too long for "\velmora" leaves the folder as it was.
    if (!pidl.GetPath(szPath) || !MakeBrowsedInstallFolder(szPath, m_szInstallDir)) return;
    SetDlgItemText(IDC_EDIT_INSTALL_DIR, m_szInstallDir);
}

void CInstallerDlg::OnBnClickedAutoRun() { ToggleCheck(m_chkAutoRun); }
void CInstallerDlg::OnBnClickedTaskbar() { ToggleCheck(m_chkTaskbar); }
void CInstallerDlg::OnBnClickedRunClient() { ToggleCheck(m_chkRunClient); }

void CInstallerDlg::OnBnClickedAgree() {
    ToggleCheck(m_chkAgree);
    m_btnInstall.EnableWindow(m_chkAgree.GetCheck() == 1);
}

void CInstallerDlg::OnStnClickedLicense() {
    wchar_t szUrl[URL_CHARS];
    if (GetLicenseUrl(szUrl)) ::ShellExecuteW(nullptr, L"open", szUrl, nullptr, nullptr, SW_SHOW);
}

void CInstallerDlg::OnEnChangeInstallDir() {
    wchar_t szText[PATH_CHARS] = {};
    m_editInstallDir.GetWindowText(szText);
    const DWORD cch = ::GetLogicalDriveStringsW(0, nullptr);
    std::vector<wchar_t> drives(cch + 2, L'\0');  // stays an empty list if the call fails
    ::GetLogicalDriveStringsW(cch, drives.data());
    const BOOL bAccepted = IsInstallFolderAccepted(szText, drives.data());
    m_staticPathError.ShowWindow(bAccepted ? SW_HIDE : SW_SHOW);
    m_btnInstall.EnableWindow(bAccepted);
}

void CInstallerDlg::OnBnClickedInstall() {
    m_editInstallDir.GetWindowText(m_szInstallDir);
    CleanInstallFolder(m_szInstallDir);

    // The package goes into the download folder; it must be safe to use and
    // hold the package's name without cutting it off.
    wchar_t szPackage[PATH_CHARS];
    if (!PrepareStagingFolder(m_szDownloadFile) || !IsDirectory(m_szDownloadFile) ||
        !JoinPath(szPackage, m_szDownloadFile, VELMORA_PACKAGE_NAME)) {
        MessageBox(m_szDownloadFile, L"无法创建下载目录", MB_OK);
        return;
    }

    GetDlgItem(IDC_GROUP_INSTALL_DIR)->ShowWindow(SW_HIDE);
    m_editInstallDir.ShowWindow(SW_HIDE);
    m_btnBrowse.ShowWindow(SW_HIDE);
    m_chkAutoRun.ShowWindow(SW_HIDE);
    m_chkTaskbar.ShowWindow(SW_HIDE);
    m_chkAgree.ShowWindow(SW_HIDE);
    m_linkLicense.ShowWindow(SW_HIDE);
    m_btnInstall.ShowWindow(SW_HIDE);
    m_progress.ShowWindow(SW_SHOW);
    m_staticStatus.ShowWindow(SW_SHOW);
    m_staticPercent.ShowWindow(SW_SHOW);

    DeleteLeftoverPackages(m_szDownloadFile);
    CopyWhole(m_szDownloadFile, szPackage);
    StartInstallWorker(InstallThreadProc, this);
}

LRESULT CInstallerDlg::OnInstallNotify(WPARAM wParam, LPARAM) {
    switch (wParam) {
    case INSTALL_NOTIFY_PROGRESS: {
        // The worker stored the value before posting; lParam is not read.
        m_progress.SetPos(m_nDownloadPercent);
        wchar_t szPercent[16];
        FormatWhole(szPercent, L"%d%%", m_nDownloadPercent);
        m_staticPercent.SetText(szPercent);
        break;
    }
    case INSTALL_NOTIFY_SETUP_STARTED:
        m_staticStatus.SetText(L"正在安装Velmora游戏平台...");
        m_staticPercent.ShowWindow(SW_HIDE);
        m_nDownloadPercent = 5;
        SetTimer(SETUP_PROGRESS_TIMER, SETUP_PROGRESS_PERIOD_MS, nullptr);
        break;
    case INSTALL_NOTIFY_COMPLETE:
        m_progress.ShowWindow(SW_HIDE);
        m_staticStatus.ShowWindow(SW_HIDE);
        m_staticPercent.ShowWindow(SW_HIDE);
        m_staticDoneTitle.ShowWindow(SW_SHOW);
        m_staticDoneHint.ShowWindow(SW_SHOW);
        m_chkRunClient.ShowWindow(SW_SHOW);
        m_btnFinish.ShowWindow(SW_SHOW);
        break;
    case INSTALL_NOTIFY_RETRYING:
        m_staticStatus.SetText(L"网络连接不稳定，正在重试...");
        break;
    case INSTALL_NOTIFY_DOWNLOADING:
        m_staticStatus.SetText(L"正在下载Velmora游戏平台...");
        break;
    case INSTALL_NOTIFY_FAILED:
        MessageBox(L"安装过程遇到错误，请重试", L"安装失败", MB_OK);
        OnCancel();
        break;
    default:
        break;
    }
    return 0;
}

void CInstallerDlg::OnTimer(UINT_PTR nIDEvent) {
    KillTimer(nIDEvent);
    if (nIDEvent != SETUP_PROGRESS_TIMER) return;
    // Simulated setup progress: 5, 8, 11, ... one step a second; the bar
    // itself stays within its range.
    m_progress.SetPos(m_nDownloadPercent);
    m_nDownloadPercent += 3;
    SetTimer(SETUP_PROGRESS_TIMER, SETUP_PROGRESS_PERIOD_MS, nullptr);
}

void CInstallerDlg::OnBnClickedFinish() {
    wchar_t szLauncher[PATH_CHARS];
    // A launcher path that does not fit would start some other program.
    if (m_chkRunClient.GetCheck() == 1 && FormatLauncherPath(m_szInstallDir, szLauncher)) {
        SHELLEXECUTEINFOW sei;
        PrepareShellExecute(&sei, m_osvi.dwMajorVersion, szLauncher, nullptr);
        if (::ShellExecuteExW(&sei) && sei.hProcess) ::CloseHandle(sei.hProcess);
    }
    OnOK();
}
