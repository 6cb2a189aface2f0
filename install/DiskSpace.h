// Whether the disks have room for the package and the installation, asked
// before a byte of the package is downloaded.
#pragma once
#include <windows.h>
#include "install/InstallWorker.h"

// Room kept free on the staging volume beyond the package itself.
const ULONGLONG kStagingReserveBytes = 16ULL * 1024 * 1024;

// Bytes free to this process on the volume of path, or of its nearest
// folder that exists (an installation folder usually does not yet).
BOOL GetFreeBytes(const wchar_t* path, ULONGLONG* pFree);

// Whole megabytes (1024 * 1024 bytes), rounded up, at most 65535.
WORD MegabytesUp(ULONGLONG bytes);

// The detail of a FAILURE_DISK: MAKELONG(needed megabytes rounded up, free
// megabytes rounded down, so that no room is promised that is not there),
// each at most 65535.
DWORD DiskShortfall(ULONGLONG neededBytes, ULONGLONG freeBytes);

// The staging volume (stagingFolder) needs stillToDownload bytes and
// kStagingReserveBytes; the installation volume (installFolder, may be null
// when unknown) installBytes. FALSE, with FAILURE_DISK and the needed
// (rounded up) and free (rounded down) megabytes of the first volume short
// of room in *pFailure, when one is. A volume whose free space cannot be
// read counts as having room.
BOOL CheckDiskSpace(const wchar_t* stagingFolder, ULONGLONG stillToDownload, const wchar_t* installFolder,
                    ULONGLONG installBytes, CInstallFailure* pFailure);
