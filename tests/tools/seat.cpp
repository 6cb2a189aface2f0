// The registry side of a warm test session (tests/e2e/seats.py), run inside
// that session:
//
//   seat save DIR        the registry's saved branches (HKLM\Software,
//                        HKLM\System, HKEY_USERS) into DIR\software.reg,
//                        system.reg and users.reg, as Wine's server writes
//                        its own files: one request per branch
//   seat apply FILE      the changes FILE lists, one per line (UTF-8, fields
//                        separated by tabs; paths from HKLM or HKU, e.g.
//                        HKLM\Software\Corvane):
//                          delete  PATH                the key and all below it
//                          create  PATH                the key
//                          set     PATH NAME TYPE HEX  a value (NAME "@" is the
//                                                      default value; HEX its bytes)
//                          unset   PATH NAME           a value
//   seat serve FILE SECONDS
//                        the session's keeper: reads "save DIR" and "apply
//                        FILE" lines from stdin and answers each with what it
//                        says on failure, "\x04" and its exit code on stdout,
//                        so that a reset starts no program; stays until FILE
//                        is gone or has not been touched for SECONDS (Wine
//                        ends a session's services once its last user process
//                        has ended, and its desktop once the last process
//                        using it has)
//
// Always the registry's own view (KEY_WOW64_64KEY): the 32-bit view is the
// Wow6432Node branch it holds. Exit code 0 on success, 1 on a failure (a
// line on stderr says which), 2 on usage errors.
#include <windows.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const REGSAM kView = KEY_WOW64_64KEY;
// Where failures are told: stderr, or stdout while serving.
FILE* g_said = nullptr;

BOOL EnablePrivilege(const wchar_t* name) {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)) return FALSE;
    TOKEN_PRIVILEGES tp = {};
    tp.PrivilegeCount = 1;
    tp.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    BOOL ok = LookupPrivilegeValueW(nullptr, name, &tp.Privileges[0].Luid) &&
              AdjustTokenPrivileges(token, FALSE, &tp, 0, nullptr, nullptr) && GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return ok;
}

int Save(const std::wstring& dir) {
    if (!EnablePrivilege(L"SeBackupPrivilege")) {
        fprintf(g_said, "seat: no backup privilege\n");
        return 1;
    }
    struct Branch { HKEY root; const wchar_t* path; const wchar_t* file; };
    const Branch branches[] = {{HKEY_LOCAL_MACHINE, L"Software", L"software.reg"},
                               {HKEY_LOCAL_MACHINE, L"System", L"system.reg"},
                               {HKEY_USERS, L"", L"users.reg"}};
    for (const Branch& b : branches) {
        HKEY key = nullptr;
        LONG rc = RegOpenKeyExW(b.root, b.path, 0, KEY_READ | kView, &key);
        const std::wstring file = dir + L"\\" + b.file;
        DeleteFileW(file.c_str());  // RegSaveKey refuses an existing file
        if (rc == ERROR_SUCCESS) {
            rc = RegSaveKeyW(key, file.c_str(), nullptr);
            RegCloseKey(key);
        }
        if (rc != ERROR_SUCCESS) {
            fprintf(g_said, "seat: saving %ls failed (%ld)\n", b.file, rc);
            return 1;
        }
    }
    return 0;
}

std::wstring Wide(const std::string& s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], n);
    return w;
}

