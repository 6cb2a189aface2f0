#include "InstallerDlg.h"
#include "InstallerPaths.h"
#include <shlobj.h>
#include <cwchar>

CInstallerDlg::CInstallerDlg(CWnd* pParent) : CDialog(IDD_INSTALLER_DIALOG, pParent) {
    m_nDownloadPercent = 0;
    m_hIcon = ::LoadIconW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(IDR_MAINFRAME));

    memset(&m_osvi, 0, sizeof(m_osvi));
    m_osvi.dwOSVersionInfoSize = sizeof(m_osvi);
    ::GetVersionExW(&m_osvi);

    wcsncpy_s(m_szInstallDir, _countof(m_szInstallDir), L"C:\\velmora", _TRUNCATE);

    // The package URL from the vendor's upgrade manifest; stays empty when
    // the query fails, and the download then fails with it.
    QueryUpgradeInfo(m_szDownloadUrl);

    // Download folder: Documents\CorvaneVelmora\, created when missing.
    LPITEMIDLIST pidl = nullptr;
    if (SUCCEEDED(::SHGetFolderLocation(nullptr, CSIDL_PERSONAL, nullptr, 0, &pidl)) && pidl) {
        if (::SHGetPathFromIDListW(pidl, m_szDownloadFile) && MakeDownloadFolder(m_szDownloadFile, 260)) {
            DWORD attr = ::GetFileAttributesW(m_szDownloadFile);
            if (attr == INVALID_FILE_ATTRIBUTES || !(attr & FILE_ATTRIBUTE_DIRECTORY))
                ::CreateDirectoryW(m_szDownloadFile, nullptr);
        } else {
            m_szDownloadFile[0] = L'\0';
        }
        ::CoTaskMemFree(pidl);
    }
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
