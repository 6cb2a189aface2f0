// Whether the disks have room for the package and the installation, asked
// before a byte of the package is downloaded.
#pragma once
#include <windows.h>
#include "install/InstallReport.h"

// Room kept free on the staging volume beyond the package itself.
const ULONGLONG kStagingReserveBytes = 16ULL * 1024 * 1024;

// Bytes free to this process on the volume of path, or of its nearest
// folder that exists (an installation folder usually does not yet).
BOOL GetFreeBytes(const wchar_t* path, ULONGLONG* pFree);


// The staging volume (stagingFolder) needs stillToDownload bytes and
// kStagingReserveBytes; the installation volume (installFolder, may be null
// when unknown) installBytes. FALSE, with FAILURE_DISK and the needed
// and free bytes of the first volume short of room in *pFailure, when one is. A volume whose free space cannot be
// read counts as having room.
BOOL CheckDiskSpace(const wchar_t* stagingFolder, ULONGLONG stillToDownload, const wchar_t* installFolder,
                    ULONGLONG installBytes, CInstallFailure* pFailure);
