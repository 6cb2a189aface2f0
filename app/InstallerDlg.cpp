#include "app/InstallerDlg.h"
#include "app/ProxyPrompt.h"
#include "app/SingleInstance.h"
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
    ON_MESSAGE(WM_PROXY_PROMPT, OnProxyPrompt)
    ON_MESSAGE(WM_DESTROY, OnDestroyWindow)
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

// The images the first page takes at 96 DPI, decoded while the dialog's
// controls are created; at another DPI only the background is, the others
// are drawn for it.
const UINT kFirstPageSkins[] = {IDB_SKIN_BACKGROUND, IDB_SKIN_MINIMIZE, IDB_SKIN_CLOSE,    IDB_SKIN_PATH_ERROR,
                                IDB_SKIN_BROWSE,     IDB_SKIN_INSTALL,  IDB_SKIN_CHECKBOX, IDB_SKIN_CHECKBOX,
                                IDB_SKIN_CHECKBOX};

// Every control's place at 96 DPI, in client pixels; at another DPI each
// edge is scaled, so that what meets here meets there.
struct CPlace {
    int nID;
    RECT rc;
};
const CPlace kPlaces[] = {
    // Options page. The check boxes fit themselves to box and label.
    {IDC_STATIC_PATH_ERROR, {22, 317, 141, 329}},
    {IDC_GROUP_INSTALL_DIR, {23, 270, 515, 308}},
    {IDC_EDIT_INSTALL_DIR, {25, 285, 513, 305}},
    {IDC_BTN_BROWSE, {515, 277, 601, 307}},
    {IDC_BTN_INSTALL, {460, 360, 600, 400}},
    {IDC_CHK_AUTORUN, {23, 340, 73, 370}},
    {IDC_CHK_TASKBAR, {210, 340, 290, 370}},
    {IDC_CHK_AGREE, {23, 375, 123, 405}},
    {IDC_LINK_LICENSE, {120, 375, 240, 405}},
    // Progress page: the status wide enough for speed and time left on one
    // line, left of the percentage at 570.
    {IDC_PROGRESS, {23, 335, 603, 339}},
    {IDC_STATIC_STATUS, {23, 350, 540, 370}},
    {IDC_STATIC_PERCENT, {570, 350, 620, 370}},
    // Finish page: each text on one line, left of the Finish button at 460.
    {IDC_STATIC_DONE_TITLE, {23, 283, 443, 309}},
    {IDC_STATIC_DONE_HINT, {23, 320, 443, 342}},
    {IDC_CHK_RUN_CLIENT, {23, 375, 73, 405}},
    {IDC_BTN_FINISH, {460, 360, 600, 400}},
};

// Sizes at 96 DPI: the background's black frame, the caption buttons'
// images, a check box's box, the path error's image, and the labels' fonts
// (cell heights; the link's a character height).
const int kBorder = 1;
const SIZE kCaptionButton = {17, 15};
const int kCheckBox = 14;
const SIZE kPathError = {117, 12};
const int kStatusFont = 22, kTitleFont = 26, kHintFont = 20, kLinkFont = 12;

}  // namespace

CInstallerDlg::CInstallerDlg(CInstallRun& run, CSkinPreload& preload)
    : CDlgEx(DialogTemplate(), kWindowTitle), m_run(run), m_preload(preload) {
    // The window opens where the system's DPI is, mostly: its background is
    // scaled to it ahead.
    const UINT nDpi = SkinWindowDpi(nullptr);
    m_preload.Start(AfxGetInstanceHandle(), kFirstPageSkins, nDpi == SKIN_DESIGN_DPI ? ARRAYSIZE(kFirstPageSkins) : 1,
                    nDpi, kBorder);
    m_hIcon = ::LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));
    m_bDrawTitle = FALSE;  // the background art is the whole caption
    m_bDrawIcon = FALSE;
    m_nCaptionHeight = -1;
    m_nBorder = kBorder;
    m_nBtnRight = 10;
    m_nBtnTop = 10;
    m_nBtnGap = 10;
    m_sizeCaptionBtn = kCaptionButton;
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

