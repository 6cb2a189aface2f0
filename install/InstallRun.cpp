#include "install/InstallRun.h"
#include "framework/afxfile.h"
#include "install/InstalledPath.h"
#include "install/NetPolicy.h"
#include "install/PostInstall.h"
#include "install/ProductNames.h"
#include "install/SilentSetup.h"
#include "install/StagingFolder.h"
#include "install/SupportLog.h"

CInstallRun::CInstallRun() {
    OSVERSIONINFOW osvi = {};
    osvi.dwOSVersionInfoSize = sizeof(osvi);
    ::GetVersionExW(&osvi);
    m_dwMajorVersion = osvi.dwMajorVersion;
    StartSupportLog(osvi);
    CopyWhole(m_szInstallDir, VELMORA_DEFAULT_FOLDER);
    // An earlier installation's folder replaces the default.
    FindInstalledFolder(m_szInstallDir);
}

DWORD WINAPI CInstallRun::QueryThread(LPVOID pParam) {
    auto* pRun = static_cast<CInstallRun*>(pParam);
    pRun->m_query.bFound =
        QueryUpgrade(pRun->m_dwMajorVersion, pRun->m_signals, &pRun->m_query.info, &pRun->m_query.failure);
    return 0;
}

DWORD WINAPI CInstallRun::WorkerThread(LPVOID pParam) { return RunInstallWorker(static_cast<CInstallRun*>(pParam)); }

namespace {

BOOL IsThreadRunning(HANDLE hThread) { return hThread && ::WaitForSingleObject(hThread, 0) == WAIT_TIMEOUT; }

}  // namespace

BOOL CInstallRun::StartQuery() {
    if (IsThreadRunning(m_query.thread)) return FALSE;
    m_query.info = CUpgradeInfo();
    m_query.bFound = FALSE;
    m_query.failure = CInstallFailure();
    m_query.thread.Attach(::CreateThread(nullptr, 0, &QueryThread, this, 0, nullptr));
    return m_query.thread.IsValid();
}

BOOL CInstallRun::HasQueryFailed() const {
    return m_query.thread.IsValid() && !IsThreadRunning(m_query.thread) && !m_query.bFound;
}

void CInstallRun::SetChoices(const wchar_t* installDir, BOOL bAutoRun, BOOL bKeepTaskbar) {
    CopyWhole(m_szInstallDir, installDir);
    m_bAutoRun = bAutoRun;
    m_bKeepTaskbar = bKeepTaskbar;
}

BOOL CInstallRun::PrepareDownloadFolder(wchar_t (&folder)[PATH_CHARS]) {
    folder[0] = L'\0';
    if (!GetStagingFolder(folder) || !PrepareStagingFolder(folder) || !IsDirectory(folder) ||
        !JoinPath(m_szDownloadFile, folder, VELMORA_PACKAGE_NAME))
        return FALSE;
    DeleteLeftoverPackages(folder);
    return TRUE;
}

BOOL CInstallRun::Start(IInstallSink* pSink) {
    SupportLog(L"install: into %ls, start at logon %ls, taskbar shortcut %ls", m_szInstallDir,
               m_bAutoRun ? L"on" : L"off", m_bKeepTaskbar ? L"kept" : L"removed");
    m_signals.SetSink(pSink);
    m_nDownloadPercent = 0;
    ::InterlockedExchange(&m_counters.nReceivedKiB, 0);
    ::InterlockedExchange(&m_counters.nTotalKiB, 0);
    return m_worker.Start(&WorkerThread, this);
}

void CInstallRun::Stop() {
    m_signals.SetSink(nullptr);
    m_signals.RequestStop();
}

BOOL CInstallRun::End(DWORD dwGraceMs) {
    if (IsThreadRunning(m_query.thread)) {
        m_signals.RequestStop();
        if (::WaitForSingleObject(m_query.thread, dwGraceMs) != WAIT_OBJECT_0) return FALSE;
    }
    return m_worker.End(dwGraceMs);
}

BOOL CInstallRun::QueryUpgradeInfo(wchar_t (&url)[URL_CHARS]) {
    // The query started once the window showed may still run.
    if (m_query.thread.IsValid()) {
        HANDLE handles[2] = {m_query.thread, m_signals.StopEvent()};
        if (::WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0) {
            SetInstallFailure(&m_failure, FAILURE_OTHER);
            return FALSE;
        }
    }
    if (!m_query.bFound) {
        m_failure = m_query.failure;
        return FALSE;
    }
    m_upgrade = m_query.info;
    return CopyWhole(url, m_upgrade.szUrl);
}

