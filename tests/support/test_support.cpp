#include "test_support.h"
#include <gtest/gtest.h>
#include "install/InstallWorker.h"
#include <shlobj.h>
#include <shlwapi.h>
#include <tlhelp32.h>
#include <algorithm>
#include <cstdlib>
#include <random>

// ---- Environment -------------------------------------------------------------
std::string EnvVar(const char* name) {
    const char* v = getenv(name);
    return v ? v : "";
}

bool OnFreshPrefix() { return EnvVar("VELMORA_FRESH_PREFIX") == "1"; }

int TimeScale() {
    const int scale = atoi(EnvVar("VELMORA_TIME_SCALE").c_str());
    return scale >= 1 && scale <= 100 ? scale : 100;
}

DWORD SystemMajorVersion() {
    OSVERSIONINFOW osvi = {};
    osvi.dwOSVersionInfoSize = sizeof(osvi);
    ::GetVersionExW(&osvi);
    return osvi.dwMajorVersion;
}

// ---- Files --------------------------------------------------------------------
bool FileExists(const std::wstring& path) {
    const DWORD a = ::GetFileAttributesW(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFileBytes(const std::wstring& path) {
    std::string out;
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return out;
    char buf[65536];
    for (DWORD n; ::ReadFile(h, buf, sizeof(buf), &n, nullptr) && n;) out.append(buf, n);
    ::CloseHandle(h);
    return out;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << "cannot write " << testing::PrintToString(path);
    DWORD n = 0;
    ASSERT_TRUE(::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr));
    ::CloseHandle(h);
}

std::wstring ReadUtf8(const std::wstring& path) {
    const std::string bytes = ReadFileBytes(path);
    const int cch = ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring text(cch, L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0], cch);
    return text;
}

void MakeFolders(const std::wstring& path) { ::SHCreateDirectoryExW(nullptr, path.c_str(), nullptr); }

void RemoveTree(const std::wstring& folder) {
    for (const std::wstring& name : ListFolder(folder)) {
        const std::wstring path = folder + L"\\" + name;
        const DWORD attr = ::GetFileAttributesW(path.c_str());
        if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY))
            RemoveTree(path);
        else
            ::DeleteFileW(path.c_str());
    }
    ::RemoveDirectoryW(folder.c_str());
}

std::vector<std::wstring> ListFolder(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = ::FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (wcscmp(fd.cFileName, L".") && wcscmp(fd.cFileName, L"..")) names.push_back(fd.cFileName);
    } while (::FindNextFileW(h, &fd));
    ::FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

std::wstring ShellFolder(int csidl) {
    wchar_t buf[MAX_PATH] = {};
    ::SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, buf);
    return buf;
}

std::wstring IniValue(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
    wchar_t buf[256] = {};
    ::GetPrivateProfileStringW(section, key, L"<none>", buf, 256, file.c_str());
    return buf;
}

std::string PackageBytes(size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>(gen() >> 24);
    // A package starts as a Windows program does: the download looks.
    if (size >= 2) out.replace(0, 2, "MZ");
    return out;
}

CScratch::CScratch() {
    static int counter = 0;
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    m_root = std::wstring(temp) + L"velmora-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
             std::to_wstring(++counter);
    RemoveTree(m_root);
    ::CreateDirectoryW(m_root.c_str(), nullptr);
    ::CreateDirectoryW((m_root + L"\\dl").c_str(), nullptr);
}

CScratch::~CScratch() { RemoveTree(m_root); }

BOOL DownloadAndLetGo(const wchar_t* url, const wchar_t* path, const CRunSignals& signals, int* pnPercent,
                      const CDownloadExtras& extras) {
    CDownloadedFile downloaded;
    return DownloadPackage(url, path, signals, pnPercent, &downloaded, extras);
}

// ---- Registry -------------------------------------------------------------------
bool OnTwoViewRegistry() {
#ifdef _WIN64
    return true;
#else
    BOOL wow64 = FALSE;
    return ::IsWow64Process(::GetCurrentProcess(), &wow64) && wow64;
#endif
}

