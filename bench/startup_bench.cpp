// Times the installer from process start to its visible window, then closes
// it and waits for the process to end. Prints one line per run and the
// median: startup_bench EXE TITLE RUNS
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <vector>

int wmain(int argc, wchar_t** argv) {
    if (argc < 4) return 2;
    const wchar_t* exe = argv[1];
    const wchar_t* title = argv[2];
    const int runs = _wtoi(argv[3]);
    std::vector<double> shown;
    for (int i = 0; i < runs; ++i) {
        LARGE_INTEGER freq, t0, t1;
        QueryPerformanceFrequency(&freq);
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        std::vector<wchar_t> cmd(exe, exe + wcslen(exe) + 1);
        QueryPerformanceCounter(&t0);
        if (!CreateProcessW(exe, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1;
        HWND h = nullptr;
        for (int tries = 0; tries < 3000 && !h; ++tries) {
            h = FindWindowW(nullptr, title);
            if (h && !IsWindowVisible(h)) h = nullptr;
            if (!h) Sleep(5);
        }
        QueryPerformanceCounter(&t1);
        if (!h) { TerminateProcess(pi.hProcess, 1); return 1; }
        const double ms = 1000.0 * (t1.QuadPart - t0.QuadPart) / freq.QuadPart;
        shown.push_back(ms);
        printf("run %d: window visible after %.0f ms\n", i + 1, ms);
        Sleep(300);
        PostMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0);
        WaitForSingleObject(pi.hProcess, 10000);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    std::sort(shown.begin(), shown.end());
    printf("median start to visible window: %.0f ms over %d runs\n", shown[shown.size() / 2], runs);
    return 0;
}