namespace {

// Failures another server may not meet: no connection, an error or a
// refusal, no safe connection, a web page or other bytes in the package's
// place. A full disk, a proxy's login, a stop and the installer's own
// faults would meet every server alike.
BOOL IsMirrorWorthy(InstallFailure cause) {
    return cause == FAILURE_NETWORK || cause == FAILURE_SERVER || cause == FAILURE_TLS ||
           cause == FAILURE_PORTAL || cause == FAILURE_VERIFY;
}

// Why a URL was left, for the support log.
const wchar_t* CauseText(InstallFailure cause) {
    switch (cause) {
    case FAILURE_NETWORK: return L"no connection, or it dropped or stalled";
    case FAILURE_SERVER: return L"an error, or not the package";
    case FAILURE_TLS: return L"no safe connection";
    case FAILURE_PORTAL: return L"a web page in the package's place";
    case FAILURE_VERIFY: return L"other bytes than the manifest's";
    default: return L"another fault";
    }
}

}  // namespace

BOOL CInstallRun::DownloadFile(const wchar_t* url, const wchar_t* path) {
    // A package whose setup was refused or failed is still held and checked:
    // Retry runs it again without a download.
    if (m_package.Path()[0]) return TRUE;
    CDownloadExtras extras;
    extras.pCounters = &m_counters;
    extras.nExpectedSize = m_upgrade.package.bSize ? m_upgrade.package.nSize : 0;
    extras.nInstalledSize = m_upgrade.bInstalledSize ? m_upgrade.nInstalledSize : 0;
    extras.pszInstallFolder = m_szInstallDir;
    extras.pFailure = &m_failure;
    extras.pSha256 = m_upgrade.package.bSha256 ? m_upgrade.package.sha256 : nullptr;
    extras.dwBudgetStartTick = ::GetTickCount();
    extras.dwBudgetMs = GetNetTimings().dwAllUrlsMs;
    // The manifest's URL first, then its mirrors in their order, each while
    // the one before failed in a way another server may mend.
    const wchar_t* pszLeft = nullptr;  // the URL before, which failed
    for (int i = 0; i <= m_upgrade.nMirrors; ++i) {
        const wchar_t* pszUrl = i == 0 ? url : m_upgrade.szMirrors[i - 1];
        if (pszLeft) {
            if (!IsMirrorWorthy(m_failure.cause) || m_signals.IsStopping()) return FALSE;
            SupportLog(L"download: %ls left (%ls)", pszLeft, CauseText(m_failure.cause));
            if (!DownloadBudgetLeftMs(extras)) {
                SupportLog(L"download: no time left for the further URLs");
                return FALSE;
            }
            SupportLog(L"download: next %ls", pszUrl);
            // Without a hash another server's bytes cannot be told from a
            // partial file's: from byte 0.
            extras.bStartOver = !extras.pSha256;
        }
        if (DownloadAndHold(pszUrl, path, extras)) {
            SupportLog(L"download: served by %ls", pszUrl);
            return TRUE;
        }
        pszLeft = pszUrl;
    }
    return FALSE;
}

BOOL CInstallRun::DownloadAndHold(const wchar_t* url, const wchar_t* path, const CDownloadExtras& extras) {
    // From the end of its download until its setup ends the package is held
    // under a name of its own, never let go of, and hashed; it runs only when
    // it is the one the manifest named.
    CDownloadedFile downloaded;
    if (!DownloadPackage(url, path, m_signals, &m_nDownloadPercent, &downloaded, extras)) return FALSE;
    BOOL bChanged = FALSE;
    if (!m_package.Hold(downloaded, m_upgrade.package, &bChanged)) {
        SupportLog(bChanged ? L"verify: the package changed, or another program opened it, while it was taken over; deleted"
                            : L"verify: the package cannot be held");
        SetInstallFailure(&m_failure, bChanged ? FAILURE_VERIFY : FAILURE_OTHER);
        return FALSE;
    }
    if (m_package.Matches(m_upgrade.package)) {
        SupportLog(L"verify: %ls matches the manifest", m_package.Path());
        return TRUE;
    }
    SupportLog(L"verify: %ls does not match the manifest's size or SHA-256; deleted", m_package.Path());
    SetInstallFailure(&m_failure, FAILURE_VERIFY);
    m_package.Release();  // not what the vendor published: deleted, never run
    return FALSE;
}

BOOL CInstallRun::RunSetup() {
    const BOOL ok = RunSetupPackage(m_package.Path(), m_szInstallDir, m_dwMajorVersion, m_signals, &m_failure);
    // A setup left running after a stop keeps its file; a later run deletes
    // it. One whose prompt was refused or that failed stays held for Retry.
    const BOOL bRetryable = m_failure.cause == FAILURE_UAC || m_failure.cause == FAILURE_SETUP;
    if (!m_signals.IsStopping() && (ok || !bRetryable)) m_package.Release();
    return ok;
}

BOOL CInstallRun::ApplyTaskbarOption() { return ApplyTaskbarChoice(m_bKeepTaskbar, m_dwMajorVersion); }

BOOL CInstallRun::ApplyAutoRunOption() { return ApplyAutoRunChoice(m_bAutoRun, m_szInstallDir); }
