#include "app/InstallerDlg.h"
#include "install/StagingFolder.h"
#include <cstdlib>

BEGIN_MESSAGE_MAP(CInstallerDlg, CDlgEx)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_WM_TIMER()
    ON_BN_CLICKED(IDC_BTN_BROWSE, OnBnClickedBrowse)
    ON_BN_CLICKED(IDC_CHK_AUTORUN, OnBnClickedAutoRun)
    ON_BN_CLICKED(IDC_CHK_TASKBAR, OnBnClickedTaskbar)
    ON_BN_CLICKED(IDC_CHK_AGREE, OnBnClickedAgree)
    ON_BN_CLICKED(IDC_BTN_INSTALL, OnBnClickedInstall)
    ON_BN_CLICKED(IDC_CHK_RUN_CLIENT, OnBnClickedRunClient)
    ON_BN_CLICKED(IDC_BTN_FINISH, OnBnClickedFinish)
    ON_STN_CLICKED(IDC_LINK_LICENSE, OnStnClickedLicense)
    ON_MESSAGE(WM_INSTALL_NOTIFY, OnInstallNotify)
    ON_EN_CHANGE(IDC_EDIT_INSTALL_DIR, OnEnChangeInstallDir)
    ON_MESSAGE(WM_INSTALLER_SHOWN, OnShown)
END_MESSAGE_MAP()

namespace {

const wchar_t kWindowTitle[] = L"Velmora安装向导";

// The dialog's template. A test build can name one that does not exist
// (VELMORA_TEST_DIALOG), to see the program fail to create its window.
UINT DialogTemplate() {
#ifdef VELMORA_TEST_SEAMS
    wchar_t text[8];
    const DWORD n = ::GetEnvironmentVariableW(L"VELMORA_TEST_DIALOG", text, ARRAYSIZE(text));
    if (n > 0 && n < ARRAYSIZE(text)) return static_cast<UINT>(_wtoi(text));
#endif
    return IDD_INSTALLER_DIALOG;
}

// The images OnInitDialog takes, in the order it takes them: decoded while
// the dialog's controls are created.
const UINT kFirstPageSkins[] = {IDB_SKIN_MINIMIZE, IDB_SKIN_CLOSE,   IDB_SKIN_BACKGROUND, IDB_SKIN_PATH_ERROR,
                                IDB_SKIN_BROWSE,   IDB_SKIN_INSTALL, IDB_SKIN_CHECKBOX,   IDB_SKIN_CHECKBOX,
                                IDB_SKIN_CHECKBOX};

}  // namespace

CInstallerDlg::CInstallerDlg(CInstallRun& run, CSkinPreload& preload)
    : CDlgEx(DialogTemplate(), kWindowTitle), m_run(run), m_preload(preload) {
    m_preload.Start(AfxGetInstanceHandle(), kFirstPageSkins, ARRAYSIZE(kFirstPageSkins));
    m_hIcon = ::LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    m_bDrawTitle = FALSE;  // the background art is the whole caption
    m_bDrawIcon = FALSE;
    // The vendor's upgrade manifest and the download folder come once the
    // window shows (OnShown).
}

void CInstallerDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_BTN_BROWSE, m_btnBrowse);
    DDX_Control(pDX, IDC_EDIT_INSTALL_DIR, m_editInstallDir);
    DDX_Control(pDX, IDC_CHK_AUTORUN, m_chkAutoRun);
    DDX_Control(pDX, IDC_CHK_TASKBAR, m_chkTaskbar);
    DDX_Control(pDX, IDC_CHK_AGREE, m_chkAgree);
    DDX_Control(pDX, IDC_LINK_LICENSE, m_linkLicense);
    DDX_Control(pDX, IDC_BTN_INSTALL, m_btnInstall);
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Control(pDX, IDC_STATIC_STATUS, m_staticStatus);
    DDX_Control(pDX, IDC_STATIC_PERCENT, m_staticPercent);
    DDX_Control(pDX, IDC_STATIC_DONE_TITLE, m_staticDoneTitle);
    DDX_Control(pDX, IDC_STATIC_DONE_HINT, m_staticDoneHint);
    DDX_Control(pDX, IDC_CHK_RUN_CLIENT, m_chkRunClient);
    DDX_Control(pDX, IDC_BTN_FINISH, m_btnFinish);
    DDX_Control(pDX, IDC_STATIC_PATH_ERROR, m_staticPathError);
}

