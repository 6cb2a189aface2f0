// Stand-in for the client's setup package in tests. It keeps the package's
// side of the contract the way a 32-bit Inno Setup installer does, without
// ever opening a window:
//   - takes /DIR="<folder>\", /verysilent and /norestart, parsing quotes as
//     Inno Setup does (a quote only groups, a backslash never escapes);
//   - creates the folder, puts the launcher vlLauncher.exe there (carried as
//     resource 1) and the client's config\config.ini;
//   - registers the Uninstall entry with "Inno Setup: App Path" (the folder,
//     no trailing backslash) and "DisplayIcon" (the launcher), through the
//     plain key name, which WOW64 redirects for a 32-bit program;
//   - creates the desktop "Velmora.lnk" as a real shell link, and on major
//     version 5 or less also the Quick Launch one;
//   - exits with the code the test chooses.
//
// Environment:
//   VELMORA_STANDIN_LOG       file the run is recorded in (default
//                             C:\velmora-standin.log), UTF-8 lines:
//                               start <command line>
//                               args <command line after the program>
//                               dir <the /DIR value>
//                               switches verysilent=<0|1> norestart=<0|1>
//                               image <SHA-256 of its own file, in hex>
//                               done <exit code>   (after installing)
//   VELMORA_STANDIN_EXIT      exit code, default 0; "crash" ends it with a
//                             real access violation after installing
//   VELMORA_STANDIN_EXIT_FILE when set, the exit code is read from this file
//                             instead (missing file: 0), so that a test can
//                             take a failure away between two runs
//   VELMORA_STANDIN_DELAY_MS  wait before installing, default 0
#include <windows.h>
#include <wincrypt.h>
#include <shlobj.h>
#include <objbase.h>
#include <cwchar>
#include <cwctype>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

const wchar_t kUninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{8C3E51A2-7F04-4B9D-A6E1-2D57C90B3F48}_is1";

std::wstring Env(const wchar_t* name, const wchar_t* fallback) {
    wchar_t buf[1024] = {};
    DWORD n = GetEnvironmentVariableW(name, buf, 1024);
    return (n > 0 && n < 1024) ? std::wstring(buf) : std::wstring(fallback);
}

void Record(const std::wstring& text) {
    std::wstring line = text + L"\r\n";
    int cb = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), (int)line.size(), nullptr, 0, nullptr, nullptr);
    std::string utf8(cb, '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), (int)line.size(), &utf8[0], cb, nullptr, nullptr);
    std::wstring path = Env(L"VELMORA_STANDIN_LOG", L"C:\\velmora-standin.log");
    HANDLE h = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(h, utf8.data(), (DWORD)utf8.size(), &written, nullptr);
    CloseHandle(h);
}

// Splits a command line the way Inno Setup reads its parameters. Returns
// the tokens; *tail receives the raw text after the first (the program).
std::vector<std::wstring> SplitParams(const wchar_t* p, std::wstring* tail) {
    std::vector<std::wstring> out;
    for (;;) {
        while (*p == L' ' || *p == L'\t') ++p;
        if (!*p) break;
        if (out.size() == 1 && tail->empty()) *tail = p;
        std::wstring tok;
        bool quoted = false;
        for (; *p && (quoted || (*p != L' ' && *p != L'\t')); ++p) {
            if (*p == L'"') quoted = !quoted;
            else tok += *p;
        }
        out.push_back(tok);
    }
    return out;
}

bool WriteLauncher(const std::wstring& path) {
    HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(10));  // RT_RCDATA
    HGLOBAL data = res ? LoadResource(nullptr, res) : nullptr;
    if (!data) return false;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, LockResource(data), SizeofResource(nullptr, res), &written, nullptr);
    CloseHandle(h);
    return ok != FALSE;
}

void CreateShortcut(const std::wstring& link, const std::wstring& target) {
    IShellLinkW* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shellLink))))
        return;
    shellLink->SetPath(target.c_str());
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        file->Save(link.c_str(), TRUE);
        file->Release();
    }
    shellLink->Release();
}

