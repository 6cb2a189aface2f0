// The install worker: download, silent setup and post-install options on
// one thread, reported to the dialog by posted WM_INSTALL_NOTIFY messages.
//
// The dialog's Install command starts it with
//     StartInstallWorker(InstallThreadProc, this);   // WorkerStop.h
// and the application ends it with EndInstallWorker after the dialog ended.
#pragma once
#include "InstallNotify.h"
#include "WorkerStop.h"

// Thread entry; the parameter is the CInstallerDlg. Returns 0.
DWORD WINAPI InstallThreadProc(LPVOID pParam);

// One install run for the dialog pDlg (a CInstallerDlg, or in tests a class
// derived from it with scripted steps). The worker never touches a control:
// it reads the frozen install state and posts to the window captured at the
// start. Exactly one of COMPLETE and FAILED is posted, as the last post,
// unless the dialog ended first (then nothing is posted). The package is
// deleted in every outcome (a setup left running after a stop holds its
// package open, and the delete then fails without harm).
template <class TDlg>
DWORD RunInstallWorker(TDlg* pDlg) {
    const HWND hWnd = pDlg->GetSafeHwnd();
    if (!pDlg->DownloadFile(pDlg->m_szDownloadUrl, pDlg->m_szDownloadFile) || IsInstallStopping()) {
        PostInstallNotify(hWnd, INSTALL_NOTIFY_FAILED, 0);
    } else if (!pDlg->RunSetup()) {
        PostInstallNotify(hWnd, INSTALL_NOTIFY_FAILED, 0);
    } else if (EnterInstallFinishing()) {
        PostInstallNotify(hWnd, INSTALL_NOTIFY_COMPLETE, 0);
        pDlg->ApplyTaskbarOption();
        pDlg->ApplyAutoRunOption();
    }

    ::DeleteFileW(pDlg->m_szDownloadFile);
    return 0;
}
