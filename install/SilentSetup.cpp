#include "install/SilentSetup.h"
#include "framework/afxfile.h"
#include "framework/afxreg.h"
#include "install/InstallWorker.h"
#include <cstring>

BOOL IsUacEnabled() {
    CRegKey key;
    DWORD dwValue = 0;
    return key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\",
                    KEY_READ) == ERROR_SUCCESS &&
           key.QueryDWORDValue(L"EnableLUA", &dwValue) && dwValue == 1;
}

const wchar_t* ElevationVerb(DWORD dwMajorVersion) {
    return (dwMajorVersion > 5 && IsUacEnabled()) ? L"runas" : L"open";
}

void PrepareShellExecute(SHELLEXECUTEINFOW* sei, DWORD dwMajorVersion, const wchar_t* program,
                         const wchar_t* parameters) {
    memset(sei, 0, sizeof(*sei));
    sei->cbSize = sizeof(*sei);
    sei->fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    sei->lpVerb = ElevationVerb(dwMajorVersion);
    sei->lpFile = program;
    sei->lpParameters = parameters;
    sei->nShow = SW_HIDE;
}

BOOL IsSetupExitSuccess(DWORD dwExitCode) { return dwExitCode == 0; }

BOOL FormatSetupParameters(const wchar_t* folder, wchar_t (&params)[COMMAND_CHARS]) {
    return FormatWhole(params, L"/DIR=\"%ls\\\" /verysilent /norestart", folder);
}

BOOL ShellExecuteAndWait(const wchar_t* program, const wchar_t* parameters, DWORD dwMajorVersion) {
    SHELLEXECUTEINFOW sei;
    PrepareShellExecute(&sei, dwMajorVersion, program, parameters);
    if (!::ShellExecuteExW(&sei)) return FALSE;

    DWORD dwExitCode = SETUP_EXIT_UNKNOWN;
    CHandle process(sei.hProcess);
    if (process.IsValid()) {
        // The dialog can end while the setup runs: then stop waiting and
        // leave the setup to finish on its own.
        HANDLE handles[2] = {process, GetInstallStopEvent()};
        const DWORD dwWait = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (dwWait == WAIT_OBJECT_0 + 1) return FALSE;
        if (dwWait == WAIT_FAILED) ::WaitForSingleObject(process, INFINITE);
        ::GetExitCodeProcess(process, &dwExitCode);
    }
    return IsSetupExitSuccess(dwExitCode);
}

BOOL RunSetupPackage(const wchar_t* package, const wchar_t* folder, DWORD dwMajorVersion, HWND hWndNotify) {
    const DWORD dwAttr = ::GetFileAttributesW(package);
    if (dwAttr == INVALID_FILE_ATTRIBUTES || (dwAttr & FILE_ATTRIBUTE_DIRECTORY)) return FALSE;
    PostInstallNotify(hWndNotify, INSTALL_NOTIFY_SETUP_STARTED, 0);

    wchar_t params[COMMAND_CHARS];
    if (!FormatSetupParameters(folder, params)) return FALSE;
    return ShellExecuteAndWait(package, params, dwMajorVersion);
}
