// The support log, %TEMP%\VelmoraInstaller.log: what each run did, so that
// someone can tell afterwards why an install failed. UTF-8, one timestamped
// line per step; once the file passes 1 MB the next run starts a new one.
// It holds nothing about the person beyond paths.
#pragma once
#include <windows.h>
#include "framework/BoundedText.h"

// The log's path.
BOOL GetSupportLogPath(wchar_t (&path)[PATH_CHARS]);

// Appends one line, printf-style (%ls for wide strings), with the local
// time in front. Any thread; a line that cannot be written is dropped.
void SupportLog(const wchar_t* format, ...);

// Starts a new file when the log has passed kSupportLogMaxBytes, then
// writes the run's first line: the installer's version, the version Windows
// really is, the one it reported to the installer (osvi, what the manifest
// request sends) and the vendor server. Called once per run.
void StartSupportLog(const OSVERSIONINFOW& osvi);

const DWORD kSupportLogMaxBytes = 1024 * 1024;
