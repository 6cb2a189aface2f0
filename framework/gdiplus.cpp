#include "framework/afxgdiplus.h"

namespace {

CSystemDll s_gdiplus(L"gdiplus.dll");
CGdiplusApi s_gdiplusApi;

}  // namespace

const CGdiplusApi* AfxGdiplus() {
#define AFX_GDIPLUS_NAME(scope, name) #name,
    static const char* const kNames[] = {AFX_GDIPLUS_PROCS(AFX_GDIPLUS_NAME)};
#undef AFX_GDIPLUS_NAME
    static_assert(sizeof(CGdiplusApi) == sizeof(kNames) / sizeof(kNames[0]) * sizeof(FARPROC), "one per name");
    return s_gdiplus.Load(kNames, reinterpret_cast<FARPROC*>(&s_gdiplusApi), sizeof(kNames) / sizeof(kNames[0]))
               ? &s_gdiplusApi
               : nullptr;
}

CGdiplusSession::CGdiplusSession() {
    const CGdiplusApi* api = AfxGdiplus();
    Gdiplus::GdiplusStartupInput input;  // version 1, no callback, no suppression
    if (!api || api->GdiplusStartup(&m_token, &input, nullptr) != Gdiplus::Ok) m_token = 0;
}

CGdiplusSession::~CGdiplusSession() {
    if (m_token) AfxGdiplus()->GdiplusShutdown(m_token);
}
