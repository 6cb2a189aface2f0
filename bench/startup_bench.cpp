// Times programs from process start to their visible window, taking turns
// at going first, then closes each and waits for its end. Prints one line
// per round, each program's median, and for every program but the second
// (the yardstick) the median, lowest and highest ratio of its time over the
// yardstick's in the same round:
//   startup_bench RUNS COMMAND1 TITLE1 COMMAND2 TITLE2 [COMMAND TITLE]...
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Milliseconds from CreateProcess to the window titled title being visible;
// negative when it never shows.
double TimeToVisible(const wchar_t* command, const wchar_t* title) {
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::vector<wchar_t> cmd(command, command + wcslen(command) + 1);
    QueryPerformanceCounter(&t0);
    if (!CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
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
    if (argc < 6 || argc % 2) return 2;
    const int runs = _wtoi(argv[1]);
    const int n = (argc - 2) / 2;
    const int yardstick = 1;
    std::vector<std::vector<double>> times(n), ratios(n);
    for (int i = 0; i < runs; ++i) {
        // Taking turns at going first evens out what one run leaves for the next.
        std::vector<double> t(n);
        for (int k = 0; k < n; ++k) {
            const int p = (i + k) % n;
            t[p] = TimeToVisible(argv[2 + 2 * p], argv[3 + 2 * p]);
            if (t[p] < 0) {
                printf("%ls: no visible window\n", argv[2 + 2 * p]);
                return 1;
            }
        }
        printf("round %d:", i + 1);
        for (int p = 0; p < n; ++p) {
            times[p].push_back(t[p]);
            ratios[p].push_back(t[p] / t[yardstick]);
            printf(" %.0f ms", t[p]);
        }
        printf("\n");
    }
    for (int p = 0; p < n; ++p) printf("median start to visible window: %ls %.0f ms\n", argv[2 + 2 * p], Median(times[p]));
    for (int p = 0; p < n; ++p) {
        if (p == yardstick) continue;
        printf("ratio of %ls over %ls, %d rounds: median %.2f, min %.2f, max %.2f\n", argv[2 + 2 * p],
               argv[2 + 2 * yardstick], runs, Median(ratios[p]),
               *std::min_element(ratios[p].begin(), ratios[p].end()),
               *std::max_element(ratios[p].begin(), ratios[p].end()));
    }
    return 0;
}