void Install(std::wstring dir) {
    while (!dir.empty() && dir.back() == L'\\') dir.pop_back();
    SHCreateDirectoryExW(nullptr, dir.c_str(), nullptr);
    const std::wstring launcher = dir + L"\\vlLauncher.exe";
    WriteLauncher(launcher);
    SHCreateDirectoryExW(nullptr, (dir + L"\\config").c_str(), nullptr);
    WritePrivateProfileStringW(L"AppSetting", L"Language", L"zh-CN", (dir + L"\\config\\config.ini").c_str());

    HKEY key = nullptr;
    // In the 32-bit view, as the real package, a 32-bit program, registers
    // itself on any system.
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_SET_VALUE | KEY_WOW64_32KEY, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        auto set = [key](const wchar_t* name, const std::wstring& value) {
            RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           (DWORD)((value.size() + 1) * sizeof(wchar_t)));
        };
        set(L"Inno Setup: App Path", dir);
        set(L"DisplayIcon", launcher);
        set(L"DisplayName", L"Velmora");
        RegCloseKey(key);
    }

    wchar_t folder[MAX_PATH] = {};
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY | CSIDL_FLAG_CREATE, nullptr, 0, folder)))
        CreateShortcut(std::wstring(folder) + L"\\Velmora.lnk", launcher);
    OSVERSIONINFOW osvi = {};
    osvi.dwOSVersionInfoSize = sizeof(osvi);
    GetVersionExW(&osvi);
    if (osvi.dwMajorVersion <= 5 &&
        SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, 0, folder))) {
        std::wstring quick = std::wstring(folder) + L"\\Microsoft\\Internet Explorer\\Quick Launch";
        SHCreateDirectoryExW(nullptr, quick.c_str(), nullptr);
        CreateShortcut(quick + L"\\Velmora.lnk", launcher);
    }
}

// The first line of an ASCII file, "0" when there is none.
std::wstring ReadExitFile(const std::wstring& path) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return L"0";
    char buf[32] = {};
    DWORD n = 0;
    ReadFile(h, buf, sizeof(buf) - 1, &n, nullptr);
    CloseHandle(h);
    std::wstring text;
    for (DWORD i = 0; i < n && buf[i] != '\r' && buf[i] != '\n'; ++i) text += static_cast<wchar_t>(buf[i]);
    return text.empty() ? L"0" : text;
}

}  // namespace

// The SHA-256 of this program's own file, read as the package reads its
// payload: by name, while it runs.
std::wstring OwnImageHash() {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    HANDLE h = CreateFileW(self, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    HCRYPTPROV prov = 0;
    HCRYPTHASH hash = 0;
    std::wstring hex = L"unreadable";
    if (h != INVALID_HANDLE_VALUE && CryptAcquireContextW(&prov, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT) &&
        CryptCreateHash(prov, CALG_SHA_256, 0, 0, &hash)) {
        BYTE buf[65536];
        DWORD n = 0;
        while (ReadFile(h, buf, sizeof(buf), &n, nullptr) && n) CryptHashData(hash, buf, n, 0);
        BYTE digest[32];
        DWORD cb = sizeof(digest);
        if (CryptGetHashParam(hash, HP_HASHVAL, digest, &cb, 0)) {
            hex.clear();
            for (BYTE b : digest) {
                wchar_t two[3];
                swprintf(two, 3, L"%02x", b);
                hex += two;
            }
        }
    }
    if (hash) CryptDestroyHash(hash);
    if (prov) CryptReleaseContext(prov, 0);
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    return hex;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    const wchar_t* cmd = GetCommandLineW();
    std::wstring tail;
    std::vector<std::wstring> params = SplitParams(cmd, &tail);
    std::wstring dir;
    bool verysilent = false, norestart = false;
    for (size_t i = 1; i < params.size(); ++i) {
        const std::wstring& p = params[i];
        if (_wcsnicmp(p.c_str(), L"/DIR=", 5) == 0) dir = p.substr(5);
        else if (_wcsicmp(p.c_str(), L"/verysilent") == 0) verysilent = true;
        else if (_wcsicmp(p.c_str(), L"/norestart") == 0) norestart = true;
    }
    Record(std::wstring(L"start ") + cmd);
    Record(L"args " + tail);
    Record(L"dir " + dir);
    Record(std::wstring(L"switches verysilent=") + (verysilent ? L"1" : L"0") +
           L" norestart=" + (norestart ? L"1" : L"0"));

    Record(L"image " + OwnImageHash());

    std::wstring exitText = Env(L"VELMORA_STANDIN_EXIT", L"0");
    const std::wstring exitFile = Env(L"VELMORA_STANDIN_EXIT_FILE", L"");
    if (!exitFile.empty()) exitText = ReadExitFile(exitFile);
    const UINT exitCode = wcstoul(exitText.c_str(), nullptr, 10);
    const int delayMs = _wtoi(Env(L"VELMORA_STANDIN_DELAY_MS", L"0").c_str());
    if (delayMs > 0) Sleep(delayMs);

    if (!dir.empty()) {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        Install(dir);
        CoUninitialize();
    }
    if (exitText == L"crash") {
        Record(L"done crash");
        *static_cast<volatile int*>(nullptr) = 1;
    }
    Record(L"done " + std::to_wstring(exitCode));
    return (int)exitCode;
}
