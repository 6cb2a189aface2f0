// The second yardstick of the start-up benchmark: the installer's own
// dialog template (read from the installer executable) with the installer's
// manifest and common controls, shown by a program that does nothing else.
// What it takes over the bare window is the part of the installer's start
// that the dialog itself costs, before any code of the installer runs.
//   bare_dialog INSTALLER_EXE
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include "res/resource.h"

namespace {

INT_PTR CALLBACK BareDialogProc(HWND h, UINT m, WPARAM w, LPARAM) {
    if (m == WM_INITDIALOG) {
        // The installer's window size, as its skin sets it.
        SetWindowPos(h, nullptr, 0, 0, 622, 422, SWP_NOMOVE | SWP_NOZORDER);
        return TRUE;
    }
    if (m == WM_SYSCOMMAND && (w & 0xFFF0) == SC_CLOSE) {
        DestroyWindow(h);
        PostQuitMessage(0);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int nShow) {
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argc < 2) return 2;
    HMODULE installer = LoadLibraryExW(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!installer) return 1;
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    HWND h = CreateDialogParamW(installer, MAKEINTRESOURCEW(IDD_INSTALLER_DIALOG), nullptr, &BareDialogProc, 0);
    if (!h) return 1;
    ShowWindow(h, nShow);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        if (!IsDialogMessageW(h, &msg)) DispatchMessageW(&msg);
    return 0;
}
