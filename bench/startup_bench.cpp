// Times programs from process start to their visible window, alternating
// between them, then closes each and waits for its end. Prints one line per
// run, each program's median, and the median, lowest and highest ratio of
// the first program's time over the second's in the same round:
//   startup_bench RUNS EXE1 TITLE1 EXE2 TITLE2
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Milliseconds from CreateProcess to the window titled title being visible;
// negative when it never shows.
double TimeToVisible(const wchar_t* exe, const wchar_t* title) {
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::vector<wchar_t> cmd(exe, exe + wcslen(exe) + 1);
    QueryPerformanceCounter(&t0);
    if (!CreateProcessW(exe, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    HWND h = nullptr;
    for (int tries = 0; tries < 20000 && !h; ++tries) {
        h = FindWindowW(nullptr, title);
        if (h && !IsWindowVisible(h)) h = nullptr;
        if (!h) Sleep(1);
    }
    QueryPerformanceCounter(&t1);
    if (h) {
        Sleep(300);
        PostMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0);
    }
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    Sleep(700);  // Wine finishes with the ended process meanwhile
    return h ? 1000.0 * (t1.QuadPart - t0.QuadPart) / freq.QuadPart : -1;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 6) return 2;
    const int runs = _wtoi(argv[1]);
    std::vector<double> first, second, ratio;
    for (int i = 0; i < runs; ++i) {
        // Alternating which goes first evens out what one run leaves for the next.
        double a, b;
        if (i % 2 == 0) {
            a = TimeToVisible(argv[2], argv[3]);
            b = TimeToVisible(argv[4], argv[5]);
        } else {
            b = TimeToVisible(argv[4], argv[5]);
            a = TimeToVisible(argv[2], argv[3]);
        }
        if (a < 0 || b < 0) return 1;
        first.push_back(a);
        second.push_back(b);
        ratio.push_back(a / b);
        printf("round %d: %.0f ms, %.0f ms, ratio %.2f\n", i + 1, a, b, a / b);
    }
    printf("median start to visible window: %ls %.0f ms, %ls %.0f ms\n", argv[2], Median(first), argv[4],
           Median(second));
    printf("ratio over %d rounds: median %.2f, min %.2f, max %.2f\n", runs, Median(ratio),
           *std::min_element(ratio.begin(), ratio.end()), *std::max_element(ratio.begin(), ratio.end()));
    return 0;
}
