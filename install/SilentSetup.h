// Running the downloaded setup package silently and judging its exit code.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include "framework/BoundedText.h"
#include "install/InstallReport.h"
#include "install/RunSignals.h"

// TRUE only when the system's EnableLUA policy value is exactly 1.
BOOL IsUacEnabled();

// "runas" on major version 6 and later with UAC on, otherwise "open". On
// version 5 and below the registry is not read.
const wchar_t* ElevationVerb(DWORD dwMajorVersion);

// Fills sei to start program hidden with parameters (may be null) through
// ElevationVerb, keeping the process handle and with no error box of the
// shell's own (the installer reports failures itself). The installer starts
// every program this way: the setup package and, after Finish, the client.
void PrepareShellExecute(SHELLEXECUTEINFOW* sei, DWORD dwMajorVersion, const wchar_t* program,
                         const wchar_t* parameters);

// The setup's exit-code rule: only 0 is success. The package is an Inno
// Setup installer, whose codes 1 to 8 all mean that it did not install (or
// not completely); anything else is a crash (0xC0000005, ...) or a code it
// never gives, and no exit code at all proves nothing either.
BOOL IsSetupExitSuccess(DWORD dwExitCode);

// Exit code assumed when the process gives none.
enum { SETUP_EXIT_UNKNOWN = 42 };

// The setup's parameters for the installation folder:
// /DIR="<folder>\" /verysilent /norestart. FALSE (params empty) when they
// do not fit or the folder holds a quote.
BOOL FormatSetupParameters(const wchar_t* folder, wchar_t (&params)[COMMAND_CHARS]);

// Starts program with parameters as PrepareShellExecute does and waits for
// its end; the stop of signals ends the wait early (FALSE), leaving the
// program running. TRUE when it ended with a successful exit code. *pFailure (when
// given) says why not: the elevation prompt refused (FAILURE_UAC), the exit
// code (FAILURE_SETUP), or the program not started at all (FAILURE_OTHER).
BOOL ShellExecuteAndWait(const wchar_t* program, const wchar_t* parameters, DWORD dwMajorVersion,
                         const CRunSignals& signals, CInstallFailure* pFailure = nullptr);

// Runs the setup package at package into folder: nothing when package is not
// a file; otherwise reports INSTALL_NOTIFY_SETUP_STARTED through signals
// and runs it with FormatSetupParameters, waiting for its end. TRUE when
// the setup succeeded.
BOOL RunSetupPackage(const wchar_t* package, const wchar_t* folder, DWORD dwMajorVersion,
                     const CRunSignals& signals, CInstallFailure* pFailure = nullptr);