namespace {

#define UNINSTALL_ENTRY L"Microsoft\\Windows\\CurrentVersion\\Uninstall\\{8C3E51A2-7F04-4B9D-A6E1-2D57C90B3F48}_is1"
#define RUN_KEY L"Microsoft\\Windows\\CurrentVersion\\Run"

RegPath View32(const wchar_t* own, const wchar_t* wow) {
#ifdef _WIN64
    return RegPath(wow);
#else
    return RegPath(own);
#endif
}

RegPath OtherRunKey() {
#ifdef _WIN64
    return RegPath(L"SOFTWARE\\" RUN_KEY);
#else
    return OnTwoViewRegistry() ? RegPath(L"SOFTWARE\\" RUN_KEY, KEY_WOW64_64KEY)
                               : RegPath(L"SOFTWARE\\Wow6432Node\\" RUN_KEY);
#endif
}

}  // namespace

const RegPath kUninstallKey = View32(L"SOFTWARE\\" UNINSTALL_ENTRY, L"SOFTWARE\\Wow6432Node\\" UNINSTALL_ENTRY);
const RegPath kRunKey = View32(L"SOFTWARE\\" RUN_KEY, L"SOFTWARE\\Wow6432Node\\" RUN_KEY);
const RegPath kOtherRunKey = OtherRunKey();
const wchar_t kPolicyKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Policies\\System";

namespace {

void SetValue(const RegPath& key, const wchar_t* name, DWORD type, const void* data, DWORD cb) {
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.path, 0, nullptr, 0, KEY_SET_VALUE | key.view,
                                               nullptr, &h, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(h, name, 0, type, static_cast<const BYTE*>(data), cb));
    ::RegCloseKey(h);
}

}  // namespace

void SetString(const RegPath& key, const wchar_t* name, const std::wstring& value) {
    SetValue(key, name, REG_SZ, value.c_str(), static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void SetDword(const RegPath& key, const wchar_t* name, DWORD value) { SetValue(key, name, REG_DWORD, &value, 4); }

void CreateKey(const RegPath& key) {
    HKEY h = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.path, 0, nullptr, 0, KEY_READ | key.view,
                                               nullptr, &h, nullptr));
    ::RegCloseKey(h);
}

void DeleteValue(const RegPath& key, const wchar_t* name) {
    HKEY h = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.path, 0, KEY_SET_VALUE | key.view, &h) != ERROR_SUCCESS) return;
    ::RegDeleteValueW(h, name);
    ::RegCloseKey(h);
}

void DeleteKeyTree(const RegPath& key) {
    HKEY h = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.path, 0, KEY_ALL_ACCESS | key.view, &h) != ERROR_SUCCESS) return;
    ::RegDeleteTreeW(h, nullptr);
    ::RegCloseKey(h);
    ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, key.path, key.view, 0);
}

void ResetRunKeys() {
    DeleteValue(kRunKey, L"Velmora");
    DeleteValue(kOtherRunKey, L"Velmora");
    // The decoy branch, on a 32-bit system only: under WOW64 the name is the
    // 32-bit view itself, with its class registrations.
    if (!OnTwoViewRegistry()) DeleteKeyTree(L"SOFTWARE\\Wow6432Node");
}

RegValue GetValue(const RegPath& key, const wchar_t* name) {
    RegValue v;
    HKEY h = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.path, 0, KEY_QUERY_VALUE | key.view, &h) != ERROR_SUCCESS) return v;
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

// ---- Stand-ins --------------------------------------------------------------------
namespace {

// The folder the test program runs from; the stand-ins are built beside it.
std::wstring TestsDir() {
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring s(self);
    return s.substr(0, s.find_last_of(L'\\'));
}

}  // namespace

std::wstring StandinSetup() { return TestsDir() + L"\\standin_setup.exe"; }
std::wstring StandinLauncher() { return TestsDir() + L"\\vlLauncher.exe"; }

bool ProcessRuns(const wchar_t* exeName) {
    HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE) return false;
    PROCESSENTRY32W pe = {};
    pe.dwSize = sizeof(pe);
    bool found = false;
    for (BOOL more = ::Process32FirstW(snap, &pe); more && !found; more = ::Process32NextW(snap, &pe))
        found = _wcsicmp(pe.szExeFile, exeName) == 0;
    ::CloseHandle(snap);
    return found;
}

