// The executable's allocation and its end on a pure virtual call, in place
// of the C++ runtime's, whose throwing operator new and verbose terminate
// handler would bring the exception machinery and a demangler along.
// Nothing in the installer throws: every allocation is checked (new
// (std::nothrow), or -fcheck-new for a plain new), so a failed one gives null.
#include <windows.h>
#include <cstdlib>
#include <new>

void* operator new(size_t cb) { return malloc(cb ? cb : 1); }
void* operator new[](size_t cb) { return malloc(cb ? cb : 1); }
void* operator new(size_t cb, const std::nothrow_t&) noexcept { return malloc(cb ? cb : 1); }
void* operator new[](size_t cb, const std::nothrow_t&) noexcept { return malloc(cb ? cb : 1); }
void operator delete(void* p) noexcept { free(p); }
void operator delete[](void* p) noexcept { free(p); }
void operator delete(void* p, size_t) noexcept { free(p); }
void operator delete[](void* p, size_t) noexcept { free(p); }

extern "C" void __cxa_pure_virtual() { ::FatalAppExitW(0, L"pure virtual call"); }
