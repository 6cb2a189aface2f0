// The yardstick of the start-up benchmark: a program that only opens a
// 622x422 window, built with the installer's toolchain and runtime.
#include <windows.h>

LRESULT CALLBACK BareProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    if (m == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(h, m, w, l);
}

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int nShow) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = BareProc;
    wc.hInstance = hInstance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"VelmoraBareWindow";
    RegisterClassW(&wc);
    HWND h = CreateWindowExW(0, wc.lpszClassName, L"Velmora bare window", WS_POPUP | WS_SYSMENU, CW_USEDEFAULT,
                             CW_USEDEFAULT, 622, 422, nullptr, nullptr, hInstance, nullptr);
    ShowWindow(h, nShow);
    UpdateWindow(h);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
