// One installer per session, in one process standing for two starts: the
// mutex is had once at a time, and the first start's window is found by its
// mark, not by its title.
#include <gtest/gtest.h>
#include "app/SingleInstance.h"

namespace {
HWND MakeWindow(const wchar_t* title) {
    return ::CreateWindowExW(0, L"STATIC", title, WS_POPUP | WS_VISIBLE, 700, 600, 60, 40, nullptr, nullptr, nullptr,
                             nullptr);
}
}  // namespace

TEST(SingleInstance, OneClaimAtATimeAndTheMarkedWindowIsFoundNotItsTitle) {
    {
        CSingleInstance first, second;
        EXPECT_TRUE(first.Claim());
        EXPECT_FALSE(second.Claim()) << "held by the first start";
    }
    CSingleInstance again;
    EXPECT_TRUE(again.Claim()) << "free once the first start has ended";

    const HWND hLookalike = MakeWindow(L"Velmora安装向导");  // the title, unmarked
    EXPECT_EQ(nullptr, CSingleInstance::FindMarkedWindow(0));
    const HWND hMarked = MakeWindow(L"another title");
    ASSERT_TRUE(CSingleInstance::MarkWindow(hMarked));
    EXPECT_EQ(hMarked, CSingleInstance::FindMarkedWindow(0));

    ::ShowWindow(hMarked, SW_MINIMIZE);
    CSingleInstance::BringToFront(hMarked);
    for (int i = 0; i < 100 && ::IsIconic(hMarked); ++i) {
        MSG msg;
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
        ::Sleep(10);
    }
    EXPECT_FALSE(::IsIconic(hMarked)) << "restored";
    EXPECT_EQ(hMarked, ::GetForegroundWindow());

    CSingleInstance::UnmarkWindow(hMarked);
    const DWORD start = ::GetTickCount();
    EXPECT_EQ(nullptr, CSingleInstance::FindMarkedWindow(200));
    EXPECT_GE(::GetTickCount() - start, 150u) << "waited for a first start to show its window";
    ::DestroyWindow(hMarked);
    ::DestroyWindow(hLookalike);
}
