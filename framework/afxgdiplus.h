// GDI+, loaded from the system folder when first needed (it is no KnownDLL
// before Windows 10), and a session that starts and shuts it down.
#pragma once
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include "framework/afxdll.h"

#define AFX_GDIPLUS_PROCS(X)                                                                                     \
    X(Gdiplus::, GdiplusStartup) X(Gdiplus::, GdiplusShutdown) X(Gdiplus::DllExports::, GdipCreateBitmapFromStream) \
    X(Gdiplus::DllExports::, GdipGetImageWidth) X(Gdiplus::DllExports::, GdipGetImageHeight)                    \
    X(Gdiplus::DllExports::, GdipBitmapLockBits) X(Gdiplus::DllExports::, GdipBitmapUnlockBits)                 \
    X(Gdiplus::DllExports::, GdipCreateHBITMAPFromBitmap) X(Gdiplus::DllExports::, GdipDisposeImage)

// The flat GDI+ procedures the program uses.
struct CGdiplusApi {
#define AFX_GDIPLUS_MEMBER(scope, name) decltype(&scope name) name;
    AFX_GDIPLUS_PROCS(AFX_GDIPLUS_MEMBER)
#undef AFX_GDIPLUS_MEMBER
};

// The procedures, or null when GDI+ cannot be loaded.
const CGdiplusApi* AfxGdiplus();

// A GDI+ session: started by the constructor, shut down by the destructor,
// after every GDI+ object of the scope declared after it is gone.
class CGdiplusSession {
public:
    CGdiplusSession();
    ~CGdiplusSession();
    CGdiplusSession(const CGdiplusSession&) = delete;
    CGdiplusSession& operator=(const CGdiplusSession&) = delete;
    // The procedures while the session is started, otherwise null.
    const CGdiplusApi* Api() const { return m_token ? AfxGdiplus() : nullptr; }
private:
    ULONG_PTR m_token = 0;
};
