// Starts a program with the limited half of this program's own token (its
// linked token), as Windows gives the programs a person starts with UAC on,
// and waits for its end: limited_start.exe PROGRAM [ARGUMENTS...]. Prints
// the token it used ("limited" or "own" when the token has no linked one)
// and ends with the program's exit code, or 255 when it could not start it.
#include <windows.h>
#include <cstdio>
#include <cwchar>

int wmain() {
    // The command line after this program's own name.
    const wchar_t* rest = GetCommandLineW();
    const wchar_t end = *rest == L'"' ? L'"' : L' ';
    rest = wcschr(rest + 1, end);
    if (!rest) return 255;
    rest += 1 + (end == L'"');
    while (*rest == L' ') ++rest;
    wchar_t command[4096];
    if (!*rest || wcslen(rest) >= 4096) return 255;
    wcscpy(command, rest);

    HANDLE own = nullptr, primary = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY, &own))
        return 255;
    TOKEN_LINKED_TOKEN linked = {};
    DWORD cb = 0;
    const bool limited = GetTokenInformation(own, TokenLinkedToken, &linked, sizeof(linked), &cb) && linked.LinkedToken;
    if (!DuplicateTokenEx(limited ? linked.LinkedToken : own, MAXIMUM_ALLOWED, nullptr, SecurityImpersonation,
                          TokenPrimary, &primary))
        return 255;
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessAsUserW(primary, nullptr, command, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        fwprintf(stderr, L"limited_start: CreateProcessAsUserW failed, error %lu\n", GetLastError());
        return 255;
    }
    wprintf(L"%ls\n", limited ? L"limited" : L"own");
    fflush(stdout);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 255;
    GetExitCodeProcess(pi.hProcess, &code);
    return static_cast<int>(code);
}
