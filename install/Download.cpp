#include "install/Download.h"
#include "framework/afxfile.h"
#include "install/AsciiText.h"
#include "install/HttpRequest.h"
#include "install/InstallWorker.h"
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

// The raw header block is looked at only when it fits this buffer.
const DWORD kRawHeaderBytes = 256;

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
    BOOL Create(const wchar_t* path) {  // created or truncated, no sharing
        m_file.Attach(::CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        return m_file.IsValid();
    }
    BOOL OpenForAppend(const wchar_t* path, LONGLONG* size) {  // others may read, not write
        m_file.Attach(::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        LARGE_INTEGER end = {};
        if (!m_file.IsValid() || !::SetFilePointerEx(m_file, end, &end, FILE_END)) return FALSE;
        *size = end.QuadPart;
        return TRUE;
    }
    BOOL Empty() {
        LARGE_INTEGER zero = {};
        return ::SetFilePointerEx(m_file, zero, nullptr, FILE_BEGIN) && ::SetEndOfFile(m_file);
    }
    // A failed or short write cuts the file after the bytes that were
    // written, so that its size stays a sound resume point.
    BOOL Write(const void* data, DWORD cb) {
        DWORD written = 0;
        if (::WriteFile(m_file, data, cb, &written, nullptr) && written == cb) return TRUE;
        ::SetEndOfFile(m_file);
        return FALSE;
    }
    void Close() { m_file.Close(); }

private:
    CHandle m_file;
};

// Where the body goes: straight to the package path, or into the partial
// file named by the reply's ETag, which a later run continues.
struct CDownloadTarget {
    CTargetFile file;
    BOOL bResumable = FALSE;
    wchar_t szPartial[PATH_CHARS] = {};
    LONGLONG nTotal = 0;  // bytes of the package in the file
};

enum TargetState { TARGET_FAILED, TARGET_OPEN, TARGET_COMPLETE };

// Only the rest of the package from the offset continues a partial file; a
// whole package (a server that ignores Range) replaces it. Other replies
// would put foreign bytes into it.
BOOL AcceptRangedReply(CHttpRequest& request, CDownloadTarget* target, LONGLONG offset) {
    int status = 0;
    ULONGLONG first = 0;
    if (!request.QueryStatus(&status)) return FALSE;
    if (status == 206 && request.QueryRangeStart(&first) && first == static_cast<ULONGLONG>(offset)) {
        target->nTotal = offset;
        return TRUE;
    }
    return status == 200 && target->file.Empty();
}

// Opens the file the body goes to. Without a usable ETag that is the package
// path, fresh, and the first reply's body follows. With one it is the
// partial file: complete already (TARGET_COMPLETE, nothing more to
// transfer), or continued from its size by a second, ranged request; a
// partial file longer than the package starts again from nothing.
TargetState OpenTarget(CHttpRequest& request, DWORD length, const wchar_t* path, CDownloadTarget* target) {
    char rawHeaders[kRawHeaderBytes] = {};
    request.QueryRawHeaders(rawHeaders, sizeof(rawHeaders));
    wchar_t etag[kETagChars] = {};
    target->bResumable = ExtractETag(rawHeaders, etag);
    if (!target->bResumable) return target->file.Create(path) ? TARGET_OPEN : TARGET_FAILED;

    LONGLONG size = 0;
    if (!MakePartialPath(path, etag, target->szPartial) || !target->file.OpenForAppend(target->szPartial, &size))
        return TARGET_FAILED;
    if (size == static_cast<LONGLONG>(length)) {
        target->file.Close();
        return TARGET_COMPLETE;
    }
    if (size > static_cast<LONGLONG>(length)) {
        if (!target->file.Empty()) return TARGET_FAILED;
        size = 0;
    }
    wchar_t header[64];
    if (!FormatWhole(header, L"Range: bytes=%lld-\r\n", size) || !request.Resend(header) ||
        !AcceptRangedReply(request, target, size))
        return TARGET_FAILED;
    return TARGET_OPEN;
}

// Copies the reply's body into the target, posting each new whole percent.
// TRUE when the whole package arrived; a dropped connection, a failed write
// or the stop signal ends it early with what came kept in the file.
BOOL CopyBody(CHttpRequest& request, CDownloadTarget* target, DWORD length, HWND hWndNotify, int* pnPercent) {
    std::unique_ptr<BYTE[]> chunk(new (std::nothrow) BYTE[kChunkBytes]);
    if (!chunk) return FALSE;
    BOOL complete = TRUE;
    DWORD lastStopCheck = ::GetTickCount() - kStopCheckMs;
    for (;;) {
        DWORD read = 0;
        if (!request.Read(chunk.get(), kChunkBytes, &read)) break;
        if (read && !target->file.Write(chunk.get(), read)) {
            complete = FALSE;
            break;
        }
        target->nTotal += read;
        if (::GetTickCount() - lastStopCheck >= kStopCheckMs) {
            lastStopCheck = ::GetTickCount();
            if (IsInstallStopping()) {  // the dialog is closing: keep what came, touch nothing of it
                complete = FALSE;
                break;
            }
        }
        const int percent = static_cast<int>(target->nTotal * 100 / static_cast<LONGLONG>(length));
        if (percent != *pnPercent) {
            *pnPercent = percent;
            PostInstallNotify(hWndNotify, INSTALL_NOTIFY_PROGRESS, percent);
        }
        if (!request.Continue(static_cast<ULONGLONG>(target->nTotal), read)) break;
    }
    target->file.Close();
    return complete && target->nTotal >= static_cast<LONGLONG>(length);
}

BOOL MovePartialOntoPackage(const CDownloadTarget& target, const wchar_t* path) {
    return ::MoveFileExW(target.szPartial, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
}

}  // namespace

BOOL IsPlainFileName(const wchar_t* name) {
    const size_t len = wcsnlen(name, kETagChars);
    if (len == 0 || len >= kETagChars) return FALSE;
    for (size_t i = 0; i < len; ++i)
        if (name[i] < 0x20 || wcschr(L"\\/:*?\"<>|", name[i])) return FALSE;
    if (name[len - 1] == L'.' || name[len - 1] == L' ') return FALSE;  // also "." and ".."
    return !IsDeviceName(name);
}

BOOL ExtractETag(const char* rawHeaders, wchar_t (&etag)[kETagChars]) {
    etag[0] = L'\0';
    const char* tag = strstr(rawHeaders, "ETag:");
    const char* open = tag ? strchr(tag, '"') : nullptr;
    const char* close = open ? strchr(open + 1, '"') : nullptr;
    if (!close || close == open + 1) return FALSE;

    wchar_t text[kETagChars + 1] = {};  // one more than kept: longer tags must not look short
    const int chars = ::MultiByteToWideChar(CP_ACP, 0, open + 1, static_cast<int>(close - open - 1), text,
                                            kETagChars);
    if (chars <= 0 || !IsPlainFileName(text)) return FALSE;
    return CopyWhole(etag, text, static_cast<size_t>(chars));
}

BOOL MakePartialPath(const wchar_t* path, const wchar_t* etag, wchar_t (&partial)[PATH_CHARS]) {
    const wchar_t* sep = wcsrchr(path, L'\\');
    if (!sep) sep = wcsrchr(path, L'/');
    if (!sep) return FALSE;
    return FormatWhole(partial, L"%.*ls\\%ls", static_cast<int>(sep - path), path, etag);
}

BOOL DownloadPackage(const wchar_t* url, const wchar_t* path, HWND hWndNotify, int* pnPercent) {
    CHttpRequest request;
    DWORD length = 0;
    if (!request.Send(url, &length)) return FALSE;
    if (length == 0) return FALSE;  // no package, and the percentage would divide by it

    CDownloadTarget target;
    switch (OpenTarget(request, length, path, &target)) {
    case TARGET_FAILED:
        return FALSE;
    case TARGET_COMPLETE:  // from an earlier run: moved without progress
        return MovePartialOntoPackage(target, path);
    case TARGET_OPEN:
        break;
    }
    if (!CopyBody(request, &target, length, hWndNotify, pnPercent)) return FALSE;
    if (!target.bResumable) return TRUE;

    const BOOL moved = MovePartialOntoPackage(target, path);
    PostInstallNotify(hWndNotify, INSTALL_NOTIFY_PROGRESS, *pnPercent);
    return moved;
}
