// The framework layer on real windows: message maps, command routing,
// owner-draw reflection, the modal loop's PreTranslateMessage walk, DDX
// subclassing and default processing; the string and the array.
#include <gtest/gtest.h>
#include "framework/afxwin.h"
#include "framework/afxcoll.h"
#include "framework/BoundedText.h"
#include "res/resource.h"
#include "skin/SkinArt.h"
#include "skin/SkinGeometry.h"
#include "test_resource.h"
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

// The framework asks for memory with new (std::nothrow); these tests can
// make it get none, as a machine out of memory would. Everything else
// (GoogleTest, the standard containers) uses the throwing forms.
namespace {
std::atomic<bool> s_bRefuseMemory{false};
}  // namespace
void* operator new(size_t cb, const std::nothrow_t&) noexcept { return s_bRefuseMemory ? nullptr : malloc(cb ? cb : 1); }
void* operator new[](size_t cb, const std::nothrow_t&) noexcept { return s_bRefuseMemory ? nullptr : malloc(cb ? cb : 1); }

namespace {

// No memory for the framework while it lives.
class CNoMemory {
public:
    CNoMemory() { s_bRefuseMemory = true; }
    ~CNoMemory() { s_bRefuseMemory = false; }
};

const UINT WM_TEST_PING = WM_APP + 5;
const UINT WM_TEST_STEP = WM_APP + 6;

// A control that records what the framework does to it.
class CProbeEdit : public CEdit {
public:
    int nPreSubclass = 0;
    HWND hWndAtPreSubclass = nullptr;
    int nSetText = 0;
    std::vector<WPARAM> keysSeen;
    WPARAM keyToSwallow = 0;

    void PreSubclassWindow() override { ++nPreSubclass; hWndAtPreSubclass = m_hWnd; }
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message != WM_KEYDOWN) return FALSE;
        keysSeen.push_back(pMsg->wParam);
        return pMsg->wParam == keyToSwallow;
    }
protected:
    LRESULT OnSetText(WPARAM, LPARAM) { ++nSetText; return Default(); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CProbeEdit, CEdit)
    ON_MESSAGE(WM_SETTEXT, OnSetText)
END_MESSAGE_MAP()

class COwnerButton : public CButton {
public:
    int nDrawn = 0;
    HWND hWndDrawn = nullptr;
    void DrawItem(LPDRAWITEMSTRUCT dis) override { ++nDrawn; hWndDrawn = dis->hwndItem; }
};

class CBaseTestDlg : public CDialog {
public:
    CBaseTestDlg() : CDialog(IDD_TEST_DIALOG) {}
    int nButtonClicked = 0, nEditChanged = 0, nBasePing = 0, nOtherCode = 0;
protected:
    void OnButtonClicked() { ++nButtonClicked; }
    void OnEditChanged() { ++nEditChanged; }
    LRESULT OnPing(WPARAM, LPARAM) { ++nBasePing; return 1; }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CBaseTestDlg, CDialog)
    ON_BN_CLICKED(IDC_TEST_BUTTON, OnButtonClicked)
    ON_EN_CHANGE(IDC_TEST_EDIT, OnEditChanged)
    ON_MESSAGE(WM_TEST_PING, OnPing)
END_MESSAGE_MAP()

// Runs a script of steps from inside the modal loop, one per posted
// WM_TEST_STEP, then ends the dialog.
class CTestDlg : public CBaseTestDlg {
public:
    CProbeEdit m_edit;
    COwnerButton m_owner;
    int nDerivedPing = 0, nCommand300 = 0;
    std::vector<std::pair<UINT, WPARAM>> dialogKeys;  // (message, key) seen by the dialog
    std::vector<void (*)(CTestDlg*)> steps;
    size_t nextStep = 0;

