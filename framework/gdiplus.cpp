#include "framework/afxgdiplus.h"
#include <objidl.h>
#include <gdiplus.h>

CGdiplusSession::CGdiplusSession() {
    Gdiplus::GdiplusStartupInput input;  // version 1, no callback, no suppression
    if (Gdiplus::GdiplusStartup(&m_token, &input, nullptr) != Gdiplus::Ok) m_token = 0;
}

CGdiplusSession::~CGdiplusSession() {
    if (m_token) Gdiplus::GdiplusShutdown(m_token);
}
