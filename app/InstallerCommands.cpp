// The installer dialog's commands and its reaction to the worker's events.
#include "app/InstallerDlg.h"
#include "app/FolderCheck.h"
#include "framework/afxshell.h"
#include "install/PostInstall.h"
#include "install/SilentSetup.h"
#include "install/SupportLog.h"
#include "install/VendorServer.h"
#include <shellapi.h>
#include <cwchar>

namespace {

const UINT_PTR SETUP_PROGRESS_TIMER = 1;
const UINT SETUP_PROGRESS_PERIOD_MS = 1000;
const UINT_PTR DOWNLOAD_STATUS_TIMER = 2;
const UINT DOWNLOAD_STATUS_PERIOD_MS = 1000;
const wchar_t kDownloadingText[] = L"正在下载Velmora游戏平台...";

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
    wchar_t szFolder[PATH_CHARS];
    if (!pidl.GetPath(szPath) || !MakeBrowsedInstallFolder(szPath, szFolder)) return;
    SetDlgItemText(IDC_EDIT_INSTALL_DIR, szFolder);
}

void CInstallerDlg::OnBnClickedAutoRun() { ToggleCheck(m_chkAutoRun); }
void CInstallerDlg::OnBnClickedTaskbar() { ToggleCheck(m_chkTaskbar); }
void CInstallerDlg::OnBnClickedRunClient() { ToggleCheck(m_chkRunClient); }

void CInstallerDlg::OnBnClickedAgree() {
    ToggleCheck(m_chkAgree);
    UpdateInstallButton();
}

void CInstallerDlg::UpdateInstallButton() { m_btnInstall.EnableWindow(m_bFolderAccepted && m_chkAgree.GetCheck() == 1); }

void CInstallerDlg::OnStnClickedLicense() {
    wchar_t szUrl[URL_CHARS];
    if (GetLicenseUrl(szUrl)) ::ShellExecuteW(nullptr, L"open", szUrl, nullptr, nullptr, SW_SHOW);
}

BOOL CInstallerDlg::ReadInstallFolder(wchar_t (&folder)[PATH_CHARS]) {
    // A text too long for the buffer would be checked, and used, cut off.
    if (m_editInstallDir.GetWindowTextLength() >= static_cast<int>(PATH_CHARS)) return FALSE;
    m_editInstallDir.GetWindowText(folder);
    // "A:\" to "Z:\", each with its NUL, and the list's own NUL; an empty
    // list when the call fails.
    wchar_t drives[26 * 4 + 2] = {};
    if (::GetLogicalDriveStringsW(ARRAYSIZE(drives) - 1, drives) >= ARRAYSIZE(drives) - 1) drives[0] = L'\0';
    if (!IsInstallFolderAccepted(folder, drives)) return FALSE;
    CleanInstallFolder(folder);
    return TRUE;
}

void CInstallerDlg::OnEnChangeInstallDir() {
    wchar_t szFolder[PATH_CHARS];
    m_bFolderAccepted = ReadInstallFolder(szFolder);
    m_staticPathError.ShowWindow(m_bFolderAccepted ? SW_HIDE : SW_SHOW);
    UpdateInstallButton();
}

void CInstallerDlg::OnBnClickedInstall() {
    // The button may have been pressed by a message rather than a click:
    // only a folder that passes the check reaches the setup.
    wchar_t szFolder[PATH_CHARS];
    if (m_chkAgree.GetCheck() != 1 || !ReadInstallFolder(szFolder)) return;
    m_run.SetChoices(szFolder, m_chkAutoRun.GetCheck() == 1, m_chkTaskbar.GetCheck() == 1);
    SkinLaterPages();
    if (!StartInstallRun()) return;

    ::ShowWindow(::GetDlgItem(m_hWnd, IDC_GROUP_INSTALL_DIR), SW_HIDE);
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
}

BOOL CInstallerDlg::StartInstallRun() {
    wchar_t szFolder[PATH_CHARS];
    if (!m_run.PrepareDownloadFolder(szFolder)) {
        MessageBox(szFolder, L"无法创建下载目录", MB_OK);
        return FALSE;
    }
    m_progress.SetPos(0);
    m_staticPercent.SetText(L"0%");
    m_staticPercent.ShowWindow(SW_SHOW);
    m_staticStatus.SetText(kDownloadingText);
    m_bRetrying = FALSE;
    m_speedMeter.Reset();
    SetTimer(DOWNLOAD_STATUS_TIMER, DOWNLOAD_STATUS_PERIOD_MS, nullptr);
    return m_run.Start(this);
}

