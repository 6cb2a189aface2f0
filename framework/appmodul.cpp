// Program entry: hands control to the one application object.
//
// The executable starts at VelmoraEntry rather than in the C runtime's
// startup code, which brings argument parsing, TLS callbacks, runtime
// pseudo-relocation and signal emulation the installer has no use for (the
// build checks that the executable needs no pseudo-relocation). The C
// runtime DLL sets itself up when it is loaded; what is left is to run the
// static constructors, and the static destructors they register at the end.
#include "framework/afxdll.h"
#include "framework/afxwnd.h"

namespace {

void (*s_pfnAtExit[32])();
int s_nAtExit = 0;

}  // namespace

// The static constructors register their destructors here. The C runtime
// DLL's own atexit can only be reached through a pseudo-relocation.
extern "C" int __cdecl atexit(void (*pfn)()) {
    if (s_nAtExit == ARRAYSIZE(s_pfnAtExit)) return -1;
    s_pfnAtExit[s_nAtExit++] = pfn;
    return 0;
}

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int) {
    AfxHardenDllSearch();
    CWinApp* pApp = AfxGetApp();
    if (!pApp) return 1;
    pApp->m_hInstance = hInstance;
    pApp->InitInstance();
    return pApp->ExitInstance();
}

extern "C" void __main();  // runs the static constructors once and registers their destructors

extern "C" void WINAPI VelmoraEntry() {
    __main();
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    ::GetStartupInfoW(&si);
    const int nShow = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : SW_SHOWDEFAULT;
    const int code = wWinMain(::GetModuleHandleW(nullptr), nullptr, ::GetCommandLineW(), nShow);
    while (s_nAtExit > 0) s_pfnAtExit[--s_nAtExit]();
    ::ExitProcess(static_cast<UINT>(code));
}