HBITMAP CInstallerDlg::LoadSkin(UINT nID, SIZE frame, const CSkinGround* pGround) {
    // The PNG also for what is not drawn (the background), and, stretched,
    // in place of what could not be.
    if (m_nDpi != SKIN_DESIGN_DPI)
        if (const HBITMAP hDrawn = DrawSkinArt(nID, frame, m_nDpi, pGround)) return hDrawn;
    return m_preload.Take(AfxGetInstanceHandle(), nID);
}

// Each check box gets its own copy of the check-box skin: taking it in
// changes the bitmap's key-colour pixels.
void CInstallerDlg::SkinCheckBox(CChk2Btn& chk) {
    chk.m_nGap = Scale(5);
    CBitmap bmp;
    bmp.Attach(LoadSkin(IDB_SKIN_CHECKBOX, {Scale(kCheckBox), Scale(kCheckBox)}));
    chk.SetImage(&bmp);
}

// A button's image list copies the strip, so the bitmap goes right away.
// The button is in its place already: its images are drawn at its size.
void CInstallerDlg::SkinButton(CBtnEx& btn, UINT nID) {
    CRect rc;
    btn.GetWindowRect(&rc);
    CBitmap bmp;
    bmp.Attach(LoadSkin(nID, {rc.Width(), rc.Height()}));
    btn.SetImage(bmp, TRUE);
}

void CInstallerDlg::SkinAtDpi() {
    CRect rcClient;
    GetClientRect(&rcClient);
    {
        // The caption buttons copy their strips; drawn anew at another DPI
        // over the background under them.
        CBitmap bmpButton[2];
        const UINT nIDs[2] = {IDB_SKIN_CLOSE, IDB_SKIN_MINIMIZE};
        CSkinPixels back;
        const BOOL bGround = SkinBitmapPixels(BackgroundBitmap(), &back);
        for (int i = 0; i < 2; ++i) {
            const CRect rc = CaptionButtonRect(i, rcClient.Width());
            const CSkinGround ground = {bGround ? &back : nullptr, {rc.left, rc.top}};
            bmpButton[i].Attach(LoadSkin(nIDs[i], {rc.Width(), rc.Height()}, &ground));
        }
        SetCaptionButtons(bmpButton[0], bmpButton[1]);
    }

    for (const CPlace& place : kPlaces) {
        const CRect rc = ScaleRect(place.rc.left, place.rc.top, place.rc.right, place.rc.bottom);
        ::MoveWindow(::GetDlgItem(m_hWnd, place.nID), rc.left, rc.top, rc.Width(), rc.Height(), TRUE);
    }
    m_linkLicense.SetFontHeight(-Scale(kLinkFont));
    m_staticStatus.SetFontHeight(Scale(kStatusFont));
    m_staticPercent.SetFontHeight(Scale(kStatusFont));
    m_staticDoneTitle.SetFontHeight(Scale(kTitleFont));
    m_staticDoneHint.SetFontHeight(Scale(kHintFont));
    for (CStaticEx* pLabel : {&m_linkLicense, &m_staticStatus, &m_staticPercent, &m_staticDoneTitle, &m_staticDoneHint})
        pLabel->m_nLineSpacing = Scale(3);

    m_staticPathError.m_nImageInset = Scale(3);
    {
        CBitmap bmp;
        bmp.Attach(LoadSkin(IDB_SKIN_PATH_ERROR, {Scale(kPathError.cx), Scale(kPathError.cy)}));
        m_staticPathError.SetImage(bmp);
    }
    SkinButton(m_btnBrowse, IDB_SKIN_BROWSE);
    SkinButton(m_btnInstall, IDB_SKIN_INSTALL);
    SkinCheckBox(m_chkAutoRun);
    SkinCheckBox(m_chkTaskbar);
    SkinCheckBox(m_chkAgree);
    if (m_bLaterPagesSkinned) SkinLaterPagesAtDpi();
    Invalidate(TRUE);
}

void CInstallerDlg::SetDpi(UINT nDpi) {
    CDlgEx::SetDpi(nDpi);
    SkinAtDpi();
}

namespace {

const COLORREF kBlackText = RGB(0, 0, 0);
const COLORREF kGreyText = RGB(169, 169, 169);
const COLORREF kLinkHover = RGB(255, 146, 40);

}  // namespace

