#include "app/InstallerApp.h"
#include "app/InstallerDlg.h"
#include "app/SingleInstance.h"
#include "install/InstallRun.h"
#include "install/SupportLog.h"
#include "skin/SkinPreload.h"
#include <commctrl.h>

CInstallerApp theApp;

namespace {

// Tells the person that the window could not be made, and why in the
// system's words: without it the program would just end, unseen.
void ReportWindowFailure(DWORD error) {
    wchar_t cause[COMMAND_CHARS] = {};
    DWORD len = ::FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0, cause,
                                 ARRAYSIZE(cause), nullptr);
    while (len > 0 && (cause[len - 1] == L'\r' || cause[len - 1] == L'\n' || cause[len - 1] == L' ')) --len;
    cause[len] = L'\0';
    SupportLog(L"window: the dialog cannot be created, error %lu (%ls)", error, cause);
    wchar_t log[PATH_CHARS], text[COMMAND_CHARS];
    if (!GetSupportLogPath(log)) log[0] = L'\0';
    if (!FormatWhole(text, L"安装向导的窗口无法创建。\n\n原因：%ls（错误代码 %lu）\n%ls", cause, error, log))
        FormatWhole(text, L"安装向导的窗口无法创建（错误代码 %lu）。", error);
    ::MessageBoxW(nullptr, text, L"无法启动安装向导", MB_OK | MB_ICONERROR);
}

// How long a second start waits for the first one's window, or for its end:
// longer than a slow start takes to show its window, and than a start whose
// window was closed takes to stop its two threads.
const DWORD kFirstStartWaitMs = 2 * INSTALL_STOP_GRACE_MS + 1000;

}  // namespace

BOOL CInstallerApp::InitInstance() {
    // A second start brings the first one's window back and ends (exit code
    // 0) before it touches anything: the run below reads the registry and
    // starts the support log, the dialog the download folder and the
    // network. The first start holds the mutex until it ends, its worker
    // included.
    CSingleInstance instance;
    HWND hFirst = nullptr;
    if (!instance.Claim(kFirstStartWaitMs, &hFirst)) {
        if (hFirst) CSingleInstance::BringToFront(hFirst);
        return FALSE;
    }

    INITCOMMONCONTROLSEX icc;
    icc.dwSize = sizeof(icc);
    icc.dwICC = ICC_WIN95_CLASSES;
    ::InitCommonControlsEx(&icc);

    CWinApp::InitInstance();

    // The run and the preloaded images outlive the dialog: the threads that
    // work on them may still run when it has ended.
    CInstallRun run;
    CSkinPreload preload;
    {
        CInstallerDlg dlg(run, preload);
        m_pMainWnd = &dlg;
        if (dlg.DoModal() == -1) {
            const DWORD error = ::GetLastError();
            ReportWindowFailure(error);
            m_nExitCode = error ? static_cast<int>(error) : 1;
        }
        m_pMainWnd = nullptr;
    }
    preload.End();  // the images a dialog that never showed did not take

    // The worker may still run: the window was closed during the download
    // or the setup, or Finish came while the options are applied. Stop it
    // (and the manifest query, if it still runs) and wait before the run
    // goes; one stuck in the network past the grace time is ended with the
    // process instead.
    if (!run.End(INSTALL_STOP_GRACE_MS)) ::ExitProcess(static_cast<UINT>(m_nExitCode));
    return FALSE;
}
