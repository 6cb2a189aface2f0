#include "framework/afxwnd.h"

static CWinApp* g_pApp = nullptr;

CWinApp::CWinApp() { g_pApp = this; }
CWinApp::~CWinApp() { if (g_pApp == this) g_pApp = nullptr; }

CWinApp* AfxGetApp() { return g_pApp; }

HINSTANCE AfxGetInstanceHandle() {
    if (g_pApp && g_pApp->m_hInstance) return g_pApp->m_hInstance;
    return ::GetModuleHandleW(nullptr);
}
