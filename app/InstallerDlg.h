// The installer's one dialog: it shows the install run and hands it the
// person's choices; the run itself is the application's (CInstallRun).
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
#include "install/InstallRun.h"
#include "skin/SkinArt.h"
#include "skin/SkinPreload.h"

// The run's reports, posted to the dialog by its sink (OnInstallReport):
// wParam is the report's code (InstallReport.h), lParam its value.
#define WM_INSTALL_NOTIFY (WM_USER + 1)
// Posted by OnInitDialog to itself: the work that can wait until the window shows.
#define WM_INSTALLER_SHOWN (WM_USER + 2)
// Posted by OnProxyPromptWanted: a request of the run waits for the proxy
// login prompt (install/ProxyLogin.h).
#define WM_PROXY_PROMPT (WM_USER + 3)

class CInstallerDlg : public CDlgEx, private IInstallSink, private IProxyPrompt {
public:
    // Shows run, whose proposed folder it offers; takes its first page's
    // images from preload, which it starts.
    CInstallerDlg(CInstallRun& run, CSkinPreload& preload);

private:
    // On the run's threads: posted to the window, which handles it in
    // OnInstallNotify. The run stops reporting before the window goes.
    void OnInstallReport(WPARAM code, LPARAM lParam) override;
    // On the run's threads too: posted, shown by OnProxyPrompt.
    BOOL OnProxyPromptWanted() override;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // Moved to a monitor of another DPI: laid out and skinned anew.
    void SetDpi(UINT nDpi) override;

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
    LRESULT OnProxyPrompt(WPARAM, LPARAM);
    LRESULT OnDestroyWindow(WPARAM, LPARAM);
    void OnEnChangeInstallDir();
    DECLARE_MESSAGE_MAP()

    // The typed folder, cleaned, when it passes the folder check.
    BOOL ReadInstallFolder(wchar_t (&folder)[PATH_CHARS]);
    // Install is enabled only for an accepted folder with the agreement ticked.
    void UpdateInstallButton();
    // Shows the progress page from its start and starts the run's worker;
    // FALSE, after telling the person, when the download folder is not usable.
    BOOL StartInstallRun();
    // The status line's speed and time left, once a second while downloading.
    void UpdateDownloadStatus();
    // The failure box; Retry starts the run again, Cancel ends the program.
    void OnInstallFailed(InstallFailure cause, DWORD detail);
    // The caption buttons, every control's place and font, and the images
    // of the pages that have them, at m_nDpi.
    void SkinAtDpi();
    // The images of the progress and finish pages, once, when Install first
    // needs them, and again at another DPI.
    void SkinLaterPages();
    void SkinLaterPagesAtDpi();
    // Skin image nID: the drawn PNG at 96 DPI, otherwise drawn anew, each
    // state frame.cx x frame.cy (DrawSkinArt).
    HBITMAP LoadSkin(UINT nID, SIZE frame, const CSkinGround* pGround = nullptr);
    void SkinCheckBox(CChk2Btn& chk);
    void SkinButton(CBtnEx& btn, UINT nID);

    CInstallRun& m_run;
    CSkinPreload& m_preload;
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

    // The dialog's own: the folder check's last answer, the simulated setup
    // progress, the speed over the last seconds, whether a retry is being
    // waited for, and whether the later pages have their images.
    BOOL m_bFolderAccepted = FALSE;
    int m_nSetupPercent = 0;
    CSpeedMeter m_speedMeter;
    BOOL m_bRetrying = FALSE;
    BOOL m_bLaterPagesSkinned = FALSE;
};
