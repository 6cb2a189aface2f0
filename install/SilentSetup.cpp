#include "install/SilentSetup.h"
#include "framework/afxfile.h"
#include "framework/afxreg.h"
#include "install/SupportLog.h"
#include <cstring>
#include <cwchar>

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
    // A quote would end the folder and start switches of its own.
    if (wcschr(folder, L'"')) {
        params[0] = L'\0';
        return FALSE;
    }
    return FormatWhole(params, L"/DIR=\"%ls\\\" /verysilent /norestart", folder);
}

namespace {

// ShellExecuteExW; a test build refuses the elevation prompt, as a person
// may, while the file VELMORA_TEST_REFUSE_ELEVATION names exists: Wine
// shows no prompt to refuse.
BOOL StartProgram(SHELLEXECUTEINFOW* sei) {
#ifdef VELMORA_TEST_SEAMS
    wchar_t flag[PATH_CHARS];
    const DWORD n = ::GetEnvironmentVariableW(L"VELMORA_TEST_REFUSE_ELEVATION", flag, PATH_CHARS);
    if (n > 0 && n < PATH_CHARS && wcscmp(sei->lpVerb, L"runas") == 0 &&
        ::GetFileAttributesW(flag) != INVALID_FILE_ATTRIBUTES) {
        ::SetLastError(ERROR_CANCELLED);
        return FALSE;
    }
#endif
    return ::ShellExecuteExW(sei);
}

}  // namespace

BOOL ShellExecuteAndWait(const wchar_t* program, const wchar_t* parameters, DWORD dwMajorVersion,
                         const CRunSignals& signals, CInstallFailure* pFailure) {
    SHELLEXECUTEINFOW sei;
    PrepareShellExecute(&sei, dwMajorVersion, program, parameters);
    SupportLog(L"setup: %ls %ls %ls", sei.lpVerb, program, parameters ? parameters : L"");
    if (!StartProgram(&sei)) {
        const DWORD error = ::GetLastError();
        SupportLog(L"setup: not started, error %lu", error);
        SetInstallFailure(pFailure, error == ERROR_CANCELLED ? FAILURE_UAC : FAILURE_OTHER);
        return FALSE;
    }

    DWORD dwExitCode = SETUP_EXIT_UNKNOWN;
    CHandle process(sei.hProcess);
    if (process.IsValid()) {
        // The dialog can end while the setup runs: then stop waiting and
        // leave the setup to finish on its own.
        HANDLE handles[2] = {process, signals.StopEvent()};
        const DWORD dwWait = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (dwWait == WAIT_OBJECT_0 + 1) {
            SupportLog(L"setup: left running, the installer is closing");
            SetInstallFailure(pFailure, FAILURE_OTHER);
            return FALSE;
        }
        if (dwWait == WAIT_FAILED) ::WaitForSingleObject(process, INFINITE);
        ::GetExitCodeProcess(process, &dwExitCode);
    }
    SupportLog(L"setup: exit code %lu (0x%08lX)", dwExitCode, dwExitCode);
    if (IsSetupExitSuccess(dwExitCode)) return TRUE;
    SetInstallFailure(pFailure, FAILURE_SETUP, dwExitCode);
    return FALSE;
}

BOOL RunSetupPackage(const wchar_t* package, const wchar_t* folder, DWORD dwMajorVersion,
                     const CRunSignals& signals, CInstallFailure* pFailure) {
    SetInstallFailure(pFailure, FAILURE_OTHER);
    const DWORD dwAttr = ::GetFileAttributesW(package);
    if (dwAttr == INVALID_FILE_ATTRIBUTES || (dwAttr & FILE_ATTRIBUTE_DIRECTORY)) return FALSE;
    signals.Report(INSTALL_NOTIFY_SETUP_STARTED);

    wchar_t params[COMMAND_CHARS];
    if (!FormatSetupParameters(folder, params)) return FALSE;
    return ShellExecuteAndWait(package, params, dwMajorVersion, signals, pFailure);
}