void ConfigureStandin(const std::wstring& log, DWORD exitCode, DWORD delayMs) {
    ::DeleteFileW(log.c_str());
    ::SetEnvironmentVariableW(L"VELMORA_STANDIN_LOG", log.c_str());
    ::SetEnvironmentVariableW(L"VELMORA_STANDIN_EXIT", std::to_wstring(exitCode).c_str());
    ::SetEnvironmentVariableW(L"VELMORA_STANDIN_DELAY_MS", std::to_wstring(delayMs).c_str());
}

std::wstring StandinRecord(const std::wstring& log, const std::wstring& key) {
    const std::wstring text = ReadUtf8(log);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(L"\r\n", pos);
        if (end == std::wstring::npos) end = text.size();
        const std::wstring line = text.substr(pos, end - pos);
        if (line.compare(0, key.size() + 1, key + L" ") == 0) return line.substr(key.size() + 1);
        pos = end + 2;
    }
    return L"<none>";
}

// ---- Notifications ---------------------------------------------------------------
void CNotifySink::OnInstallReport(WPARAM code, LPARAM lParam) {
    CSingleLock lock(m_lock);
    // The code is the low word; a failure's cause rides in the high word.
    m_posts.emplace_back(LOWORD(code), lParam);
    if (LOWORD(code) == INSTALL_NOTIFY_FAILED)
        m_failure = {static_cast<InstallFailure>(HIWORD(code)), static_cast<DWORD>(lParam)};
}

std::vector<std::pair<WPARAM, LPARAM>> CNotifySink::Posts() const {
    CSingleLock lock(m_lock);
    return m_posts;
}

void CNotifySink::Clear() {
    CSingleLock lock(m_lock);
    m_posts.clear();
}

CInstallFailure CNotifySink::Failure() const {
    CSingleLock lock(m_lock);
    return m_failure;
}

bool CNotifySink::WaitFor(WPARAM code, DWORD ms) {
    const DWORD start = ::GetTickCount();
    while (!Has(code)) {
        const DWORD spent = ::GetTickCount() - start;
        if (spent >= ms) return false;
        Pump(spent + 50 > ms ? ms - spent : 50);
    }
    return true;
}

bool CNotifySink::Has(WPARAM code) const {
    for (const auto& post : Posts())
        if (post.first == code) return true;
    return false;
}

std::vector<WPARAM> CNotifySink::Codes() const {
    std::vector<WPARAM> out;
    for (const auto& post : Posts()) out.push_back(post.first);
    return out;
}

std::vector<WPARAM> CNotifySink::Folded() const {
    std::vector<WPARAM> out;
    for (const auto& post : Posts())
        if (out.empty() || post.first != INSTALL_NOTIFY_PROGRESS || out.back() != INSTALL_NOTIFY_PROGRESS)
            out.push_back(post.first);
    return out;
}

::testing::AssertionResult IsProgress(const std::vector<int>& posts, CProgress expected) {
    if (expected.from < 0) {
        if (posts.empty()) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << posts.size() << " progress posts, none expected";
    }
    const size_t rising = posts.size() - (expected.moved ? 1 : 0);
    if (posts.size() < (expected.moved ? 2u : 1u) || posts[0] < expected.from || posts[0] > expected.from + 4 ||
        posts[rising - 1] != 100 ||
        (expected.moved && posts.back() != 100))
        return ::testing::AssertionFailure() << "posts " << ::testing::PrintToString(posts) << ", expected from "
                                             << expected.from << (expected.moved ? " to 100, 100" : " to 100");
    for (size_t i = 1; i < rising; ++i)
        if (posts[i] <= posts[i - 1])
            return ::testing::AssertionFailure() << "not rising at " << i << ": " << ::testing::PrintToString(posts);
    return ::testing::AssertionSuccess();
}

std::vector<int> CNotifySink::TakeProgress() {
    CSingleLock lock(m_lock);
    std::vector<int> out;
    for (const auto& post : m_posts)
        if (post.first == INSTALL_NOTIFY_PROGRESS) out.push_back(static_cast<int>(post.second));
    m_posts.clear();
    return out;
}
