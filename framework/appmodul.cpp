// Program entry: hands control to the one application object.
#include "framework/afxdll.h"
#include "framework/afxwnd.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int) {
    AfxHardenDllSearch();
    CWinApp* pApp = AfxGetApp();
    if (!pApp) return 1;
    pApp->m_hInstance = hInstance;
    pApp->InitInstance();
    return 0;
}
