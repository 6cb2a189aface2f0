#include "Download.h"
#include "AsciiText.h"
#include "HttpRequest.h"
#include "InstallNotify.h"
#include "InstallerDlg.h"
#include "WorkerStop.h"
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <memory>
#include <new>

namespace {

// Per read; small reads cost more in call overhead than they save.
const DWORD kChunkBytes = 64 * 1024;

// Looking at the stop signal is a round trip to the Wine server, dearer than
// a fast read; once in this many milliseconds keeps the stop prompt.
const DWORD kStopCheckMs = 15;

BOOL IsDeviceName(const wchar_t* name) {
    // Windows reads the part before the first dot, trailing blanks dropped.
    size_t len = wcscspn(name, L".");
    while (len > 0 && name[len - 1] == L' ') --len;
    static const wchar_t* const kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t* device : kDevices)
        if (EqualsAsciiNoCase(name, len, device)) return TRUE;
    if (len == 4 && (EqualsAsciiNoCase(name, 3, L"COM") || EqualsAsciiNoCase(name, 3, L"LPT"))) {
        const wchar_t n = name[3];
        return (n >= L'1' && n <= L'9') || n == 0x00B9 || n == 0x00B2 || n == 0x00B3;
    }
    return FALSE;
}

// The download's target file, opened with the Win32 calls so that every
// write reports how much really reached the file.
class CTargetFile {
public:
    ~CTargetFile() { Close(); }
    BOOL Create(const wchar_t* path) {  // created or truncated, no sharing
        m_h = ::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        return m_h != INVALID_HANDLE_VALUE;
    }
    BOOL OpenForAppend(const wchar_t* path, LONGLONG* size) {  // others may read, not write
        m_h = ::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
        LARGE_INTEGER end = {};
        if (m_h == INVALID_HANDLE_VALUE || !::SetFilePointerEx(m_h, end, &end, FILE_END)) return FALSE;
        *size = end.QuadPart;
        return TRUE;
    }
    BOOL Empty() {
        LARGE_INTEGER zero = {};
        return ::SetFilePointerEx(m_h, zero, nullptr, FILE_BEGIN) && ::SetEndOfFile(m_h);
    }
    // A failed or short write cuts the file after the bytes that were
    // written, so that its size stays a sound resume point.
    BOOL Write(const void* data, DWORD cb) {
        DWORD written = 0;
        if (::WriteFile(m_h, data, cb, &written, nullptr) && written == cb) return TRUE;
        ::SetEndOfFile(m_h);
        return FALSE;
    }
    void Close() {
        if (m_h != INVALID_HANDLE_VALUE) ::CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_h = INVALID_HANDLE_VALUE;
};

}  // namespace

BOOL IsPlainFileName(const wchar_t* name) {
    const size_t len = wcsnlen(name, kETagChars);
    if (len == 0 || len >= kETagChars) return FALSE;
    for (size_t i = 0; i < len; ++i)
        if (name[i] < 0x20 || wcschr(L"\\/:*?\"<>|", name[i])) return FALSE;
    if (name[len - 1] == L'.' || name[len - 1] == L' ') return FALSE;  // also "." and ".."
    return !IsDeviceName(name);
}

BOOL ExtractETag(const char* rawHeaders, wchar_t* etag, size_t cchETag) {
    etag[0] = L'\0';
    const char* tag = strstr(rawHeaders, "ETag:");
    const char* open = tag ? strchr(tag, '"') : nullptr;
    const char* close = open ? strchr(open + 1, '"') : nullptr;
    if (!close || close == open + 1) return FALSE;

    wchar_t text[kETagChars + 1] = {};  // one more than kept: longer tags must not look short
    const int chars = ::MultiByteToWideChar(CP_ACP, 0, open + 1, static_cast<int>(close - open - 1), text,
                                            kETagChars);
    if (chars <= 0 || !IsPlainFileName(text) || static_cast<size_t>(chars) >= cchETag) return FALSE;
    wmemcpy(etag, text, chars + 1);
    return TRUE;
}

