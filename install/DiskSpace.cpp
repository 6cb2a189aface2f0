#include "install/DiskSpace.h"
#include "framework/BoundedText.h"
#include "install/SupportLog.h"
#include <cwchar>

BOOL GetFreeBytes(const wchar_t* path, ULONGLONG* pFree) {
    wchar_t folder[PATH_CHARS];
    if (!CopyWhole(folder, path)) return FALSE;
    for (;;) {
        ULARGE_INTEGER free = {};
        if (::GetDiskFreeSpaceExW(folder, &free, nullptr, nullptr)) {
            *pFree = free.QuadPart;
            return TRUE;
        }
        // Up one folder; a drive root ("C:\") is the last try.
        size_t len = wcslen(folder);
        while (len > 0 && folder[len - 1] == L'\\') folder[--len] = L'\0';
        wchar_t* sep = wcsrchr(folder, L'\\');
        if (!sep) return FALSE;
        sep[1] = L'\0';
        if (sep - folder > 2) sep[0] = L'\0';
    }
}

BOOL CheckDiskSpace(const wchar_t* stagingFolder, ULONGLONG stillToDownload, const wchar_t* installFolder,
                    ULONGLONG installBytes, CInstallFailure* pFailure) {
    struct Need { const wchar_t* path; ULONGLONG bytes; } needs[] = {
        {stagingFolder, stillToDownload + kStagingReserveBytes},
        {installFolder, installBytes},
    };
    for (const Need& need : needs) {
        ULONGLONG free = 0;
        if (!need.path || !need.path[0] || !GetFreeBytes(need.path, &free) || free >= need.bytes) continue;
        SupportLog(L"disk: %ls needs %llu bytes, %llu free", need.path, need.bytes, free);
        SetDiskFailure(pFailure, need.bytes, free);
        return FALSE;
    }
    return TRUE;
}
