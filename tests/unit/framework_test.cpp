// The framework layer on real windows: message maps, command routing,
// owner-draw reflection, the modal loop's PreTranslateMessage walk, DDX
// subclassing and default processing; the string and the array.
#include <gtest/gtest.h>
#include "framework/afxwin.h"
#include "framework/afxcoll.h"
#include "framework/BoundedText.h"
#include "test_resource.h"
#include <vector>

namespace {

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