HBITMAP CInstallerDlg::LoadSkin(UINT nID) { return m_preload.Take(AfxGetInstanceHandle(), nID); }

// Each check box gets its own copy of the check-box skin: taking it in
// changes the bitmap's key-colour pixels.
void CInstallerDlg::SkinCheckBox(CChk2Btn& chk, int x, int y, int w, int h) {
    chk.MoveWindow(x, y, w, h, TRUE);
    CBitmap bmp;
    bmp.Attach(LoadSkin(IDB_SKIN_CHECKBOX));
    chk.SetImage(&bmp);
}

// A button's image list copies the strip, so the bitmap goes right away.
void CInstallerDlg::SkinButton(CBtnEx& btn, UINT nID) {
    CBitmap bmp;
    bmp.Attach(LoadSkin(nID));
    btn.SetImage(bmp, TRUE);
}

namespace {

// A label of a later page: its colour and font height, its place, hidden.
void PlaceHiddenLabel(CStaticEx& label, COLORREF crText, int nFontHeight, int x, int y, int w, int h) {
    label.m_crText = crText;
    label.m_nFontHeight = nFontHeight;
    label.MoveWindow(x, y, w, h, TRUE);
    label.ShowWindow(SW_HIDE);
}

const COLORREF kBlackText = RGB(0, 0, 0);
const COLORREF kGreyText = RGB(169, 169, 169);
const COLORREF kLinkHover = RGB(255, 146, 40);

}  // namespace

