#include "skin/SkinDpi.h"

namespace {

// A user32 function the running system may not have, looked up by name:
// importing it would keep the program from starting on older systems.
FARPROC User32Proc(const char* name) { return ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), name); }

}  // namespace

UINT SkinWindowDpi(HWND hWnd) {
    typedef UINT(WINAPI * GetDpiForWindowFn)(HWND);
    if (const auto getDpi = reinterpret_cast<GetDpiForWindowFn>(User32Proc("GetDpiForWindow"))) {
        if (const UINT nDpi = getDpi(hWnd)) return SkinSaneDpi(nDpi);
    }
    const HDC hdc = ::GetDC(nullptr);
    const int nDpi = hdc ? ::GetDeviceCaps(hdc, LOGPIXELSY) : 0;
    if (hdc) ::ReleaseDC(nullptr, hdc);
    return SkinSaneDpi(nDpi > 0 ? static_cast<UINT>(nDpi) : 0);
}

void SkinKeepDialogLayout(HWND hDlg) {
    typedef BOOL(WINAPI * SetDialogFn)(HWND, DIALOG_DPI_CHANGE_BEHAVIORS, DIALOG_DPI_CHANGE_BEHAVIORS);
    typedef BOOL(WINAPI * SetControlFn)(HWND, DIALOG_CONTROL_DPI_CHANGE_BEHAVIORS, DIALOG_CONTROL_DPI_CHANGE_BEHAVIORS);
    const auto setDialog = reinterpret_cast<SetDialogFn>(User32Proc("SetDialogDpiChangeBehavior"));
    const auto setControl = reinterpret_cast<SetControlFn>(User32Proc("SetDialogControlDpiChangeBehavior"));
    if (setDialog) setDialog(hDlg, DDC_DISABLE_ALL, DDC_DISABLE_ALL);
    if (!setControl) return;
    const auto keep = static_cast<DIALOG_CONTROL_DPI_CHANGE_BEHAVIORS>(DCDC_DISABLE_FONT_UPDATE | DCDC_DISABLE_RELAYOUT);
    for (HWND h = ::GetWindow(hDlg, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT)) setControl(h, keep, keep);
}