    BOOL OnInitDialog() override {
        CBaseTestDlg::OnInitDialog();
        PostMessage(WM_TEST_STEP);
        return TRUE;
    }
    BOOL PreTranslateMessage(MSG* pMsg) override {
        if (pMsg->message == WM_KEYDOWN && pMsg->hwnd == m_edit.m_hWnd) dialogKeys.push_back({pMsg->message, pMsg->wParam});
        return FALSE;
    }
protected:
    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Control(pDX, IDC_TEST_EDIT, m_edit);
        DDX_Control(pDX, IDC_TEST_OWNER, m_owner);
    }
    LRESULT OnDerivedPing(WPARAM, LPARAM) { ++nDerivedPing; return 2; }
    void OnCommand300() { ++nCommand300; }
    LRESULT OnStep(WPARAM, LPARAM) {
        if (nextStep < steps.size()) {
            steps[nextStep++](this);
            PostMessage(WM_TEST_STEP);
        } else {
            EndDialog(IDOK);
        }
        return 0;
    }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CTestDlg, CBaseTestDlg)
    ON_MESSAGE(WM_TEST_PING, OnDerivedPing)
    ON_COMMAND(300, OnCommand300)
    ON_MESSAGE(WM_TEST_STEP, OnStep)
END_MESSAGE_MAP()

// Counts the thread's windows titled velmora-oom-probe (a stdcall
// function: a lambda is not one on i386).
BOOL CALLBACK CountOomProbes(HWND h, LPARAM p) {
    wchar_t title[32] = {};
    ::GetWindowTextW(h, title, 32);
    if (wcscmp(title, L"velmora-oom-probe") == 0) ++*reinterpret_cast<size_t*>(p);
    return TRUE;
}

}  // namespace

TEST(FrameworkDialog, RoutesMessagesAndCommandsThroughChainedMaps) {
    CTestDlg dlg;
    LRESULT pingResult = 0;
    dlg.steps.push_back([](CTestDlg* d) {
        d->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_TEST_BUTTON, BN_CLICKED), 0);  // base map entry
        d->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_TEST_BUTTON, BN_SETFOCUS), 0); // other code: no entry
        d->SendMessage(WM_COMMAND, MAKEWPARAM(300, 0), 0);                       // derived command
        d->SendMessage(WM_COMMAND, MAKEWPARAM(301, 0), 0);                       // unknown ID
    });
    static LRESULT* s_ping = &pingResult;
    dlg.steps.push_back([](CTestDlg* d) { *s_ping = d->SendMessage(WM_TEST_PING); });
    dlg.steps.push_back([](CTestDlg* d) { d->SetDlgItemText(IDC_TEST_EDIT, L"typed"); });

    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(1, dlg.nButtonClicked);
    EXPECT_EQ(1, dlg.nCommand300);
    EXPECT_EQ(1, dlg.nDerivedPing) << "the derived map wins over the base map";
    EXPECT_EQ(0, dlg.nBasePing);
    EXPECT_EQ(2, pingResult) << "the handler's result is the message's result";
    EXPECT_EQ(1, dlg.nEditChanged);
    EXPECT_EQ(nullptr, dlg.m_hWnd) << "DoModal destroys the window";
}

