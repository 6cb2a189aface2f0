// The downloaded package from the end of its download until its setup has
// ended: under a name of its own for this run, held open so that nobody may
// change, delete or rename it (nor its folder), and hashed through that very
// handle, so that what was checked is what runs.
#pragma once
#include <windows.h>
#include "framework/BoundedText.h"
#include "framework/afxcrypt.h"
#include "framework/afxfile.h"
#include "install/PackageFile.h"

// What the manifest says of the package; each fact only when given.
struct CPackageFacts {
    BOOL bSize = FALSE;
    ULONGLONG nSize = 0;
    BOOL bSha256 = FALSE;
    BYTE sha256[SHA256_BYTES] = {};
};

class CHeldPackage {
public:
    CHeldPackage() = default;
    ~CHeldPackage() = default;  // lets go, but a setup may still run the file
    CHeldPackage(const CHeldPackage&) = delete;
    CHeldPackage& operator=(const CHeldPackage&) = delete;

    // Takes over the downloaded package, never letting go of it: renames it
    // through the download's own handle to a name of its own beside it
    // ("velmora-<16 hex digits>.exe": a setup an earlier run left running
    // holds only its own) and reopens it through that handle for reading,
    // with writes and deletes shared with nobody (the loader cannot start a
    // program someone holds for writing, so the write access must go). Holds
    // its folder the same way, and takes its size and SHA-256 through the
    // handle. Between the two handles the file could be written for a
    // moment: when facts name no SHA-256 it is hashed through both, and
    // *pbChanged tells of a file that changed then or no longer has its name
    // (a system without those calls, Windows XP, renames and reopens it by
    // name as before). FALSE, holding nothing, when a step fails.
    BOOL Hold(CDownloadedFile& download, const CPackageFacts& facts, BOOL* pbChanged);
    // TRUE when what is held is the package facts name.
    BOOL Matches(const CPackageFacts& facts) const;
    // The held file's path; empty when nothing is held.
    const wchar_t* Path() const { return m_szPath; }
    const BYTE* Sha256() const { return m_sha256; }
    // Lets go of the file and deletes it (it stays while a setup runs it).
    void Release();

private:
    CHandle m_file;
    CHandle m_folder;
    wchar_t m_szPath[PATH_CHARS] = {};
    ULONGLONG m_nSize = 0;
    BYTE m_sha256[SHA256_BYTES] = {};
};

// Deletes the packages earlier runs left in folder (the staging folder,
// with its trailing backslash) that no setup runs any more.
void DeleteLeftoverPackages(const wchar_t* folder);

// 64 hexadecimal digits (either case) into a SHA-256; FALSE otherwise.
BOOL ParseSha256Hex(const char* hex, BYTE (&digest)[SHA256_BYTES]);
