// One install run and everything it has: the system's version, the
// person's choices, what the vendor's manifest named, the download's
// progress and counters, why the run failed, and the package held for its
// setup; and the two threads that work on it, the manifest query and the
// install worker.
//
// The application owns the run, and it outlives the dialog, which shows it
// and hands it the person's choices. The threads read and write only the
// run: they never touch a window, and report through the run's signals to
// the sink the run was started with.
#pragma once
#include <windows.h>
#include "framework/BoundedText.h"
#include "install/Download.h"
#include "install/InstallWorker.h"
#include "install/PackageHold.h"
#include "install/UpgradeManifest.h"

class CInstallRun {
public:
    // Reads the system's version, starts the support log and proposes the
    // folder an earlier installation registered, or the default one.
    CInstallRun();
    CInstallRun(const CInstallRun&) = delete;
    CInstallRun& operator=(const CInstallRun&) = delete;

    DWORD MajorVersion() const { return m_dwMajorVersion; }
    // The proposed folder before Install, the chosen one after.
    const wchar_t* InstallDir() const { return m_szInstallDir; }

    // The vendor's manifest, asked for on a thread of its own so that the
    // window never waits for the server; the worker takes its result. One at
    // a time: FALSE while an earlier query still runs.
    BOOL StartQuery();
    // TRUE when a query was started and found no manifest: another may.
    BOOL HasQueryFailed() const;

    // The person's choices: the installation folder (checked and cleaned),
    // start at logon, and whether the taskbar shortcut stays.
    void SetChoices(const wchar_t* installDir, BOOL bAutoRun, BOOL bKeepTaskbar);
    // Makes the download folder ready for a start: the staging folder in
    // ProgramData, which only administrators may write, holding the
    // package's name whole. FALSE when it is not usable; folder names it.
    BOOL PrepareDownloadFolder(wchar_t (&folder)[PATH_CHARS]);
    // Starts the worker, which reports to pSink.
    BOOL Start(IInstallSink* pSink);
    // Requests the stop of both threads and lets go of the sink: from its
    // return on nothing is reported. Whoever shows the run calls it before
    // it goes.
    void Stop();
    // Ends the worker, which ends at once after its FAILED; FALSE when it
    // does not within dwGraceMs.
    BOOL EndWorker(DWORD dwGraceMs) { return m_worker.End(dwGraceMs); }
    // Requests the stop and waits up to dwGraceMs each for the manifest
    // query and the worker. FALSE when one still runs: the caller must then
    // end the process at once, without destroying the run they read.
    BOOL End(DWORD dwGraceMs);
    // The held package's path; empty when none is held.
    const wchar_t* PackagePath() const { return m_package.Path(); }
    // Lets go of a package kept for Retry, and deletes it.
    void ReleasePackage() { m_package.Release(); }

    // What the dialog shows: the percentage the worker stored before its
    // INSTALL_NOTIFY_PROGRESS, the byte counts it keeps current, and, after
    // INSTALL_NOTIFY_FAILED, why (a disk's figures included).
    int DownloadPercent() const { return m_nDownloadPercent; }
    const CDownloadCounters& Counters() const { return m_counters; }
    const CInstallFailure& Failure() const { return m_failure; }

    // The worker's steps (RunInstallWorker), each handing the run's fields
    // to the workflow.
    const CRunSignals& Signals() const { return m_signals; }
    BOOL EnterFinishing() { return m_worker.EnterFinishing(); }
    // The package URL from the query, once it has ended.
    BOOL QueryUpgradeInfo(wchar_t (&url)[URL_CHARS]);
    // Downloads url (or, when it fails in a way another server may mend,
    // the manifest's mirrors in turn) for path and holds the package; a
    // package already held (its setup was refused or failed) is taken again
    // for Retry.
    BOOL DownloadFile(const wchar_t* url, const wchar_t* path);
    BOOL RunSetup();
    BOOL ApplyTaskbarOption();
    BOOL ApplyAutoRunOption();

    wchar_t m_szDownloadUrl[URL_CHARS] = {};
    // The package's path in the download folder, once the run started.
    wchar_t m_szDownloadFile[PATH_CHARS] = {};
    // Why the run failed, written by the worker's steps before FAILED.
    CInstallFailure m_failure;

private:
    // One URL's download, held and checked against the manifest.
    BOOL DownloadAndHold(const wchar_t* url, const wchar_t* path, const CDownloadExtras& extras);
    static DWORD WINAPI QueryThread(LPVOID pParam);
    static DWORD WINAPI WorkerThread(LPVOID pParam);

    DWORD m_dwMajorVersion = 0;
    wchar_t m_szInstallDir[PATH_CHARS] = {};
    BOOL m_bAutoRun = FALSE;
    BOOL m_bKeepTaskbar = TRUE;

    // The manifest query: its thread writes the rest until it ends.
    struct CQuery {
        CHandle thread;
        CUpgradeInfo info;
        BOOL bFound = FALSE;
        CInstallFailure failure;
    } m_query;
    // What the manifest names beside the URL.
    CUpgradeInfo m_upgrade;

    CRunSignals m_signals;
    CWorkerThread m_worker{m_signals};
    int m_nDownloadPercent = 0;
    CDownloadCounters m_counters;
    // The package from its download's end until its setup has ended.
    CHeldPackage m_package;
};
