// The installer's one dialog, which is also the record of the install run.
#pragma once
#include "framework/afxwin.h"
#include "framework/BoundedText.h"
#include "res/resource.h"
#include "skin/DlgEx.h"
#include "controls/BtnEx.h"
#include "controls/Chk2Btn.h"
#include "controls/ImgProgress.h"
#include "controls/StaticEx.h"
#include "app/StatusText.h"
#include "install/Download.h"
#include "install/InstallWorker.h"
#include "install/PackageHold.h"
#include "install/UpgradeManifest.h"

// Posted by OnInitDialog to itself: the work that can wait until the window shows.
#define WM_INSTALLER_SHOWN (WM_USER + 2)

class CInstallerDlg : public CDlgEx {
public:
    explicit CInstallerDlg(CWnd* pParent = nullptr);

    // Construction-time probes and the install steps the worker runs: each
    // hands the fields it reads to the workflow in install/ (InstallerSteps.cpp).
    BOOL DetectInstalledPath(wchar_t* folder);  // PATH_CHARS characters, or null
    // The package URL from the manifest query the constructor started;
    // waits for the query's end.
    BOOL QueryUpgradeInfo(wchar_t (&url)[URL_CHARS]);
    BOOL DownloadFile(const wchar_t* url, const wchar_t* path);
    BOOL RunSetup();
    BOOL ShellExecuteAndWait(const wchar_t* program, const wchar_t* parameters);
    BOOL ApplyTaskbarOption();
    BOOL ApplyAutoRunOption();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    void OnPaint();
    HCURSOR OnQueryDragIcon();
    void OnTimer(UINT_PTR nIDEvent);
    void OnBnClickedBrowse();
    void OnBnClickedAutoRun();
    void OnBnClickedTaskbar();
    void OnBnClickedAgree();
    void OnBnClickedInstall();
    void OnBnClickedRunClient();
    void OnBnClickedFinish();
    void OnStnClickedLicense();
    LRESULT OnInstallNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnShown(WPARAM, LPARAM);
    void OnEnChangeInstallDir();
    DECLARE_MESSAGE_MAP()

    // The typed folder, cleaned, when it passes the folder check.
    BOOL ReadInstallFolder(wchar_t (&folder)[PATH_CHARS]);
    // Install is enabled only for an accepted folder with the agreement ticked.
    void UpdateInstallButton();
    // Shows the progress page from its start and starts the worker; FALSE,
    // after telling the person, when the download folder is not usable.
    BOOL StartInstallRun();
    // The status line's speed and time left, once a second while downloading.
    void UpdateDownloadStatus();
    // The failure box; Retry starts the run again, Cancel ends the program.
    void OnInstallFailed(InstallFailure cause, DWORD detail);
    // The images of the progress and finish pages, once, when Install first
    // needs them.
    void SkinLaterPages();

public:
    // Install state, in declaration order. Every field starts at zero.
    HICON m_hIcon = nullptr;

    CBtnEx m_btnBrowse;
    CBtnEx m_btnInstall;
    CEdit m_editInstallDir;
    CChk2Btn m_chkAutoRun;
    CChk2Btn m_chkTaskbar;
    CChk2Btn m_chkAgree;
    CStaticEx m_linkLicense;
    CStaticEx m_staticPathError;
    CImgProgress m_progress;
    CStaticEx m_staticStatus;
    CStaticEx m_staticPercent;
    CBtnEx m_btnFinish;
    CStaticEx m_staticDoneTitle;
    CStaticEx m_staticDoneHint;
    CChk2Btn m_chkRunClient;

    wchar_t m_szInstallDir[PATH_CHARS] = {};
    wchar_t m_szDownloadUrl[URL_CHARS] = {};
    wchar_t m_szDownloadFile[PATH_CHARS] = {};
    int m_nDownloadPercent = 0;
    OSVERSIONINFOW m_osvi = {};
    // What the manifest names beside the URL, and the package from its
    // download's end until its setup has ended (the worker's alone).
    CUpgradeInfo m_upgrade;
    CHeldPackage m_package;
    // Why the run failed (written by the worker's steps, sent with
    // INSTALL_NOTIFY_FAILED) and the download's byte counts, which the
    // worker keeps current for the speed shown.
    CInstallFailure m_failure;
    CDownloadCounters m_counters;
    // The dialog's own: the folder check's last answer, the speed over the
    // last seconds, and whether a retry is being waited for.
    BOOL m_bFolderAccepted = FALSE;
    CSpeedMeter m_speedMeter;
    BOOL m_bRetrying = FALSE;
    BOOL m_bLaterPagesSkinned = FALSE;
};

// The install worker's thread entry; the parameter is the CInstallerDlg.
// Returns 0.
DWORD WINAPI InstallThreadProc(LPVOID pParam);