BOOL CInstallerDlg::OnInitDialog() {
    if (!CDlgEx::OnInitDialog()) return FALSE;
    SetTitle();

    m_nCaptionHeight = -1;
    m_nBorder = 1;
    m_nBtnRight = 10;
    m_nBtnTop = 10;
    m_nBtnGap = 10;
    {
        CBitmap bmpMin, bmpClose;  // the caption buttons copy their strips
        bmpMin.Attach(LoadSkin(IDB_SKIN_MINIMIZE));
        bmpClose.Attach(LoadSkin(IDB_SKIN_CLOSE));
        SetSkin(LoadSkin(IDB_SKIN_BACKGROUND), bmpClose, bmpMin);  // the window becomes 622x422
    }

    // Options page.
    m_staticPathError.MoveWindow(22, 317, 119, 12, TRUE);
    {
        CBitmap bmp;
        bmp.Attach(LoadSkin(IDB_SKIN_PATH_ERROR));
        m_staticPathError.SetImage(bmp);
    }
    ::MoveWindow(::GetDlgItem(m_hWnd, IDC_GROUP_INSTALL_DIR), 23, 270, 492, 38, TRUE);
    m_editInstallDir.MoveWindow(25, 285, 488, 20, TRUE);
    // EN_CHANGE runs the folder check, which shows or hides the error: an
    // earlier installation's folder may be a rejected one.
    m_editInstallDir.SetWindowText(m_run.InstallDir());

    m_btnBrowse.MoveWindow(515, 277, 86, 30, TRUE);
    SkinButton(m_btnBrowse, IDB_SKIN_BROWSE);

    m_btnInstall.MoveWindow(460, 360, 140, 40, TRUE);
    SkinButton(m_btnInstall, IDB_SKIN_INSTALL);

    SkinCheckBox(m_chkAutoRun, 23, 340, 50, 30);
    SkinCheckBox(m_chkTaskbar, 210, 340, 80, 30);
    m_chkTaskbar.SetCheck(1);
    SkinCheckBox(m_chkAgree, 23, 375, 100, 30);
    m_chkAgree.SetCheck(1);
    m_chkAgree.m_crText = kGreyText;
    UpdateInstallButton();  // the folder was checked before the box was ticked

    m_linkLicense.m_crText = kGreyText;
    m_linkLicense.m_crHover = kLinkHover;
    m_linkLicense.m_bHoverColor = TRUE;
    m_linkLicense.m_bHandCursor = TRUE;
    m_linkLicense.m_bUnderline = TRUE;
    m_linkLicense.ModifyStyle(0, SS_NOTIFY);  // clicks reach the dialog as STN_CLICKED
    m_linkLicense.MoveWindow(120, 375, 120, 30, TRUE);

    // Progress page; its images and the finish page's come with Install
    // (SkinLaterPages), so that the window shows sooner.
    m_progress.MoveWindow(23, 335, 580, 4, TRUE);
    m_progress.ShowWindow(SW_HIDE);

    // Wide enough for the status with speed and time left on one line, left
    // of the percentage at 570.
    PlaceHiddenLabel(m_staticStatus, kGreyText, 22, 23, 350, 517, 20);
    PlaceHiddenLabel(m_staticPercent, kBlackText, 22, 570, 350, 50, 20);

    // Finish page.
    // Each text on one line, left of the Finish button at 460.
    PlaceHiddenLabel(m_staticDoneTitle, kBlackText, 26, 23, 283, 420, 26);
    PlaceHiddenLabel(m_staticDoneHint, kGreyText, 20, 23, 320, 420, 22);

    m_chkRunClient.MoveWindow(23, 375, 50, 30, TRUE);
    m_chkRunClient.SetCheck(1);
    m_chkRunClient.ShowWindow(SW_HIDE);

    m_btnFinish.MoveWindow(460, 360, 140, 40, TRUE);
    m_btnFinish.ShowWindow(SW_HIDE);

    // Handled once the dialog is on the screen: posted messages come
    // before input, so before any click.
    PostMessage(WM_INSTALLER_SHOWN);
    return TRUE;
}

LRESULT CInstallerDlg::OnShown(WPARAM, LPARAM) {
    // Set only now: the window manager turns the icon into its own
    // formats, a few ms the window need not wait for.
    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);
    // The package URL from the vendor's upgrade manifest, asked for on its
    // own thread so that the window never waits for the server; started
    // only now because loading the network DLLs beside the dialog's own
    // start slows that down. The worker takes the result once Install is
    // pressed, which cannot come before this message: when the query
    // fails, the download fails with it.
    m_run.StartQuery();
    // Download folder: %ProgramData%\CorvaneVelmora\, made one that only
    // administrators can write (checked again by Install).
    wchar_t szFolder[PATH_CHARS];
    if (GetStagingFolder(szFolder)) PrepareStagingFolder(szFolder);
    return 0;
}

void CInstallerDlg::SkinLaterPages() {
    if (m_bLaterPagesSkinned) return;
    m_bLaterPagesSkinned = TRUE;
    m_progress.SetImages(LoadSkin(IDB_SKIN_PROGRESS_TRACK), LoadSkin(IDB_SKIN_PROGRESS_FILL));  // the bar keeps both
    SkinCheckBox(m_chkRunClient, 23, 375, 50, 30);
    SkinButton(m_btnFinish, IDB_SKIN_FINISH);
    m_btnFinish.MoveWindow(460, 360, 140, 40, TRUE);  // the skin sized it to one state image
}

void CInstallerDlg::OnPaint() {
    if (!IsIconic()) {
        // The skinned background is painted on WM_ERASEBKGND.
        Default();
        return;
    }
    CPaintDC dc(this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    CRect rc;
    GetClientRect(&rc);
    const int x = (rc.Width() - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rc.Height() - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HCURSOR CInstallerDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }
