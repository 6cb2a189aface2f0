#include "SilentSetup.h"
#include "InstallerDlg.h"
#include "InstallNotify.h"
#include "WorkerStop.h"
#include <cwchar>

BOOL IsUacEnabled() {
    HKEY hKey = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System\\", 0,
                        KEY_READ, &hKey) != ERROR_SUCCESS)
        return FALSE;
    DWORD dwValue = 0;
    DWORD cbValue = sizeof(dwValue);
    BOOL bEnabled = ::RegQueryValueExW(hKey, L"EnableLUA", nullptr, nullptr, reinterpret_cast<BYTE*>(&dwValue),
                                       &cbValue) == ERROR_SUCCESS &&
                    dwValue == 1;
    ::RegCloseKey(hKey);
    return bEnabled;
}

const wchar_t* ElevationVerb(DWORD dwMajorVersion) {
    return (dwMajorVersion > 5 && IsUacEnabled()) ? L"runas" : L"open";
}

void PrepareShellExecute(SHELLEXECUTEINFOW* sei, DWORD dwMajorVersion, const wchar_t* program,
                         const wchar_t* parameters) {
    memset(sei, 0, sizeof(*sei));
    sei->cbSize = sizeof(*sei);
    sei->fMask = SEE_MASK_NOCLOSEPROCESS;
    sei->lpVerb = ElevationVerb(dwMajorVersion);
    sei->lpFile = program;
    sei->lpParameters = parameters;
    sei->nShow = SW_HIDE;
}

BOOL IsSetupExitSuccess(DWORD dwExitCode) { return dwExitCode < 1 || dwExitCode > 8; }

BOOL FormatSetupParameters(const wchar_t* folder, wchar_t* params, size_t cchParams) {
    int n = swprintf(params, cchParams, L"/DIR=\"%ls\\\" /verysilent /norestart", folder);
    if (n < 0 || static_cast<size_t>(n) >= cchParams) {
        if (cchParams) params[0] = L'\0';
        return FALSE;
    }
    return TRUE;
}

BOOL CInstallerDlg::ShellExecuteAndWait(const wchar_t* program, const wchar_t* parameters) {
    SHELLEXECUTEINFOW sei;
    PrepareShellExecute(&sei, m_osvi.dwMajorVersion, program, parameters);
    if (!::ShellExecuteExW(&sei)) return FALSE;

    DWORD dwExitCode = SETUP_EXIT_UNKNOWN;
    if (sei.hProcess) {
        // The dialog can end while the setup runs: then stop waiting and
        // leave the setup to finish on its own.
        HANDLE handles[2] = {sei.hProcess, GetInstallStopEvent()};
        DWORD dwWait = ::WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (dwWait == WAIT_OBJECT_0 + 1) {
            ::CloseHandle(sei.hProcess);
            return FALSE;
        }
        if (dwWait == WAIT_FAILED) ::WaitForSingleObject(sei.hProcess, INFINITE);
        ::GetExitCodeProcess(sei.hProcess, &dwExitCode);
        ::CloseHandle(sei.hProcess);
    }
    return IsSetupExitSuccess(dwExitCode);
}

BOOL CInstallerDlg::RunSetup() {
    DWORD dwAttr = ::GetFileAttributesW(m_szDownloadFile);
    if (dwAttr == INVALID_FILE_ATTRIBUTES || (dwAttr & FILE_ATTRIBUTE_DIRECTORY)) return FALSE;
    PostInstallNotify(GetSafeHwnd(), INSTALL_NOTIFY_SETUP_STARTED, 0);

    wchar_t params[512];
    if (!FormatSetupParameters(m_szInstallDir, params, _countof(params))) return FALSE;
    return ShellExecuteAndWait(m_szDownloadFile, params);
}
