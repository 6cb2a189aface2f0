#include "framework/afxdll.h"
#include "framework/BoundedText.h"

namespace {

// Whether LoadLibraryExW takes LOAD_LIBRARY_SEARCH_SYSTEM32: Windows 8 and
// later, and 7 with its update; older systems refuse the flag.
BOOL s_bSearchFlags = FALSE;

}  // namespace

void AfxHardenDllSearch() {
    // Looked up at run time: older systems have no such functions.
    const HMODULE hKernel = ::GetModuleHandleW(L"kernel32.dll");
    typedef BOOL(WINAPI * SetDefaultDllDirectoriesFn)(DWORD);
    typedef BOOL(WINAPI * SetDllDirectoryFn)(LPCWSTR);
    const auto setDefault =
        reinterpret_cast<SetDefaultDllDirectoriesFn>(::GetProcAddress(hKernel, "SetDefaultDllDirectories"));
    const auto setDirectory = reinterpret_cast<SetDllDirectoryFn>(::GetProcAddress(hKernel, "SetDllDirectoryW"));
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32)) s_bSearchFlags = TRUE;
    if (setDirectory) setDirectory(L"");
}

HMODULE AfxLoadSystemLibrary(const wchar_t* name) {
    if (s_bSearchFlags) return ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Without the flag: the full path, and that DLL's own imports looked up
    // beside it, in the system folder.
    wchar_t path[PATH_CHARS];
    const UINT len = ::GetSystemDirectoryW(path, PATH_CHARS);
    if (len == 0 || len >= PATH_CHARS || !JoinPath(path, path, L"\\") || !JoinPath(path, path, name)) return nullptr;
    return ::LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

BOOL CSystemDll::Load(const char* const* names, FARPROC* procs, size_t count) {
    for (;;) {
        const LONG state = ::InterlockedCompareExchange(&m_state, 1, 0);
        if (state == 2) return TRUE;
        if (state == 3) return FALSE;
        if (state == 1) {  // another thread loads it
            ::Sleep(1);
            continue;
        }
        const HMODULE hModule = AfxLoadSystemLibrary(m_name);
        BOOL ok = hModule != nullptr;
        for (size_t i = 0; ok && i < count; ++i) ok = (procs[i] = ::GetProcAddress(hModule, names[i])) != nullptr;
        ::InterlockedExchange(&m_state, ok ? 2 : 3);
        return ok;
    }
}