BOOL MakePartialPath(const wchar_t* path, const wchar_t* etag, wchar_t* partial, size_t cchPartial) {
    const wchar_t* sep = wcsrchr(path, L'\\');
    if (!sep) sep = wcsrchr(path, L'/');
    if (!sep) return FALSE;
    const size_t folderLen = static_cast<size_t>(sep - path);
    const size_t etagLen = wcslen(etag);
    if (folderLen + 1 + etagLen >= cchPartial) return FALSE;
    wmemcpy(partial, path, folderLen);
    partial[folderLen] = L'\\';
    wmemcpy(partial + folderLen + 1, etag, etagLen + 1);
    return TRUE;
}

BOOL DownloadPackage(const wchar_t* url, const wchar_t* path, HWND hWndNotify, int* pnPercent) {
    CHttpRequest request;
    DWORD length = 0;
    if (!request.Send(url, &length)) return FALSE;
    if (length == 0) return FALSE;  // no package, and the percentage would divide by it

    char rawHeaders[256] = {};
    request.QueryRawHeaders(rawHeaders, sizeof(rawHeaders));
    wchar_t etag[kETagChars] = {};
    const BOOL resumable = ExtractETag(rawHeaders, etag, kETagChars);

    CTargetFile file;
    wchar_t partial[260] = {};
    LONGLONG total = 0;
    if (!resumable) {
        if (!file.Create(path)) return FALSE;
    } else {
        LONGLONG size = 0;
        if (!MakePartialPath(path, etag, partial, _countof(partial)) || !file.OpenForAppend(partial, &size))
            return FALSE;
        if (size == static_cast<LONGLONG>(length)) {  // complete from an earlier run
            file.Close();
            return ::MoveFileExW(partial, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        }
        // More than the package cannot be continued: start again from nothing.
        if (size > static_cast<LONGLONG>(length)) {
            if (!file.Empty()) return FALSE;
            size = 0;
        }
        wchar_t number[32], header[64];
        _snwprintf_s(number, _countof(number), _TRUNCATE, L"%lld", size);
        _snwprintf_s(header, _countof(header), _TRUNCATE, L"Range: bytes=%ls-\r\n", number);
        if (!request.Resend(header)) return FALSE;

        // Only the rest of the package from the offset continues the file;
        // a whole package (a server that ignores Range) replaces it. Other
        // replies would put foreign bytes into it.
        int status = 0;
        ULONGLONG first = 0;
        if (!request.QueryStatus(&status)) return FALSE;
        if (status == 206 && request.QueryRangeStart(&first) && first == static_cast<ULONGLONG>(size)) {
            total = size;
        } else if (status == 200) {
            if (!file.Empty()) return FALSE;
        } else {
            return FALSE;
        }
    }

    std::unique_ptr<BYTE[]> chunk(new (std::nothrow) BYTE[kChunkBytes]);
    if (!chunk) return FALSE;
    BOOL complete = TRUE;
    DWORD lastStopCheck = ::GetTickCount() - kStopCheckMs;
    for (;;) {
        DWORD read = 0;
        if (!request.Read(chunk.get(), kChunkBytes, &read)) break;
        if (read && !file.Write(chunk.get(), read)) {
            complete = FALSE;
            break;
        }
        total += read;
        if (::GetTickCount() - lastStopCheck >= kStopCheckMs) {
            lastStopCheck = ::GetTickCount();
            if (IsInstallStopping()) {  // the dialog is closing: keep what came, touch nothing of it
                complete = FALSE;
                break;
            }
        }
        const int percent = static_cast<int>(total * 100 / static_cast<LONGLONG>(length));
        if (percent != *pnPercent) {
            *pnPercent = percent;
            PostInstallNotify(hWndNotify, INSTALL_NOTIFY_PROGRESS, percent);
        }
        if (!request.Continue(static_cast<ULONGLONG>(total), read)) break;
    }
    file.Close();
    if (!complete || total < static_cast<LONGLONG>(length)) return FALSE;
    if (!resumable) return TRUE;

    const BOOL moved = ::MoveFileExW(partial, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    PostInstallNotify(hWndNotify, INSTALL_NOTIFY_PROGRESS, *pnPercent);
    return moved;
}

BOOL CInstallerDlg::DownloadFile(const wchar_t* url, const wchar_t* path) {
    return DownloadPackage(url, path, m_hWnd, &m_nDownloadPercent);
}
