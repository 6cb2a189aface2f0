// Program entry: hands control to the one application object.
//
// The executable starts at VelmoraEntry rather than in the C runtime's
// startup code, which brings argument parsing, TLS callbacks, runtime
// pseudo-relocation and signal emulation the installer has no use for (the
// build checks that the executable needs no pseudo-relocation, and that it
// starts here). The C runtime DLL sets itself up when it is loaded; what is
// left is to align the stack, run the static constructors, and the static
// destructors they register at the end.
//
// What the program therefore may not use (the build is made so that most
// of it fails to compile or link, the rest is a rule):
// - exceptions: -fno-exceptions; the runtime's unwinder and its terminate
//   handler are not linked. A failed allocation gives null (afxmem.cpp).
// - thread_local and TLS callbacks (__declspec(thread), .tls sections):
//   nothing sets up the static TLS directory's callbacks or emulated TLS.
// - guarded function-local statics: -fno-threadsafe-statics makes them
//   unsafe between threads. A static shared by threads is made before the
//   threads exist, or by a one-time initialisation of its own
//   (InterlockedCompareExchangePointer, as GetInstallStopEvent does).
// - runtime pseudo-relocations: data imported from a DLL by address (such
//   as the C runtime's own atexit list); the size budget test checks.
// - signal(), main's argc and argv, and anything else the C runtime's
//   startup code prepares: there is none of it.
// - more than 32 static objects with destructors (s_pfnAtExit).
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

// The system calls the entry with the stack aligned to 4 bytes only on
// i386, where the compiler expects 16 (SSE spills): it realigns it here,
// as the runtime's startup code did. On x86_64 the system keeps 16.
#ifdef __i386__
#define VELMORA_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define VELMORA_ALIGN_STACK
#endif
extern "C" VELMORA_ALIGN_STACK void WINAPI VelmoraEntry() {
    __main();
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    ::GetStartupInfoW(&si);
    const int nShow = (si.dwFlags & STARTF_USESHOWWINDOW) ? si.wShowWindow : SW_SHOWDEFAULT;
    const int code = wWinMain(::GetModuleHandleW(nullptr), nullptr, ::GetCommandLineW(), nShow);
    while (s_nAtExit > 0) s_pfnAtExit[--s_nAtExit]();
    ::ExitProcess(static_cast<UINT>(code));
}
