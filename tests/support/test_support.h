// What the test programs share: the environment a test binary needs, files
// and scratch folders, the prefix's registry, the stand-in setup package and
// a window that records the worker's notifications.
#pragma once
#include <windows.h>
#include <gtest/gtest.h>
#include "install/Download.h"
#include "install/InstallWorker.h"
#include "install/RunSignals.h"
#include <string>
#include <utility>
#include <vector>

// ---- Environment -------------------------------------------------------------
std::string EnvVar(const char* name);
// The prefix is the run's own (VELMORA_FRESH_PREFIX=1, set by the runner
// of the tests that change its registry and files, which puts it back).
bool OnFreshPrefix();
// The OS major version this process sees (5 on a prefix switched to XP).
DWORD SystemMajorVersion();
// The percentage the installer's network times are scaled to in this
// process (VELMORA_TIME_SCALE; 100 without it).
int TimeScale();

// ---- Files --------------------------------------------------------------------
bool FileExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
std::wstring ReadUtf8(const std::wstring& path);
void MakeFolders(const std::wstring& path);
void RemoveTree(const std::wstring& folder);
// The names in a folder, sorted.
std::vector<std::wstring> ListFolder(const std::wstring& folder);
std::wstring ShellFolder(int csidl);
std::wstring IniValue(const std::wstring& file, const wchar_t* section, const wchar_t* key);
// Reproducible bytes without a short period, so that an offset error shows;
// the first two are "MZ", as a Windows program's.
std::string PackageBytes(size_t size, unsigned seed);

// A fresh folder under the temporary folder with an empty "dl" folder in
// it, where downloads go; removed with everything in it at the end.
class CScratch {
public:
    CScratch();
    ~CScratch();
    std::wstring Root() const { return m_root; }
    std::wstring Dl(const std::wstring& name = std::wstring()) const { return m_root + L"\\dl\\" + name; }

private:
    std::wstring m_root;
};

// The download as the run makes it; the file it hands over is let go of at
// once, as the tests look at the folder afterwards.
BOOL DownloadAndLetGo(const wchar_t* url, const wchar_t* path, const CRunSignals& signals, int* pnPercent,
                      const CDownloadExtras& extras = CDownloadExtras());

// ---- Registry (HKEY_LOCAL_MACHINE) -------------------------------------------
// A key as the tests name it: its path and the registry view it is opened
// in (0: this process's own; KEY_WOW64_64KEY: the 64-bit view, which a
// 32-bit process under WOW64 reaches only so). A plain path is a key of the
// process's own view.
struct RegPath {
    RegPath(const wchar_t* p, REGSAM v = 0) : path(p), view(v) {}
    operator const wchar_t*() const { return path; }
    const wchar_t* path;
    REGSAM view;
};
// Whether this process runs on a 64-bit Windows (as an x86_64 program, or a
// 32-bit one under WOW64), where the registry has two views.
bool OnTwoViewRegistry();
// The Uninstall entry and the Run key in the 32-bit view, where the 32-bit
// setup and installer keep them: this process's own view for a 32-bit
// process (under SOFTWARE on a 32-bit system, redirected to
// SOFTWARE\Wow6432Node under WOW64), SOFTWARE\Wow6432Node for a 64-bit one.
extern const RegPath kUninstallKey;
extern const RegPath kRunKey;
// The Run key no value of the installer may land in: the 64-bit view's on a
// 64-bit Windows; on a 32-bit one, a Wow6432Node branch that tests create as
// a decoy (a 32-bit system has none).
extern const RegPath kOtherRunKey;
extern const wchar_t kPolicyKey[];

// No "Velmora" value in either Run key, and no decoy branch left.
void ResetRunKeys();

void SetString(const RegPath& key, const wchar_t* name, const std::wstring& value);
void SetDword(const RegPath& key, const wchar_t* name, DWORD value);
void CreateKey(const RegPath& key);
void DeleteValue(const RegPath& key, const wchar_t* name);
void DeleteKeyTree(const RegPath& key);

struct RegValue {
    bool present = false;
    DWORD type = 0;
    DWORD size = 0;
    std::wstring text;
};
RegValue GetValue(const RegPath& key, const wchar_t* name);

// ---- Stand-ins for the client's setup package and launcher ----------------------
// Built beside the test programs.
std::wstring StandinSetup();
std::wstring StandinLauncher();
// The stand-in setup's behaviour for the next runs, and where it records.
void ConfigureStandin(const std::wstring& log, DWORD exitCode = 0, DWORD delayMs = 0);
// The value of the stand-in's record line "key value", or "<none>".
std::wstring StandinRecord(const std::wstring& log, const std::wstring& key);
// Whether a process of the session runs from a file of this name.
bool ProcessRuns(const wchar_t* exeName);

// ---- Notifications ------------------------------------------------------------
// The progress a download posts: rising from from to 100 (each read may
// pass more than one percent, the first one too: its first post may lie up
// to 4 above from), then 100 once more when moved (a partial file put in
// place). CProgress{} is no progress at all.
struct CProgress {
    int from = -1;
    bool moved = false;
};
::testing::AssertionResult IsProgress(const std::vector<int>& posts, CProgress expected);

// A run's signals whose sink records every report (code and lParam) in
// arrival order, from whichever thread reports.
class CNotifySink : private IInstallSink {
public:
    CNotifySink() { m_signals.SetSink(this); }
    ~CNotifySink() { m_signals.SetSink(nullptr); }
    CNotifySink(const CNotifySink&) = delete;
    CNotifySink& operator=(const CNotifySink&) = delete;
    // What the steps take: reports go to this sink.
    CRunSignals& Signals() { return m_signals; }

    // Waits ms, for what the steps report meanwhile.
    void Pump(DWORD ms) { ::Sleep(ms); }
    // Waits until code arrives (true) or ms pass (false).
    bool WaitFor(WPARAM code, DWORD ms);
    bool Has(WPARAM code) const;
    // The codes so far, in order.
    std::vector<WPARAM> Codes() const;
    // The codes with each run of PROGRESS folded into one, e.g. {1, 2, 3}.
    std::vector<WPARAM> Folded() const;
    // Gives the percentages of the recorded PROGRESS reports and forgets
    // every report.
    std::vector<int> TakeProgress();
    void Clear();
    // The cause and detail of the last INSTALL_NOTIFY_FAILED.
    CInstallFailure Failure() const;

private:
    void OnInstallReport(WPARAM code, LPARAM lParam) override;
    std::vector<std::pair<WPARAM, LPARAM>> Posts() const;
    mutable CCriticalSection m_lock;
    std::vector<std::pair<WPARAM, LPARAM>> m_posts;
    CInstallFailure m_failure;
    CRunSignals m_signals;
};
