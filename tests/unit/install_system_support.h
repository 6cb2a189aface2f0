// Helpers for tests of the install steps on the real registry and files of
// a Wine prefix: a fixture that runs only in a private prefix copy, registry
// and file helpers, a message-only window that records the worker's
// notifications, and a dialog whose download step is scripted.
#pragma once
#include <gtest/gtest.h>
#include "app/InstallerDlg.h"
#include "install/InstallWorker.h"
#include <shlobj.h>
#include <shlwapi.h>
#include <string>
#include <vector>

namespace sys_test {

// Tests that change the registry or files run only where the prefix is a
// throw-away copy (VELMORA_FRESH_PREFIX=1, set by their own CTest entries).
inline bool OnFreshPrefix() {
    wchar_t v[8] = {};
    return ::GetEnvironmentVariableW(L"VELMORA_FRESH_PREFIX", v, 8) == 1 && v[0] == L'1';
}

class PrefixTest : public ::testing::Test {
protected:
    void SetUp() final {
        if (!OnFreshPrefix()) GTEST_SKIP() << "changes the prefix: runs in its own copy";
        Prepare();
    }
    void TearDown() final {
        if (OnFreshPrefix()) Clean();
    }
    virtual void Prepare() {}
    virtual void Clean() {}
};

// ---- Registry --------------------------------------------------------------
const wchar_t kUninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{8C3E51A2-7F04-4B9D-A6E1-2D57C90B3F48}_is1";
const wchar_t kPolicyKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";
const wchar_t kRunKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kWowRunKey[] = L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";

inline void SetValue(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD cb) {
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &h,
                                               nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(h, name, 0, type, static_cast<const BYTE*>(data), cb));
    ::RegCloseKey(h);
}
inline void SetString(const wchar_t* key, const wchar_t* name, const std::wstring& value) {
    SetValue(key, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}
inline void SetDword(const wchar_t* key, const wchar_t* name, DWORD value) {
    SetValue(key, name, REG_DWORD, &value, sizeof(value));
}
inline void CreateKey(const wchar_t* key) {
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_READ, nullptr, &h,
                                               nullptr));
    ::RegCloseKey(h);
}
inline void DeleteValue(const wchar_t* key, const wchar_t* name) {
    HKEY h = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_SET_VALUE, &h) != ERROR_SUCCESS) return;
    ::RegDeleteValueW(h, name);
    ::RegCloseKey(h);
}
inline void DeleteKeyTree(const wchar_t* key) { ::SHDeleteKeyW(HKEY_LOCAL_MACHINE, key); }

struct RegValue {
    bool present = false;
    DWORD type = 0;
    DWORD size = 0;
    std::wstring text;
};
inline RegValue GetValue(const wchar_t* key, const wchar_t* name) {
    RegValue v;
    HKEY h = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS) return v;
    wchar_t buf[1024] = {};
    DWORD cb = sizeof(buf) - sizeof(wchar_t);
    if (::RegQueryValueExW(h, name, nullptr, &v.type, reinterpret_cast<BYTE*>(buf), &cb) == ERROR_SUCCESS) {
        v.present = true;
        v.size = cb;
        v.text = buf;
    }
    ::RegCloseKey(h);
    return v;
}

// ---- Files -------------------------------------------------------------------
inline bool FileExists(const std::wstring& path) {
    DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}
inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << "cannot write " << testing::PrintToString(path);
    DWORD n = 0;
    ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
    ::CloseHandle(h);
}
inline std::wstring ReadUtf8(const std::wstring& path) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return L"";
    std::string bytes;
    char buf[4096];
    DWORD n = 0;
    while (::ReadFile(h, buf, sizeof(buf), &n, nullptr) && n) bytes.append(buf, n);
    ::CloseHandle(h);
    int cch = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(cch, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], cch);
    return text;
}
inline void MakeFolders(const std::wstring& path) { ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr); }
inline std::wstring ShellFolder(int csidl) {
    wchar_t buf[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, buf);
    return buf;
}
inline std::wstring IniValue(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
    wchar_t buf[256] = {};
    ::GetPrivateProfileStringW(section, key, L"<none>", buf, 256, file.c_str());
    return buf;
}

// The folder unit_tests.exe runs from; the stand-ins are built beside it.
inline std::wstring TestsDir() {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring s(self);
    return s.substr(0, s.find_last_of(L'\\'));
}
inline std::wstring StandinSetup() { return TestsDir() + L"\\standin_setup.exe"; }
inline std::wstring StandinLauncher() { return TestsDir() + L"\\vlLauncher.exe"; }

// The stand-in setup's behaviour for the next runs, and where it records.
inline void ConfigureStandin(const std::wstring& log, DWORD exitCode = 0, DWORD delayMs = 0) {
    ::DeleteFileW(log.c_str());
    ::SetEnvironmentVariableW(L"VELMORA_STANDIN_LOG", log.c_str());
    ::SetEnvironmentVariableW(L"VELMORA_STANDIN_EXIT", std::to_wstring(exitCode).c_str());
    ::SetEnvironmentVariableW(L"VELMORA_STANDIN_DELAY_MS", std::to_wstring(delayMs).c_str());
}
// The value of the stand-in's record line "key value", or "<none>".
inline std::wstring StandinRecord(const std::wstring& log, const std::wstring& key) {
    std::wstring text = ReadUtf8(log);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(L"\r\n", pos);
        if (end == std::wstring::npos) end = text.size();
        std::wstring line = text.substr(pos, end - pos);
        if (line.compare(0, key.size() + 1, key + L" ") == 0) return line.substr(key.size() + 1);
        pos = end + 2;
    }
    return L"<none>";
}

