#include "app/ProxyPrompt.h"

BOOL ShowProxyLoginPrompt(HWND hOwner, HINTERNET hRequest) {
    // WinInet made hRequest, so it is loaded already (from the system
    // folder, framework/afxdll.h): looked up, never loaded here.
    const auto pfnErrorDlg = reinterpret_cast<decltype(&::InternetErrorDlg)>(
        ::GetProcAddress(::GetModuleHandleW(L"wininet.dll"), "InternetErrorDlg"));
    // The filter finds the 407 in the reply; the prompt keeps the login in
    // the request handle for its resend.
    return pfnErrorDlg && pfnErrorDlg(hOwner, hRequest, ERROR_SUCCESS,
                                      FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_GENERATE_DATA |
                                          FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS,
                                      nullptr) == ERROR_INTERNET_FORCE_RETRY;
}
