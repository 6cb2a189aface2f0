// Loading DLLs from the system folder only. The installer runs as
// administrator from wherever it was downloaded to (usually the user's
// Downloads folder), where anyone may put a DLL named like one it loads:
// Windows looks in the program's own folder first for every DLL that is not
// a KnownDLL.
#pragma once
#include <windows.h>

// First thing in the program: every later load searches the system folder
// only (SetDefaultDllDirectories, where the system has it), and the current
// folder is out of the search (SetDllDirectoryW(L"")).
void AfxHardenDllSearch();

// name (a bare file name) from the system folder, or null.
HMODULE AfxLoadSystemLibrary(const wchar_t* name);

// A DLL loaded from the system folder on first use, once per process
// however many threads ask at the same time, and its procedures.
class CSystemDll {
public:
    explicit CSystemDll(const wchar_t* name) : m_name(name) {}
    CSystemDll(const CSystemDll&) = delete;
    CSystemDll& operator=(const CSystemDll&) = delete;

    // Looks up count procedures by name into procs (in the same order)
    // the first time; TRUE, then and later, when the DLL and all of them
    // were found.
    BOOL Load(const char* const* names, FARPROC* procs, size_t count);

private:
    const wchar_t* m_name;
    volatile LONG m_state = 0;  // 0 not yet, 1 loading, 2 loaded, 3 missing
};

// Declares, in a table struct, one typed pointer per procedure named in a
// list macro, and the names for CSystemDll::Load: the table's members are
// the procedures' own names, so calls read as usual (api->InternetOpenW(...)).
#define AFX_DLL_PROC_MEMBER(name) decltype(&::name) name;
#define AFX_DLL_PROC_NAME(name) #name,