std::vector<std::wstring> Fields(const std::string& line) {
    std::vector<std::wstring> out;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        out.push_back(Wide(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
        if (tab == std::string::npos) return out;
        start = tab + 1;
    }
}

// "HKLM\Software\X" → (HKEY_LOCAL_MACHINE, "Software\X").
BOOL Split(const std::wstring& path, HKEY* root, std::wstring* rest) {
    const size_t slash = path.find(L'\\');
    const std::wstring head = path.substr(0, slash);
    *rest = slash == std::wstring::npos ? L"" : path.substr(slash + 1);
    if (head == L"HKLM") *root = HKEY_LOCAL_MACHINE;
    else if (head == L"HKU") *root = HKEY_USERS;
    else return FALSE;
    return TRUE;
}

std::vector<BYTE> Bytes(const std::wstring& hex) {
    std::vector<BYTE> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back((BYTE)wcstoul(hex.substr(i, 2).c_str(), nullptr, 16));
    return out;
}

LONG ApplyLine(const std::vector<std::wstring>& f) {
    HKEY root = nullptr;
    std::wstring path;
    if (f.size() < 2 || !Split(f[1], &root, &path)) return ERROR_INVALID_PARAMETER;
    const std::wstring& op = f[0];
    if (op == L"delete") {
        HKEY key = nullptr;
        LONG rc = RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | kView, &key);
        if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) return rc;
        rc = RegDeleteTreeW(key, nullptr);
        RegCloseKey(key);
        return rc == ERROR_SUCCESS ? RegDeleteKeyExW(root, path.c_str(), kView, 0) : rc;
    }
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | kView, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    const wchar_t* name = f.size() > 2 && f[2] != L"@" ? f[2].c_str() : nullptr;
    if (op == L"set" && f.size() == 5) {
        const std::vector<BYTE> data = Bytes(f[4]);
        rc = RegSetValueExW(key, name, 0, wcstoul(f[3].c_str(), nullptr, 10), data.empty() ? nullptr : data.data(),
                            (DWORD)data.size());
    } else if (op == L"unset" && f.size() == 3) {
        rc = RegDeleteValueW(key, name);
        if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
    } else if (op != L"create") {
        rc = ERROR_INVALID_PARAMETER;
    }
    RegCloseKey(key);
    return rc;
}

int Apply(const std::wstring& file) {
    HANDLE h = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        fprintf(g_said, "seat: cannot open %ls\n", file.c_str());
        return 1;
    }
    std::string text(GetFileSize(h, nullptr), '\0');
    DWORD read = 0;
    const BOOL ok = text.empty() || ReadFile(h, &text[0], (DWORD)text.size(), &read, nullptr);
    CloseHandle(h);
    if (!ok) return 1;
    int failed = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty()) continue;
        const LONG rc = ApplyLine(Fields(line));
        if (rc != ERROR_SUCCESS) {
            fprintf(g_said, "seat: %s: error %ld\n", line.substr(0, 200).c_str(), rc);
            failed = 1;
        }
    }
    return failed;
}

ULONGLONG Now() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return ((ULONGLONG)ft.dwHighDateTime << 32) | ft.dwLowDateTime;
}

struct Lease {
    std::wstring file;
    ULONGLONG seconds;
};

DWORD WINAPI WatchLease(void* param) {
    const Lease* lease = static_cast<const Lease*>(param);
    for (;;) {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(lease->file.c_str(), GetFileExInfoStandard, &data)) ExitProcess(0);
        const ULONGLONG touched =
            ((ULONGLONG)data.ftLastWriteTime.dwHighDateTime << 32) | data.ftLastWriteTime.dwLowDateTime;
        if (Now() > touched + lease->seconds * 10000000ULL) ExitProcess(0);
        Sleep(2000);
    }
}

int Serve(const std::wstring& file, ULONGLONG seconds) {
    // A user of the desktop: Wine closes a desktop, and its explorer
    // process, a moment after its last user has gone.
    if (!GetDesktopWindow()) return 1;
    static Lease lease;
    lease.file = file;
    lease.seconds = seconds;
    if (!CreateThread(nullptr, 0, WatchLease, &lease, 0, nullptr)) return 1;
    g_said = stdout;
    const HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    for (;;) {
        char buf[4096];
        DWORD got = 0;
        if (!ReadFile(in, buf, sizeof buf, &got, nullptr) || got == 0) return 0;
        pending.append(buf, got);
        size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            const std::vector<std::wstring> f = Fields(pending.substr(0, end));
            pending.erase(0, end + 1);
            int rc = 2;
            if (f.size() == 2 && f[0] == L"save") rc = Save(f[1]);
            else if (f.size() == 2 && f[0] == L"apply") rc = Apply(f[1]);
            printf("\x04%d\n", rc);
            fflush(stdout);
        }
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    g_said = stderr;
    const std::wstring cmd = argc > 1 ? argv[1] : L"";
    if (cmd == L"save" && argc == 3) return Save(argv[2]);
    if (cmd == L"apply" && argc == 3) return Apply(argv[2]);
    if (cmd == L"serve" && argc == 4) return Serve(argv[2], wcstoull(argv[3], nullptr, 10));
    fprintf(stderr, "usage: seat save DIR | seat apply FILE | seat serve FILE SECONDS\n");
    return 2;
}
