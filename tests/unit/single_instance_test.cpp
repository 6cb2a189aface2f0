// One installer per session, with a thread standing for the first start:
// a second start sees the first one's window, found by its mark and not by
// its title, or, once the first start has ended, becomes the installer.
#include <gtest/gtest.h>
#include "app/SingleInstance.h"
#include <thread>

namespace {
HWND MakeWindow(const wchar_t* title) {
    return ::CreateWindowExW(0, L"STATIC", title, WS_POPUP | WS_VISIBLE, 700, 600, 60, 40, nullptr, nullptr, nullptr,
                             nullptr);
}
}  // namespace

TEST(SingleInstance, ASecondStartFindsTheMarkedWindowOrTakesOverOnceTheFirstHasEnded) {
    HANDLE claimed = ::CreateEventW(nullptr, TRUE, FALSE, nullptr), end = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    BOOL bFirst = FALSE;
    std::thread first([&] {
        CSingleInstance instance;
        HWND hNone = nullptr;
        bFirst = instance.Claim(0, &hNone);
        ::SetEvent(claimed);
        ::WaitForSingleObject(end, INFINITE);
    });
    ::WaitForSingleObject(claimed, INFINITE);
    EXPECT_TRUE(bFirst);

    // The first start shows no window yet: the second waits, then gives up.
    const HWND hLookalike = MakeWindow(L"Velmora安装向导");  // the title, unmarked
    HWND hFound = hLookalike;
    DWORD start = ::GetTickCount();
    EXPECT_FALSE(CSingleInstance().Claim(300, &hFound));
    EXPECT_EQ(nullptr, hFound) << "not found by its title";
    EXPECT_GE(::GetTickCount() - start, 250u) << "waited for the first start";

    const HWND hMarked = MakeWindow(L"another title");
    ASSERT_TRUE(CSingleInstance::MarkWindow(hMarked));
    start = ::GetTickCount();
    EXPECT_FALSE(CSingleInstance().Claim(5000, &hFound));
    EXPECT_EQ(hMarked, hFound);
    EXPECT_LT(::GetTickCount() - start, 1000u) << "at once";

    ::ShowWindow(hMarked, SW_MINIMIZE);
    CSingleInstance::BringToFront(hMarked);
    for (int i = 0; i < 100 && ::IsIconic(hMarked); ++i) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::Sleep(10);
    }
    EXPECT_FALSE(::IsIconic(hMarked)) << "restored";
    EXPECT_EQ(hMarked, ::GetForegroundWindow());

    // The first start's window closes and it ends a moment later.
    CSingleInstance::UnmarkWindow(hMarked);
    ::SetEvent(end);
    CSingleInstance second;
    EXPECT_TRUE(second.Claim(5000, &hFound)) << "taken over";
    EXPECT_EQ(nullptr, hFound);
    first.join();
    BOOL bThird = TRUE;
    std::thread([&] { bThird = CSingleInstance().Claim(0, &hFound); }).join();
    EXPECT_FALSE(bThird) << "held by the second start now";
    for (HANDLE h : {claimed, end}) ::CloseHandle(h);
    ::DestroyWindow(hMarked);
    ::DestroyWindow(hLookalike);
}