BOOL CInstallerDlg::OnInitDialog() {
    if (!CDlgEx::OnInitDialog()) return FALSE;
    CSingleInstance::MarkWindow(m_hWnd);  // for a second start to find
    SetTitle();
    // The window becomes 622x422 at 96 DPI.
    SetBackground(LoadSkin(IDB_SKIN_BACKGROUND, {}), m_preload.TakeScaled(m_nDpi));
    SkinAtDpi();

    // Options page.
    // EN_CHANGE runs the folder check, which shows or hides the error: an
    // earlier installation's folder may be a rejected one.
    m_editInstallDir.SetWindowText(m_run.InstallDir());
    m_chkTaskbar.SetCheck(1);
    m_chkAgree.SetCheck(1);
    m_chkAgree.m_crText = kGreyText;
    UpdateInstallButton();  // the folder was checked before the box was ticked

    m_linkLicense.m_crText = kGreyText;
    m_linkLicense.m_crHover = kLinkHover;
    m_linkLicense.m_bHoverColor = TRUE;
    m_linkLicense.m_bHandCursor = TRUE;
    m_linkLicense.m_bUnderline = TRUE;
    m_linkLicense.ModifyStyle(0, SS_NOTIFY);  // clicks reach the dialog as STN_CLICKED

    // Progress page; its images and the finish page's come with Install
    // (SkinLaterPages), so that the window shows sooner.
    m_progress.ShowWindow(SW_HIDE);
    m_staticStatus.m_crText = kGreyText;
    m_staticPercent.m_crText = kBlackText;
    m_staticStatus.ShowWindow(SW_HIDE);
    m_staticPercent.ShowWindow(SW_HIDE);

    // Finish page.
    m_staticDoneTitle.m_crText = kBlackText;
    m_staticDoneHint.m_crText = kGreyText;
    m_staticDoneTitle.ShowWindow(SW_HIDE);
    m_staticDoneHint.ShowWindow(SW_HIDE);
    m_chkRunClient.SetCheck(1);
    m_chkRunClient.ShowWindow(SW_HIDE);
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
    // fails, the download fails with it. A proxy's login prompt may come
    // from now on, over this window.
    m_run.Signals().ProxyLogin().SetPrompt(this);
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
    SkinLaterPagesAtDpi();
}

void CInstallerDlg::SkinLaterPagesAtDpi() {
    // In their places already: the images are drawn at their sizes.
    CRect rc;
    m_progress.GetWindowRect(&rc);
    const SIZE bar = {rc.Width(), rc.Height()};
    m_progress.SetImages(LoadSkin(IDB_SKIN_PROGRESS_TRACK, bar), LoadSkin(IDB_SKIN_PROGRESS_FILL, bar));  // the bar keeps both
    SkinCheckBox(m_chkRunClient);
    SkinButton(m_btnFinish, IDB_SKIN_FINISH);
}

void CInstallerDlg::OnInstallReport(WPARAM code, LPARAM lParam) { PostMessage(WM_INSTALL_NOTIFY, code, lParam); }

BOOL CInstallerDlg::OnProxyPromptWanted() { return PostMessage(WM_PROXY_PROMPT); }

LRESULT CInstallerDlg::OnProxyPrompt(WPARAM, LPARAM) {
    // Shown here, on the window's thread: the prompt is modal over the
    // window. The request that asked waits meanwhile, and keeps its handle
    // open until the answer.
    CProxyLogin& login = m_run.Signals().ProxyLogin();
    HINTERNET hRequest = nullptr;
    if (login.TakePrompt(&hRequest)) login.AnswerPrompt(ShowProxyLoginPrompt(m_hWnd, hRequest));
    return 0;
}

LRESULT CInstallerDlg::OnDestroyWindow(WPARAM, LPARAM) {
    // The run's threads may still work; from here on they report nothing,
    // so that nothing is posted to a window that is gone, and no prompt is
    // asked of it.
    m_run.Signals().ProxyLogin().SetPrompt(nullptr);
    m_run.Stop();
    CSingleInstance::UnmarkWindow(m_hWnd);
    return Default();
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