TEST(FrameworkDialog, DdxSubclassesControlsAndDefaultReachesTheOriginalProcedure) {
    CTestDlg dlg;
    static wchar_t s_text[32];
    dlg.steps.push_back([](CTestDlg* d) {
        d->m_edit.SetWindowText(L"abc");
        d->m_edit.GetWindowText(s_text);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(1, dlg.m_edit.nPreSubclass);
    EXPECT_NE(nullptr, dlg.m_edit.hWndAtPreSubclass) << "PreSubclassWindow sees the bound window";
    EXPECT_GE(dlg.m_edit.nSetText, 1);
    EXPECT_STREQ(L"abc", s_text) << "Default() ran the edit control's own WM_SETTEXT";
    EXPECT_EQ(nullptr, dlg.m_edit.m_hWnd) << "unbound when its window is destroyed";
}

TEST(FrameworkDialog, ReflectsOwnerDrawingToTheControlObject) {
    CTestDlg dlg;
    dlg.steps.push_back([](CTestDlg* d) {
        d->m_owner.nDrawn = 0;
        ::RedrawWindow(d->m_owner.m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    });
    static HWND s_owner = nullptr;
    dlg.steps.push_back([](CTestDlg* d) { s_owner = d->m_owner.m_hWnd; });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_GE(dlg.m_owner.nDrawn, 1);
    EXPECT_EQ(s_owner, dlg.m_owner.hWndDrawn);
}

TEST(FrameworkDialog, ModalLoopOffersMessagesToTargetAndAncestorsFirst) {
    CTestDlg dlg;
    dlg.m_edit.keyToSwallow = 'X';
    dlg.steps.push_back([](CTestDlg* d) {
        d->m_edit.PostMessage(WM_KEYDOWN, 'X', 0);
        d->m_edit.PostMessage(WM_KEYDOWN, 'Y', 0);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ((std::vector<WPARAM>{'X', 'Y'}), dlg.m_edit.keysSeen);
    ASSERT_EQ(1u, dlg.dialogKeys.size()) << "a message the target consumed goes no further";
    EXPECT_EQ(WPARAM('Y'), dlg.dialogKeys[0].second);
}

TEST(FrameworkDialog, CloseEndsWithCancelAndMissingTemplateGivesMinusOne) {
    CTestDlg dlg;
    dlg.steps.push_back([](CTestDlg* d) { d->PostMessage(WM_CLOSE); });
    dlg.steps.push_back([](CTestDlg* d) { d->PostMessage(WM_TEST_PING); });  // still queued behind the close
    EXPECT_EQ(IDCANCEL, dlg.DoModal());

    CDialog missing(4321);
    EXPECT_EQ(-1, missing.DoModal());
}

TEST(FrameworkString, CopiesSlicesAndAppendsItsOwnText) {
    CString s(L"Velmora");
    s += s.GetString();  // the text appended may lie in the string's own buffer
    EXPECT_STREQ(L"VelmoraVelmora", s);
    for (int i = 0; i < 200; ++i) s += L'x';  // grows past its first buffers
    EXPECT_EQ(214, s.GetLength());

    const CString t(L"abcdef");
    EXPECT_STREQ(L"abc", t.Left(3));
    EXPECT_STREQ(L"abcdef", t.Left(99));
    EXPECT_STREQ(L"", t.Left(-1));
    EXPECT_STREQ(L"def", t.Mid(3));
    EXPECT_STREQ(L"cd", t.Mid(2, 2));
    EXPECT_STREQ(L"ef", t.Mid(4, 99));
    EXPECT_STREQ(L"", t.Mid(99, 2));

    CString copy = t, moved;
    copy.Truncate(2);
    EXPECT_STREQ(L"abcdef", t) << "a copy has its own buffer";
    moved = static_cast<CString&&>(copy);
    EXPECT_STREQ(L"ab", moved);
    moved = moved.GetString() + 1;  // assigning from its own text
    EXPECT_STREQ(L"b", moved);
    EXPECT_TRUE(CString(nullptr).IsEmpty());
    EXPECT_TRUE(CString(L"abc", 0) == L"");
}

TEST(FrameworkArray, KeepsObjectsThroughGrowthCopiesAndRemovals) {
    CArray<CString> a;
    for (int i = 0; i < 100; ++i) {
        wchar_t text[8];
        FormatWhole(text, L"%d", i);
        ASSERT_TRUE(a.Add(text));
    }
    EXPECT_EQ(100, a.GetSize());
    EXPECT_STREQ(L"0", a[0]);
    EXPECT_STREQ(L"99", a[99]);
    a.RemoveAt(0);
    EXPECT_STREQ(L"1", a[0]);
    EXPECT_EQ(99, a.GetSize());

    CArray<CString> b = a;
    a.RemoveAll();
    EXPECT_TRUE(a.IsEmpty());
    ASSERT_EQ(99, b.GetSize());
    int n = 0;
    for (const CString& s : b) n += s.GetLength();
    EXPECT_EQ(9 + 90 * 2, n);
}

TEST(FrameworkOutOfMemory, ArraysTellThatTheyAreIncomplete) {
    CArray<int> a;
    {
        CNoMemory none;
        EXPECT_FALSE(a.Add(1));
    }
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_FALSE(a.IsComplete());
    CArray<int> copy = a;
    EXPECT_FALSE(copy.IsComplete()) << "a copy of an incomplete array is incomplete";

    // The skin's geometry built without memory says so, and its users fall
    // back (a plain rectangle, the background drawn whole).
    HBITMAP hBack = LoadPngBitmap(::GetModuleHandleW(nullptr), IDB_SKIN_BACKGROUND);
    CNoMemory none;
    EXPECT_FALSE(SkinBackgroundBlits(622, 422, 622, 422, 1, -1, FALSE).IsComplete());
    EXPECT_FALSE(SkinCornerKeyPixels(622, 422, 622, 422, [](int, int) { return true; }).IsComplete());
    // The art at another DPI is not drawn (the PNG is stretched instead),
    // nor the background resampled (the design one is stretched).
    EXPECT_EQ(nullptr, DrawSkinArt(IDB_SKIN_INSTALL, {210, 60}, 144));
    EXPECT_EQ(nullptr, ScaleSkinBackground(hBack, 1, 144));
    ::DeleteObject(hBack);
}

TEST(FrameworkOutOfMemory, AWindowTheMapCannotHoldIsNotSubclassedAndItsDialogIsNotCreated) {
    // Windows bound until the handle map has no room left and must grow,
    // which it cannot: that window is neither bound nor left behind.
    std::vector<std::unique_ptr<CWnd>> bound;
    CNoMemory none;
    for (int i = 0; i < 4096; ++i) {
        std::unique_ptr<CWnd> wnd(new CWnd);
        if (!wnd->CreateEx(0, L"STATIC", L"velmora-oom-probe", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr)) break;
        bound.push_back(std::move(wnd));
    }
    ASSERT_LT(bound.size(), 4096u) << "the map had to grow at some point";
    size_t nProbes = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), CountOomProbes, reinterpret_cast<LPARAM>(&nProbes));
    EXPECT_EQ(bound.size(), nProbes) << "the window that could not be bound was destroyed";

    // A window of its own stays as it was: its procedure is its class's.
    const HWND hPlain = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, hPlain);
    const LONG_PTR procBefore = ::GetWindowLongPtrW(hPlain, GWLP_WNDPROC);
    CWnd wrapper;
    EXPECT_FALSE(wrapper.SubclassWindow(hPlain));
    EXPECT_EQ(nullptr, wrapper.m_hWnd);
    EXPECT_EQ(nullptr, CWnd::FromHandlePermanent(hPlain));
    EXPECT_EQ(procBefore, ::GetWindowLongPtrW(hPlain, GWLP_WNDPROC));
    ::DestroyWindow(hPlain);

    // The dialog itself cannot be bound.
    {
        CTestDlg dlg;
        EXPECT_EQ(-1, dlg.DoModal());
        EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), ::GetLastError());
    }
    // Room for the dialog alone: its first control cannot be bound, and the
    // dialog is destroyed rather than shown with a control that has lost
    // its procedure.
    bound.pop_back();
    {
        CTestDlg dlg;
        EXPECT_EQ(-1, dlg.DoModal());
        EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), ::GetLastError());
        EXPECT_EQ(nullptr, dlg.m_edit.m_hWnd);
        EXPECT_EQ(nullptr, ::FindWindowW(nullptr, L"Framework test")) << "no dialog window is left";
    }
}