LRESULT CInstallerDlg::OnInstallNotify(WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(wParam)) {
    case INSTALL_NOTIFY_PROGRESS: {
        // The worker stored the value before posting; lParam is not read.
        m_progress.SetPos(m_run.DownloadPercent());
        wchar_t szPercent[16];
        FormatWhole(szPercent, L"%d%%", m_run.DownloadPercent());
        m_staticPercent.SetText(szPercent);
        break;
    }
    case INSTALL_NOTIFY_SETUP_STARTED:
        KillTimer(DOWNLOAD_STATUS_TIMER);
        m_staticStatus.SetText(L"正在安装Velmora游戏平台...");
        m_staticPercent.ShowWindow(SW_HIDE);
        m_nSetupPercent = 5;
        SetTimer(SETUP_PROGRESS_TIMER, SETUP_PROGRESS_PERIOD_MS, nullptr);
        break;
    case INSTALL_NOTIFY_COMPLETE:
        KillTimer(DOWNLOAD_STATUS_TIMER);
        KillTimer(SETUP_PROGRESS_TIMER);
        m_progress.ShowWindow(SW_HIDE);
        m_staticStatus.ShowWindow(SW_HIDE);
        m_staticPercent.ShowWindow(SW_HIDE);
        m_staticDoneTitle.ShowWindow(SW_SHOW);
        m_staticDoneHint.ShowWindow(SW_SHOW);
        m_chkRunClient.ShowWindow(SW_SHOW);
        m_btnFinish.ShowWindow(SW_SHOW);
        break;
    case INSTALL_NOTIFY_RETRYING:
        m_bRetrying = TRUE;
        m_staticStatus.SetText(L"网络连接不稳定，正在重试...");
        break;
    case INSTALL_NOTIFY_DOWNLOADING:
        // The speed starts afresh: the wait is no part of it.
        m_bRetrying = FALSE;
        m_speedMeter.Reset();
        m_staticStatus.SetText(kDownloadingText);
        break;
    case INSTALL_NOTIFY_FAILED:
        KillTimer(DOWNLOAD_STATUS_TIMER);
        KillTimer(SETUP_PROGRESS_TIMER);
        OnInstallFailed(static_cast<InstallFailure>(HIWORD(wParam)), static_cast<DWORD>(lParam));
        break;
    default:
        break;
    }
    return 0;
}

void CInstallerDlg::OnInstallFailed(InstallFailure cause, DWORD detail) {
    // A disk's figures come from the run itself: the post follows their writing.
    CInstallFailure failure = m_run.Failure();
    failure.cause = cause;
    failure.detail = detail;
    wchar_t szCode[64], szLog[PATH_CHARS], szText[COMMAND_CHARS];
    if (FormatFailureCode(failure, szCode)) SupportLog(L"install failed: %ls", szCode);
    if (!GetSupportLogPath(szLog)) szLog[0] = L'\0';
    if (!FormatFailureText(failure, szLog, szText)) FormatFailureText(CInstallFailure(), L"", szText);
    // FAILED was the worker's last post: it ends at once.
    const BOOL bEnded = m_run.EndWorker(INSTALL_STOP_GRACE_MS);
    if (bEnded && MessageBox(szText, L"安装失败", MB_RETRYCANCEL | MB_ICONWARNING) == IDRETRY) {
        SupportLog(L"install: retry");
        // A proxy login cancelled or refused may be given now.
        m_run.Signals().ProxyLogin().Renew();
        // A manifest query that found nothing is asked again; the partial
        // file and a package kept for its setup stay.
        if (m_run.HasQueryFailed()) m_run.StartQuery();
        if (StartInstallRun()) return;
    }
    if (bEnded) m_run.ReleasePackage();
    OnCancel();
}

void CInstallerDlg::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent == DOWNLOAD_STATUS_TIMER) {
        UpdateDownloadStatus();
        return;
    }
    KillTimer(nIDEvent);
    if (nIDEvent != SETUP_PROGRESS_TIMER) return;
    // Simulated setup progress: 5, 8, 11, ... one step a second; the bar
    // itself stays within its range.
    m_progress.SetPos(m_nSetupPercent);
    m_nSetupPercent += 3;
    SetTimer(SETUP_PROGRESS_TIMER, SETUP_PROGRESS_PERIOD_MS, nullptr);
}

void CInstallerDlg::UpdateDownloadStatus() {
    // The retry text stays until bytes flow again.
    if (m_bRetrying) return;
    const ULONGLONG received = static_cast<ULONGLONG>(m_run.Counters().nReceivedKiB) * 1024;
    const ULONGLONG total = static_cast<ULONGLONG>(m_run.Counters().nTotalKiB) * 1024;
    m_speedMeter.Add(::GetTickCount(), received);
    ULONGLONG rate = 0;
    if (!m_speedMeter.Rate(&rate)) rate = 0;
    wchar_t szText[COMMAND_CHARS];
    if (FormatDownloadStatus(rate, total > received ? total - received : 0, total != 0, szText))
        m_staticStatus.SetText(szText);
}

void CInstallerDlg::OnBnClickedFinish() {
    wchar_t szLauncher[PATH_CHARS];
    // A launcher path that does not fit would start some other program.
    if (m_chkRunClient.GetCheck() == 1 && FormatLauncherPath(m_run.InstallDir(), szLauncher)) {
        SHELLEXECUTEINFOW sei;
        PrepareShellExecute(&sei, m_run.MajorVersion(), szLauncher, nullptr);
        if (::ShellExecuteExW(&sei) && sei.hProcess) ::CloseHandle(sei.hProcess);
    }
    OnOK();
}
