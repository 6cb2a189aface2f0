#include "install/SupportLog.h"
#include "install/VendorServer.h"
#include "framework/afxfile.h"
#include "velmora_config.h"
#include <cstdarg>
#include <cwchar>

namespace {

// Lines from the manifest query, the worker and the dialog do not interleave.
CRITICAL_SECTION* LogLock() {
    static CRITICAL_SECTION s_lock;
    static LONG s_state = 0;  // 0 new, 1 being set up, 2 ready
    if (::InterlockedCompareExchange(&s_state, 1, 0) == 0) {
        ::InitializeCriticalSection(&s_lock);
        ::InterlockedExchange(&s_state, 2);
    }
    while (s_state != 2) ::Sleep(0);
    return &s_lock;
}

}  // namespace

BOOL GetSupportLogPath(wchar_t (&path)[PATH_CHARS]) {
    wchar_t temp[PATH_CHARS];
    const DWORD len = ::GetTempPathW(PATH_CHARS, temp);
    return len > 0 && len < PATH_CHARS && JoinPath(path, temp, L"VelmoraInstaller.log");
}

namespace {

// The version Windows really is. GetVersionExW tells a program whose
// manifest lists no later Windows 6.2 on 8.1, 10 and 11; ntdll's own call
// does not. FALSE where it is missing (it is there from 2000 on).
BOOL GetRealVersion(OSVERSIONINFOW* osvi) {
    typedef LONG(WINAPI * RtlGetVersionProc)(OSVERSIONINFOW*);
    const HMODULE hNtdll = ::GetModuleHandleW(L"ntdll.dll");
    const auto pRtlGetVersion =
        hNtdll ? reinterpret_cast<RtlGetVersionProc>(::GetProcAddress(hNtdll, "RtlGetVersion")) : nullptr;
    *osvi = {};
    osvi->dwOSVersionInfoSize = sizeof(*osvi);
    return pRtlGetVersion && pRtlGetVersion(osvi) == 0;
}

}  // namespace

void StartSupportLog(const OSVERSIONINFOW& osvi) {
    wchar_t path[PATH_CHARS], old[PATH_CHARS];
    WIN32_FILE_ATTRIBUTE_DATA data = {};
    if (GetSupportLogPath(path) && ::GetFileAttributesExW(path, GetFileExInfoStandard, &data) &&
        (data.nFileSizeHigh || data.nFileSizeLow > kSupportLogMaxBytes)) {
        if (!FormatWhole(old, L"%.*ls.old.log", static_cast<int>(wcslen(path) - 4), path) ||
            !::MoveFileExW(path, old, MOVEFILE_REPLACE_EXISTING))
            ::DeleteFileW(path);
    }
    wchar_t server[SERVER_CHARS];
    GetVendorServer(server);
    OSVERSIONINFOW real;
    if (!GetRealVersion(&real)) real = osvi;
    SupportLog(L"Velmora installer %ls on Windows %lu.%lu.%lu %ls, reported to it as %lu.%lu.%lu, server %ls",
               VELMORA_INSTALLER_VERSION, real.dwMajorVersion, real.dwMinorVersion, real.dwBuildNumber,
               real.szCSDVersion, osvi.dwMajorVersion, osvi.dwMinorVersion, osvi.dwBuildNumber, server);
}

void SupportLog(const wchar_t* format, ...) {
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    wchar_t line[COMMAND_CHARS + 64], text[COMMAND_CHARS];
    va_list args;
    va_start(args, format);
    const BOOL formatted = FormatTextWhole(text, COMMAND_CHARS, format, args);
    va_end(args);
    if (!formatted && !CopyWhole(text, L"(a line too long to keep)")) return;
    if (!FormatWhole(line, L"%04u-%02u-%02u %02u:%02u:%02u.%03u %ls\r\n", now.wYear, now.wMonth, now.wDay, now.wHour,
                     now.wMinute, now.wSecond, now.wMilliseconds, text))
        return;
    char utf8[4 * (COMMAND_CHARS + 64)];
    const int cb = ::WideCharToMultiByte(CP_UTF8, 0, line, -1, utf8, sizeof(utf8), nullptr, nullptr);
    wchar_t path[PATH_CHARS];
    if (cb <= 1 || !GetSupportLogPath(path)) return;

    ::EnterCriticalSection(LogLock());
    CHandle file(::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    DWORD written = 0;
    if (file.IsValid()) ::WriteFile(file, utf8, static_cast<DWORD>(cb - 1), &written, nullptr);
    ::LeaveCriticalSection(LogLock());
}