// ---- Notifications -------------------------------------------------------------
// A message-only window that records the wParam of every WM_INSTALL_NOTIFY,
// in arrival order. Lives on the test's thread.
class NotifySink {
public:
    NotifySink() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = &NotifySink::Proc;
        wc.hInstance = ::GetModuleHandleW(nullptr);
        wc.lpszClassName = L"VelmoraNotifySink";
        ::RegisterClassW(&wc);
        hWnd = ::CreateWindowExW(0, wc.lpszClassName, nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                 wc.hInstance, nullptr);
        ::SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~NotifySink() { ::DestroyWindow(hWnd); }

    // Handles what is queued now and what arrives within ms.
    void Pump(DWORD ms) {
        const DWORD start = ::GetTickCount();
        for (;;) {
            MSG msg;
            while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
            const DWORD spent = ::GetTickCount() - start;
            if (spent >= ms) return;
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - spent, QS_ALLINPUT);
        }
    }
    // Pumps until code arrives (TRUE) or ms pass (FALSE).
    bool WaitFor(WPARAM code, DWORD ms) {
        const DWORD start = ::GetTickCount();
        while (!Has(code)) {
            const DWORD spent = ::GetTickCount() - start;
            if (spent >= ms) return false;
            Pump(spent + 50 > ms ? ms - spent : 50);
        }
        return true;
    }
    bool Has(WPARAM code) const {
        for (WPARAM c : codes)
            if (c == code) return true;
        return false;
    }
    // The codes with each run of PROGRESS folded into one, e.g. {1, 2, 3}.
    std::vector<WPARAM> Folded() const {
        std::vector<WPARAM> out;
        for (WPARAM c : codes)
            if (out.empty() || c != INSTALL_NOTIFY_PROGRESS || out.back() != INSTALL_NOTIFY_PROGRESS)
                out.push_back(c);
        return out;
    }

    HWND hWnd = nullptr;
    std::vector<WPARAM> codes;

private:
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM w, LPARAM l) {
        if (msg == WM_INSTALL_NOTIFY) {
            auto* self = reinterpret_cast<NotifySink*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
            if (self) self->codes.push_back(w);
            return 0;
        }
        return ::DefWindowProcW(h, msg, w, l);
    }
};

// ---- The dialog -------------------------------------------------------------------
// The real dialog object (constructed as the application does, never shown),
// posting to a NotifySink, with the download step scripted: the real
// download is another unit and talks to the network.
class ScriptedDlg : public CInstallerDlg {
public:
    enum Download {
        kDeliver,     // progress 50, 100; copies packageSource to the package path
        kFail,        // FALSE at once, no progress
        kNoPackage,   // progress 50, 100; TRUE but writes nothing
        kUntilStop,   // grows partialFile until the stop is requested, then FALSE
        kDeafToStop,  // grows partialFile for deafMs whatever happens, then FALSE
        kDeliverAtStop,  // as kUntilStop, but completes as the stop comes: kDeliver
    };

    explicit ScriptedDlg(HWND hNotify) { m_hWnd = hNotify; }
    ~ScriptedDlg() override { m_hWnd = nullptr; }

    // Hides the real step for RunInstallWorker<ScriptedDlg>.
    BOOL DownloadFile(const wchar_t* url, const wchar_t* path) {
        if (download == kFail) return FALSE;
        if (download == kUntilStop || download == kDeafToStop || download == kDeliverAtStop) {
            const DWORD start = ::GetTickCount();
            for (int i = 1;; ++i) {
                AppendChunk();
                Progress(i < 100 ? i : 99);
                if (download == kDeafToStop ? ::GetTickCount() - start >= deafMs : !!IsInstallStopping()) break;
                ::Sleep(20);
            }
            if (download != kDeliverAtStop) return FALSE;
        }
        Progress(50);
        Progress(100);
        if (download != kNoPackage) return ::CopyFileW(packageSource.c_str(), path, FALSE);
        return TRUE;
    }

    // Hides the real step: can hold the worker in its options until the
    // stop comes (at most 10 s), as when Finish is pressed meanwhile.
    BOOL ApplyTaskbarOption() {
        for (DWORD start = ::GetTickCount(); holdOptionsUntilStop && !IsInstallStopping() &&
                                             ::GetTickCount() - start < 10000;)
            ::Sleep(10);
        return CInstallerDlg::ApplyTaskbarOption();
    }

    Download download = kDeliver;
    bool holdOptionsUntilStop = false;
    std::wstring packageSource = StandinSetup();
    std::wstring partialFile;
    DWORD deafMs = 0;

private:
    void Progress(int percent) {
        m_nDownloadPercent = percent;
        PostInstallNotify(GetSafeHwnd(), INSTALL_NOTIFY_PROGRESS, percent);
    }
    void AppendChunk() {
        HANDLE h = ::CreateFileW(partialFile.c_str(), FILE_APPEND_DATA, 0, nullptr, OPEN_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return;
        DWORD n = 0;
        ::WriteFile(h, "0123456789abcdef", 16, &n, nullptr);
        ::CloseHandle(h);
    }
};

}  // namespace sys_test
