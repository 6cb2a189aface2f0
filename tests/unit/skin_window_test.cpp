// The skinned dialog base and the four skinned controls on real windows
// under Wine: sizes, caption buttons, window shape, pixels read back from
// window and memory DCs, and mouse behaviour through real input.
#include <gtest/gtest.h>
#include "res/resource.h"
#include "skin/DlgEx.h"
#include "skin/SkinGeometry.h"
#include "controls/BtnEx.h"
#include "controls/Chk2Btn.h"
#include "controls/ImgProgress.h"
#include "controls/StaticEx.h"
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

namespace {

const UINT WM_TEST_STEP = WM_APP + 20;
// Away from the top-left corner, where the installer's own window opens.
const int kDlgLeft = 660, kDlgTop = 560;

// A 32-bit bitmap whose pixel (x, y) is color(x, y).
HBITMAP MakeBitmap(int w, int h, const std::function<COLORREF(int, int)>& color) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP hbm = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    DWORD* p = static_cast<DWORD*>(bits);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const COLORREF c = color(x, y);
            p[y * w + x] = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        }
    return hbm;
}

// A pale pattern in which every pixel tells where it is and nothing is dark.
COLORREF Pattern(int x, int y) { return RGB(128 + x % 128, 128 + y % 128, 200 + (x / 128 + y / 128) % 50); }

// A strip of n frames of fw x fh, frame k all colors[k], with the key colour
// at (keyX, keyY) of every frame when keyX >= 0.
HBITMAP MakeStrip(int n, int fw, int fh, const std::vector<COLORREF>& colors, int keyX = -1, int keyY = -1) {
    return MakeBitmap(n * fw, fh, [=](int x, int y) {
        return (x % fw == keyX && y == keyY) ? SKIN_KEY_COLOR : colors[x / fw];
    });
}

const std::vector<COLORREF> kFrames = {RGB(10, 20, 30), RGB(40, 50, 60), RGB(70, 80, 90), RGB(100, 110, 120),
                                       RGB(130, 20, 30), RGB(160, 50, 60), RGB(190, 80, 90)};

// A memory DC with a screen-compatible bitmap, for DrawItem and erase tests.
struct MemDC {
    HDC dc;
    HBITMAP bmp;
    HGDIOBJ old;
    MemDC(int w, int h) {
        HDC screen = ::GetDC(nullptr);
        dc = ::CreateCompatibleDC(screen);
        bmp = ::CreateCompatibleBitmap(screen, w, h);
        ::ReleaseDC(nullptr, screen);
        old = ::SelectObject(dc, bmp);
    }
    ~MemDC() {
        ::SelectObject(dc, old);
        ::DeleteObject(bmp);
        ::DeleteDC(dc);
    }
    COLORREF At(int x, int y) const { return ::GetPixel(dc, x, y); }
};

COLORREF WindowPixel(HWND hWnd, int x, int y) {
    HDC dc = ::GetDC(hWnd);
    const COLORREF c = ::GetPixel(dc, x, y);
    ::ReleaseDC(hWnd, dc);
    return c;
}

CRect ClientRectOf(HWND hChild) {
    CRect rc;
    ::GetWindowRect(hChild, &rc);
    ::MapWindowPoints(nullptr, ::GetParent(hChild), reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

// The skinned base on the installer's template, its controls removed; runs
// init in OnInitDialog, then the steps one per posted message, then ends.
class CSkinTestDlg : public CDlgEx {
public:
    CSkinTestDlg() : CDlgEx(IDD_INSTALLER_DIALOG, L"Velmora安装向导") {}
    std::function<void(CSkinTestDlg*)> init;
    std::vector<std::function<void(CSkinTestDlg*)>> steps;
    std::atomic<int> nClicked{0};
    BOOL bEndAfterSteps = TRUE;

    BOOL OnInitDialog() override {
        CDlgEx::OnInitDialog();
        while (HWND h = ::GetWindow(m_hWnd, GW_CHILD)) ::DestroyWindow(h);
        SetWindowPos(nullptr, kDlgLeft, kDlgTop, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        if (init) init(this);
        PostMessage(WM_TEST_STEP);
        return TRUE;
    }
    // A plain child control of the dialog, for the skinned classes to subclass.
    HWND MakeChild(const wchar_t* cls, const wchar_t* text, DWORD style, int x, int y, int w, int h, int id) {
        HWND hwnd = ::CreateWindowExW(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, m_hWnd,
                                      reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
        ::SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(GetFont()), FALSE);
        return hwnd;
    }

protected:
    LRESULT OnStep(WPARAM, LPARAM) {
        if (m_nStep < steps.size()) {
            steps[m_nStep++](this);
            PostMessage(WM_TEST_STEP);
        } else if (bEndAfterSteps) {
            EndDialog(IDOK);
        }
        return 0;
    }
    void OnClicked() { ++nClicked; }
    size_t m_nStep = 0;
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(CSkinTestDlg, CDlgEx)
    ON_MESSAGE(WM_TEST_STEP, OnStep)
    ON_BN_CLICKED(601, OnClicked)
END_MESSAGE_MAP()

// The installer's caption settings and a pattern background of w x h.
void InstallerSkin(CSkinTestDlg* d, int w, int h) {
    d->m_nCaptionHeight = -1;
    d->m_nBorder = 1;
    d->m_nBtnRight = 10;
    d->m_nBtnTop = 10;
    d->m_nBtnGap = 10;
    HBITMAP hClose = MakeStrip(4, 17, 15, kFrames);
    HBITMAP hMin = MakeStrip(4, 17, 15, kFrames);
    d->SetSkin(MakeBitmap(w, h, Pattern), hClose, hMin);
    ::DeleteObject(hClose);
    ::DeleteObject(hMin);
}

class CTestBtn : public CBtnEx {
public:
    using CSkinButton::m_bPressed;
    using CSkinButton::m_imgList;
};
class CTestChk : public CChk2Btn {
public:
    using CSkinButton::m_bPressed;
};

// Draws the control's item into a memory DC the way the button procedure does.
void DrawInto(CButton& btn, HDC dc, UINT itemState) {
    DRAWITEMSTRUCT dis = {};
    dis.CtlType = ODT_BUTTON;
    dis.itemAction = ODA_DRAWENTIRE;
    dis.itemState = itemState;
    dis.hwndItem = btn.m_hWnd;
    dis.hDC = dc;
    ::GetClientRect(btn.m_hWnd, &dis.rcItem);
    btn.DrawItem(&dis);
}

}  // namespace

TEST(SkinnedDialog, TakesTheBackgroundSizeAndKeepsCaptionButtonsRightAligned) {
    CSkinTestDlg dlg;
    dlg.init = [](CSkinTestDlg* d) { InstallerSkin(d, 300, 200); };
    CRect rcWnd, rcClient, rcClose, rcMin, rcClose2, rcMin2;
    DWORD style = 0;
    dlg.steps.push_back([&](CSkinTestDlg* d) {
        d->GetWindowRect(&rcWnd);
        d->GetClientRect(&rcClient);
        style = d->GetStyle();
        rcClose = ClientRectOf(::GetDlgItem(d->m_hWnd, IDC_CAPTION_CLOSE));
        rcMin = ClientRectOf(::GetDlgItem(d->m_hWnd, IDC_CAPTION_MIN));
        d->MoveWindow(kDlgLeft, kDlgTop, 360, 220, TRUE);
        rcClose2 = ClientRectOf(d->m_btnClose.m_hWnd);
        rcMin2 = ClientRectOf(d->m_btnMin.m_hWnd);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(300, rcWnd.Width());
    EXPECT_EQ(200, rcWnd.Height());
    EXPECT_EQ(CRect(0, 0, 300, 200), rcClient) << "no frame left: the client area is the window";
    EXPECT_EQ(0u, style & WS_CAPTION);
    EXPECT_NE(0u, style & WS_MINIMIZEBOX);
    EXPECT_EQ(CRect(273, 10, 290, 25), rcClose);
    EXPECT_EQ(CRect(246, 10, 263, 25), rcMin) << "10 pixels left of the close button";
    EXPECT_EQ(CRect(333, 10, 350, 25), rcClose2) << "re-aligned to the new right edge";
    EXPECT_EQ(CRect(306, 10, 323, 25), rcMin2);
}

TEST(SkinnedDialog, PaintsItsBackgroundAndServesItToAForeignDC) {
    CSkinTestDlg dlg;
    LRESULT unskinnedErase = -1;
    COLORREF untouched = 0;
    dlg.init = [&](CSkinTestDlg* d) {
        MemDC mem(4, 4);
        ::SetPixel(mem.dc, 0, 0, RGB(1, 2, 3));
        unskinnedErase = d->SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(mem.dc));
        untouched = mem.At(0, 0);
        InstallerSkin(d, 300, 200);
    };
    std::vector<std::pair<COLORREF, COLORREF>> samples;  // (expected, seen)
    dlg.steps.push_back([&](CSkinTestDlg* d) {
        d->UpdateWindow();
        for (POINT p : {POINT{5, 5}, POINT{150, 100}, POINT{299, 199}, POINT{0, 0}, POINT{250, 40}})
            samples.push_back({Pattern(p.x, p.y), WindowPixel(d->m_hWnd, p.x, p.y)});
        // A control's memory DC shifted to the control's place gets the
        // background that lies behind it.
        MemDC mem(50, 40);
        ::SetWindowOrgEx(mem.dc, 100, 60, nullptr);
        d->SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(mem.dc));
        ::SetWindowOrgEx(mem.dc, 0, 0, nullptr);
        samples.push_back({Pattern(100, 60), mem.At(0, 0)});
        samples.push_back({Pattern(149, 99), mem.At(49, 39)});
        // Wider than the bitmap: the last column reappears at the right edge.
        d->MoveWindow(kDlgLeft, kDlgTop, 340, 200, TRUE);
        d->UpdateWindow();
        samples.push_back({Pattern(299, 100), WindowPixel(d->m_hWnd, 339, 100)});
        samples.push_back({Pattern(120, 100), WindowPixel(d->m_hWnd, 120, 100)});
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(0, unskinnedErase) << "no background bitmap: nothing painted";
    EXPECT_EQ(RGB(1, 2, 3), untouched);
    for (size_t i = 0; i < samples.size(); ++i) EXPECT_EQ(samples[i].first, samples[i].second) << "sample " << i;
}

TEST(SkinnedDialog, KeyColouredCornerPixelsLeaveTheWindowRegionAlsoAfterAResize) {
    CSkinTestDlg dlg;
    dlg.init = [](CSkinTestDlg* d) {
        d->SetSkin(MakeBitmap(100, 60, [](int x, int y) {
                       const bool corner = (x == 0 || x == 99) && (y == 0 || y == 59);
                       if (corner || (x == 9 && y == 0) || (x == 50 && y == 30)) return SKIN_KEY_COLOR;
                       return (x == 1 && y == 1) ? RGB(255, 0, 254) : Pattern(x, y);
                   }),
                   nullptr, nullptr);
    };
    struct Probe { int x, y; BOOL inside; };
    std::vector<std::pair<Probe, BOOL>> seen;
    auto check = [&](HWND h, std::vector<Probe> probes) {
        HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
        ::GetWindowRgn(h, rgn);
        for (const Probe& p : probes) seen.push_back({p, ::PtInRegion(rgn, p.x, p.y)});
        ::DeleteObject(rgn);
    };
    dlg.steps.push_back([&](CSkinTestDlg* d) {
        check(d->m_hWnd, {{0, 0, FALSE}, {99, 0, FALSE}, {0, 59, FALSE}, {99, 59, FALSE}, {1, 0, TRUE},
                          {9, 0, TRUE}, {50, 30, TRUE}, {1, 1, TRUE}});
        d->MoveWindow(kDlgLeft, kDlgTop, 260, 150, TRUE);
        check(d->m_hWnd, {{0, 0, FALSE}, {259, 0, FALSE}, {0, 149, FALSE}, {259, 149, FALSE}, {99, 0, TRUE},
                          {99, 59, TRUE}, {258, 149, TRUE}, {1, 1, TRUE}});
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    for (const auto& s : seen)
        EXPECT_EQ(s.first.inside, s.second) << "window pixel " << s.first.x << "," << s.first.y;
}

TEST(SkinnedDialog, SurfaceDragsAndCaptionButtonsPostTheirCommands) {
    CSkinTestDlg dlg;
    dlg.init = [](CSkinTestDlg* d) { InstallerSkin(d, 300, 200); };
    LRESULT hit = 0;
    BOOL stillOpen = FALSE;
    dlg.bEndAfterSteps = FALSE;
    dlg.steps.push_back([&](CSkinTestDlg* d) {
        hit = d->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(kDlgLeft + 150, kDlgTop + 150));
        d->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_CAPTION_CLOSE, BN_CLICKED),
                       reinterpret_cast<LPARAM>(d->m_btnClose.m_hWnd));
        stillOpen = ::IsWindow(d->m_hWnd);
    });
    EXPECT_EQ(IDCANCEL, dlg.DoModal()) << "the posted SC_CLOSE ends the dialog";
    EXPECT_EQ(HTCAPTION, hit);
    EXPECT_TRUE(stillOpen) << "posted, not sent";
}

namespace {
// What a skinned window shows of its layout at one moment.
struct DpiLayout {
    CRect rcWnd, rcClose, rcMin;
    UINT nDpi;
    LONG fontHeight;
    LRESULT hit;
    std::vector<BOOL> inside;  // PtInRegion at the probes
    COLORREF middle;
};
}  // namespace

TEST(SkinnedDialog, OnADpiChangeItTakesTheSuggestedPlaceAndScalesShapeCaptionButtonsAndFont) {
    // Key-coloured corners, as drawn: two pixels top left, one bottom right.
    CSkinTestDlg dlg;
    HWND hChild = nullptr;
    dlg.init = [&](CSkinTestDlg* d) {
        InstallerSkin(d, 300, 200);
        d->SetBackground(MakeBitmap(300, 200, [](int x, int y) {
            const bool key = (y == 0 && x < 2) || (x == 299 && y == 199);
            return key ? SKIN_KEY_COLOR : Pattern(x, y);
        }));
        hChild = d->MakeChild(L"BUTTON", L"Label", 0, 10, 40, 60, 20, 609);
    };
    const std::vector<POINT> probes = {{0, 0}, {2, 1}, {3, 0}, {2, 2}};  // and the bottom right, from the corner
    auto look = [&](CSkinTestDlg* d) {
        DpiLayout l = {};
        d->GetWindowRect(&l.rcWnd);
        l.rcClose = ClientRectOf(d->m_btnClose.m_hWnd);
        l.rcMin = ClientRectOf(d->m_btnMin.m_hWnd);
        l.nDpi = d->m_nDpi;
        LOGFONTW lf = {};
        ::GetObjectW(reinterpret_cast<HFONT>(::SendMessageW(hChild, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
        l.fontHeight = lf.lfHeight;
        l.hit = d->SendMessage(WM_NCHITTEST, 0, MAKELPARAM(l.rcWnd.left + 150, l.rcWnd.top + 150));
        HRGN rgn = ::CreateRectRgn(0, 0, 0, 0);
        ::GetWindowRgn(d->m_hWnd, rgn);
        for (POINT p : probes) l.inside.push_back(::PtInRegion(rgn, p.x, p.y));
        for (POINT p : {POINT{1, 1}, POINT{3, 1}, POINT{1, 3}})
            l.inside.push_back(::PtInRegion(rgn, l.rcWnd.Width() - p.x, l.rcWnd.Height() - p.y));
        ::DeleteObject(rgn);
        d->UpdateWindow();
        l.middle = WindowPixel(d->m_hWnd, l.rcWnd.Width() * 2 / 3, l.rcWnd.Height() * 2 / 3);
        return l;
    };
    DpiLayout before, at144, back;
    LRESULT answered = FALSE;
    SIZE scaled = {};
    dlg.steps.push_back([&](CSkinTestDlg* d) {
        before = look(d);
        answered = d->SendMessage(WM_GETDPISCALEDSIZE, 144, reinterpret_cast<LPARAM>(&scaled));
        // The system suggests a place a pixel off the size asked for.
        RECT rc = {kDlgLeft - 50, kDlgTop - 40, kDlgLeft - 50 + 451, kDlgTop - 40 + 301};
        d->SendMessage(WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&rc));
        at144 = look(d);
        rc = {kDlgLeft, kDlgTop, kDlgLeft + 300, kDlgTop + 200};
        d->SendMessage(WM_DPICHANGED, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&rc));
        back = look(d);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());

    EXPECT_TRUE(answered) << "the window names its own size";
    EXPECT_EQ(450, scaled.cx);
    EXPECT_EQ(300, scaled.cy);
    EXPECT_EQ(CRect(kDlgLeft - 50, kDlgTop - 40, kDlgLeft + 401, kDlgTop + 261), at144.rcWnd) << "the suggested place";
    EXPECT_EQ(144u, at144.nDpi);
    // 273 to 290 and 246 to 263 scaled, one pixel right with the window's edge.
    EXPECT_EQ(CRect(411, 15, 436, 38), at144.rcClose);
    EXPECT_EQ(CRect(370, 15, 396, 38), at144.rcMin);
    EXPECT_EQ(-18, at144.fontHeight) << "the template's 12 pixels at 144 DPI";
    EXPECT_EQ(HTCAPTION, at144.hit);
    // Design pixel (0, 0) covers 0 to 2, (1, 0) 2 to 3; the bottom right
    // one the last two of each side.
    EXPECT_EQ((std::vector<BOOL>{FALSE, FALSE, TRUE, TRUE, FALSE, TRUE, TRUE}), at144.inside);
    const COLORREF expected = Pattern(200, 133);
    EXPECT_NEAR(GetRValue(expected), GetRValue(at144.middle), 3) << "the background scaled";
    EXPECT_NEAR(GetGValue(expected), GetGValue(at144.middle), 3);
    EXPECT_NEAR(GetBValue(expected), GetBValue(at144.middle), 3);

    for (const DpiLayout* l : {&before, &back}) {
        EXPECT_EQ(CRect(kDlgLeft, kDlgTop, kDlgLeft + 300, kDlgTop + 200), l->rcWnd);
        EXPECT_EQ(96u, l->nDpi);
        EXPECT_EQ(CRect(273, 10, 290, 25), l->rcClose);
        EXPECT_EQ(CRect(246, 10, 263, 25), l->rcMin);
        EXPECT_EQ(-12, l->fontHeight);
        EXPECT_EQ((std::vector<BOOL>{FALSE, TRUE, TRUE, TRUE, FALSE, TRUE, TRUE}), l->inside);
        EXPECT_EQ(Pattern(200, 133), l->middle);
    }
}

TEST(SkinnedDialog, MaximiseFillsTheBoundedWorkAreaAndRestoreReturns) {
    CSkinTestDlg dlg;
    dlg.init = [](CSkinTestDlg* d) {
        InstallerSkin(d, 300, 200);
        d->m_bmpMax.Attach(MakeStrip(4, 17, 15, kFrames));
        d->m_bmpRestore.Attach(MakeStrip(4, 17, 15, kFrames));
        d->m_btnMax.CreateImageButton(200, 10, d->m_bmpMax, IDC_CAPTION_MAX, d);
        d->m_nMaxWidth = 800;
        d->m_nMaxHeight = 600;
    };
    CRect rcMax, rcRestored, rcExpected;
    BOOL bMaxState = FALSE;
    dlg.steps.push_back([&](CSkinTestDlg* d) {
        RECT work;
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
        rcExpected = SkinMaximizedRect(work, 800, 600);
        d->m_rcRestore = CRect(kDlgLeft, kDlgTop, kDlgLeft + 300, kDlgTop + 200);
        d->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_CAPTION_MAX, BN_CLICKED));
        d->GetWindowRect(&rcMax);
        bMaxState = d->m_bMaximized;
        d->SendMessage(WM_COMMAND, MAKEWPARAM(IDC_CAPTION_MAX, BN_CLICKED));
        d->GetWindowRect(&rcRestored);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(rcExpected, rcMax);
    EXPECT_TRUE(bMaxState);
    EXPECT_EQ(CRect(kDlgLeft, kDlgTop, kDlgLeft + 300, kDlgTop + 200), rcRestored);
}

TEST(SkinButton, EachStatePaintsItsFrameAndKeyPixelsShowTheParent) {
    CSkinTestDlg dlg;
    CTestBtn btn;
    dlg.init = [&](CSkinTestDlg* d) {
        InstallerSkin(d, 300, 200);
        HBITMAP strip = MakeStrip(4, 20, 10, kFrames, 3, 4);
        btn.CreateImageButton(200, 100, strip, 600, d);  // client (180, 100)
        ::DeleteObject(strip);
    };
    struct Seen { COLORREF corner, key; };
    std::vector<Seen> seen;
    Seen stretched[2] = {};
    dlg.steps.push_back([&](CSkinTestDlg*) {
        MemDC mem(40, 20);
        auto draw = [&](UINT state, BOOL hover) {
            btn.m_bHover = hover;
            DrawInto(btn, mem.dc, state);
            seen.push_back({mem.At(0, 0), mem.At(3, 4)});
            btn.m_bPressed = FALSE;
        };
        draw(0, FALSE);
        draw(0, TRUE);
        draw(ODS_SELECTED, TRUE);
        draw(ODS_DISABLED, TRUE);
        // A button larger than its images stretches them, key pixels included.
        btn.MoveWindow(180, 100, 40, 20, TRUE);
        HBITMAP strip = MakeStrip(4, 20, 10, kFrames, 3, 4);
        btn.SetImage(strip, FALSE);
        ::DeleteObject(strip);
        btn.m_bHover = FALSE;
        DrawInto(btn, mem.dc, 0);
        stretched[0] = {mem.At(39, 19), mem.At(6, 8)};
        stretched[1] = {mem.At(0, 0), mem.At(7, 9)};
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    ASSERT_EQ(4u, seen.size());
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(kFrames[i], seen[i].corner) << "state " << i;
        EXPECT_EQ(Pattern(183, 104), seen[i].key) << "state " << i << ": the parent shows through";
    }
    EXPECT_EQ(kFrames[0], stretched[0].corner);
    EXPECT_EQ(kFrames[0], stretched[1].corner);
    EXPECT_EQ(Pattern(186, 108), stretched[0].key);
    EXPECT_EQ(Pattern(187, 109), stretched[1].key);
}

namespace {
BOOL CALLBACK CountWindow(HWND, LPARAM lParam) {
    ++*reinterpret_cast<int*>(lParam);
    return TRUE;
}
// This thread's top-level windows.
int ThreadWindowCount() {
    int n = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&n));
    return n;
}
}  // namespace

TEST(SkinButton, AWindowTheSystemRefusesLeavesNoButtonAndNoSkin) {
    HWND hGone = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(hGone);
    ::DestroyWindow(hGone);
    const struct { const char* what; HWND hParent; } cases[] = {
        {"a destroyed parent", hGone},
        {"a parent without a window", nullptr},
    };
    HBITMAP strip = MakeStrip(4, 20, 10, kFrames);
    for (const auto& c : cases) {
        CWnd parent;
        parent.m_hWnd = c.hParent;
        CTestBtn btn;
        const int nBefore = ThreadWindowCount();
        EXPECT_FALSE(btn.CreateImageButton(200, 100, strip, 600, &parent)) << c.what;
        EXPECT_EQ(nullptr, btn.m_hWnd) << c.what;
        EXPECT_EQ(nullptr, btn.m_imgList.GetSafeHandle()) << c.what;
        EXPECT_EQ(nBefore, ThreadWindowCount()) << c.what << ": nor a top-level one";
        parent.m_hWnd = nullptr;
    }
    ::DeleteObject(strip);
}

TEST(SkinCheckBox, SevenStatesAndTheFitAtFirstPaint) {
    CSkinTestDlg dlg;
    CTestChk chk;
    dlg.init = [&](CSkinTestDlg* d) {
        InstallerSkin(d, 300, 200);
        chk.SubclassWindow(d->MakeChild(L"BUTTON", L"Label", 0, 20, 60, 50, 30, 602));
        CBitmap strip;
        strip.Attach(MakeStrip(7, 14, 14, kFrames));
        chk.SetImage(&strip);
    };
    std::vector<COLORREF> seen;
    CRect rcFit, rcText;
    int nDarkInGap = -1, nDarkInLabel = -1;
    dlg.steps.push_back([&](CSkinTestDlg* d) {
        MemDC mem(120, 40);
        HGDIOBJ oldFont = ::SelectObject(mem.dc, d->GetFont());
        ::DrawTextW(mem.dc, L"Label", -1, &rcText, DT_CALCRECT);
        struct { UINT state; int check; BOOL hover; } cases[] = {
            {0, 0, FALSE}, {0, 0, TRUE}, {ODS_SELECTED, 0, FALSE}, {0, 1, FALSE},
            {0, 1, TRUE}, {ODS_SELECTED, 1, TRUE}, {ODS_DISABLED, 1, FALSE},
        };
        for (const auto& c : cases) {
            chk.m_bHover = c.hover;
            chk.SetCheck(c.check);
            DrawInto(chk, mem.dc, c.state);
            seen.push_back(mem.At(0, 0));
            chk.m_bPressed = FALSE;
        }
        rcFit = ClientRectOf(chk.m_hWnd);
        DrawInto(chk, mem.dc, 0);
        nDarkInGap = nDarkInLabel = 0;
        for (int y = 0; y < rcFit.Height(); ++y)
            for (int x = 14; x < rcFit.Width(); ++x) {
                const COLORREF c = mem.At(x, y);
                const bool dark = GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100;
                (x < 19 ? nDarkInGap : nDarkInLabel) += dark;
            }
        ::SelectObject(mem.dc, oldFont);
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    ASSERT_EQ(7u, seen.size());
    for (int i = 0; i < 7; ++i) EXPECT_EQ(kFrames[i], seen[i]) << "state " << i;
    EXPECT_EQ(20, rcFit.left);
    EXPECT_EQ(60, rcFit.top);
    EXPECT_EQ(14 + rcText.Width() + 5, rcFit.Width());
    EXPECT_EQ(std::max<LONG>(14, rcText.Height()), rcFit.Height());
    EXPECT_EQ(0, nDarkInGap) << "the label starts 5 pixels right of the box";
    EXPECT_GT(nDarkInLabel, 0) << "the label is drawn";
}

TEST(SkinProgress, FillAppearsAtTheExpectedColumnsAndReplacedImagesAreFreed) {
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
    CSkinTestDlg dlg;
    CImgProgress bar;
    HBITMAP firstTrack = nullptr, firstFill = nullptr;
    const COLORREF track = RGB(0, 128, 0);
    auto fillColor = [](int x) { return RGB(x, 0, 200); };
    dlg.init = [&](CSkinTestDlg* d) {
        InstallerSkin(d, 300, 200);
        bar.SubclassWindow(d->MakeChild(PROGRESS_CLASSW, L"", 0, 20, 150, 10, 10, 603));
        firstTrack = MakeBitmap(100, 4, [](int, int) { return RGB(1, 1, 1); });
        firstFill = MakeBitmap(120, 4, [](int, int) { return RGB(2, 2, 2); });
        bar.SetImages(firstTrack, firstFill);
        bar.SetImages(MakeBitmap(100, 4, [&](int, int) { return track; }),
                      MakeBitmap(120, 4, [&](int x, int) { return fillColor(x); }));
    };
    std::vector<COLORREF> at50, emptyRange;
    CRect rcBar;
    dlg.steps.push_back([&](CSkinTestDlg*) {
        rcBar = ClientRectOf(bar.m_hWnd);
        bar.SetPos(50);
        bar.UpdateWindow();
        for (int x = 0; x < 100; ++x) at50.push_back(WindowPixel(bar.m_hWnd, x, 1));
        bar.SetRange32(5, 5);
        bar.Invalidate(FALSE);
        bar.UpdateWindow();
        for (int x = 0; x < 100; ++x) emptyRange.push_back(WindowPixel(bar.m_hWnd, x, 1));
    });
    EXPECT_EQ(IDOK, dlg.DoModal());
    EXPECT_EQ(CRect(20, 150, 120, 154), rcBar) << "sized to the track";
    EXPECT_EQ(0, ::GetObjectType(firstTrack)) << "a second SetImages frees the bitmaps it replaces";
    EXPECT_EQ(0, ::GetObjectType(firstFill));
    ASSERT_EQ(100u, at50.size());
    // Fill strip 120 wide centred on the 100-pixel track (from -10); position
    // 50 fills 60 pixels: 30 from the strip's start, 30 from its end.
    for (int x = 0; x < 100; ++x) {
        const COLORREF expected = x < 20 ? fillColor(x + 10) : x < 50 ? fillColor(x + 70) : track;
        EXPECT_EQ(expected, at50[x]) << "column " << x;
    }
    for (int x = 0; x < 100; ++x) EXPECT_EQ(track, emptyRange[x]) << "empty range, column " << x;
}

namespace {
// The label font as the label builds it over a control without a font.
HFONT LabelFont() {
    LOGFONTW lf = {};
    ::GetObjectW(::GetStockObject(SYSTEM_FONT), sizeof(lf), &lf);
    lf.lfHeight = -12;
    wcscpy_s(lf.lfFaceName, _countof(lf.lfFaceName), L"微软雅黑");
    return ::CreateFontIndirectW(&lf);
}
int DarkPixels(HWND h) {
    CRect rc;
    ::GetClientRect(h, &rc);
    int n = 0;
    for (int y = 0; y < rc.Height(); ++y)
        for (int x = 0; x < rc.Width(); ++x) {
            const COLORREF c = WindowPixel(h, x, y);
            n += GetRValue(c) < 100 && GetGValue(c) < 100 && GetBValue(c) < 100;
        }
    return n;
}
}  // namespace

TEST(SkinLabel, WrapsGrowsKeepsItsWidthAndEndsOnTooWideCharacters) {
    CSkinTestDlg dlg;
    CStaticEx wrapped, narrow, single, image;
    int lineH = 0, avgW = 0, charW = 0;
    {
        HDC dc = ::CreateCompatibleDC(nullptr);
        HFONT font = LabelFont();
        HGDIOBJ old = ::SelectObject(dc, font);
        RECT rc = {};
        ::DrawTextW(dc, L"测试用汉字来获取宽度", 11, &rc, DT_CALCRECT);
        avgW = rc.right / 11;
        lineH = rc.bottom;
        RECT rcChar = {};
        ::DrawTextW(dc, L"汉", 1, &rcChar, DT_CALCRECT | DT_SINGLELINE);
        charW = rcChar.right;
        ::SelectObject(dc, old);
        ::DeleteObject(font);
        ::DeleteDC(dc);
    }
    ASSERT_GT(lineH, 0);
    dlg.init = [&](CSkinTestDlg* d) {
        InstallerSkin(d, 300, 200);
        wrapped.SubclassWindow(d->MakeChild(L"STATIC", L"正在下载Velmora游戏平台，请稍候片刻再继续", 0, 10, 30, 100, 20, 604));
        narrow.SubclassWindow(d->MakeChild(L"STATIC", L"汉字汉字", 0, 150, 30, avgW, 5, 605));
        single.SubclassWindow(d->MakeChild(L"STATIC", L"正在下载Velmora游戏平台，请稍候", SS_CENTERIMAGE, 10, 120, 60, 20, 606));
        image.SubclassWindow(d->MakeChild(L"STATIC", L"", 0, 150, 150, 119, 12, 607));
        HBITMAP warn = MakeBitmap(117, 12, [](int x, int) { return x < 60 ? RGB(200, 0, 0) : SKIN_KEY_COLOR; });
        image.SetImage(warn);
        ::DeleteObject(warn);
        // The windows' own font goes: the labels build theirs from the system font.
        for (HWND h : {wrapped.m_hWnd, narrow.m_hWnd, single.m_hWnd, image.m_hWnd})
            ::SendMessageW(h, WM_SETFONT, 0, FALSE);
    };
    CRect rcWrapped, rcNarrow, rcSingle, rcImage;
    int darkBefore = 0, darkAfterClear = -1;
    COLORREF imagePixel = 0, imageKeyPixel = 0;
    dlg.steps.push_back([&](CSkinTestDlg* d) {
        d->UpdateWindow();
        for (CWnd* w : {(CWnd*)&wrapped, (CWnd*)&narrow, (CWnd*)&single, (CWnd*)&image}) w->UpdateWindow();
    });
    dlg.steps.push_back([&](CSkinTestDlg*) {
        rcWrapped = ClientRectOf(wrapped.m_hWnd);
        rcNarrow = ClientRectOf(narrow.m_hWnd);
        rcSingle = ClientRectOf(single.m_hWnd);
        rcImage = ClientRectOf(image.m_hWnd);
        imagePixel = WindowPixel(image.m_hWnd, 3, 6);
        imageKeyPixel = WindowPixel(image.m_hWnd, 100, 6);
        darkBefore = DarkPixels(wrapped.m_hWnd);
        wrapped.SetText(nullptr);
        darkAfterClear = DarkPixels(wrapped.m_hWnd);  // painted before SetText returned
    });
    EXPECT_EQ(IDOK, dlg.DoModal());

    EXPECT_EQ(10, rcWrapped.left);
    EXPECT_EQ(30, rcWrapped.top);
    EXPECT_EQ(100, rcWrapped.Width()) << "the label keeps its width";
    EXPECT_GT(rcWrapped.Height(), 20) << "and grows to its lines";
    EXPECT_EQ(0, (rcWrapped.Height() - lineH) % (lineH + 3)) << "whole lines of " << lineH << " plus 3";
    EXPECT_GT(darkBefore, 0);
    EXPECT_EQ(0, darkAfterClear);

    if (charW > avgW) {
        EXPECT_EQ(LabelTextHeight(4, lineH, 3), rcNarrow.Height()) << "one too-wide character per line";
    }
    EXPECT_EQ(avgW, rcNarrow.Width());
    EXPECT_EQ(20, rcSingle.Height()) << "single-line labels keep their height";
    EXPECT_EQ(12, rcImage.Height()) << "an image-only label never grows";
    EXPECT_EQ(RGB(200, 0, 0), imagePixel) << "image 3 pixels from the left, vertically centred";
    EXPECT_EQ(Pattern(250, 156), imageKeyPixel) << "key pixels of the image show the parent";
}

namespace {
void MoveMouse(int x, int y) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(x, 65535, ::GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = MulDiv(y, 65535, ::GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    ::SendInput(1, &in, sizeof(in));
}
void MouseButton(DWORD flag) {
    INPUT in = {};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flag;
    ::SendInput(1, &in, sizeof(in));
}

// Runs the dialog while drive() acts on it from another thread once it has
// painted; then parks the pointer out of everyone's way and closes it.
void RunWithInput(CSkinTestDlg& dlg, const std::function<void()>& drive) {
    HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    dlg.bEndAfterSteps = FALSE;
    dlg.steps.push_back([ready](CSkinTestDlg* d) {
        ::RedrawWindow(d->m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        ::SetEvent(ready);
    });
    std::thread driver([&] {
        ::WaitForSingleObject(ready, 10000);
        drive();
        MoveMouse(1270, 1010);
        dlg.PostMessage(WM_CLOSE);
    });
    dlg.DoModal();
    driver.join();
    ::CloseHandle(ready);
}
}  // namespace

TEST(SkinButtonInput, HoverAfterRestPressedLatchAndNoClickReleasedOutside) {
    CSkinTestDlg dlg;
    CTestBtn btn;
    dlg.init = [&](CSkinTestDlg* d) {
        InstallerSkin(d, 300, 200);
        HBITMAP strip = MakeStrip(4, 60, 30, kFrames);
        btn.CreateImageButton(100, 40, strip, 601, d);  // client (40, 40) to (100, 70)
        ::DeleteObject(strip);
    };
    struct Obs { const char* what; COLORREF expected, seen; int clicks; };
    std::vector<Obs> obs;
    RunWithInput(dlg, [&] {
        const int bx = kDlgLeft + 70, by = kDlgTop + 55;        // the button's middle
        const int ox = kDlgLeft + 200, oy = kDlgTop + 150;      // the dialog's surface
        // Waits at least ms, then up to 3 s more for the expected frame.
        auto look = [&](const char* what, DWORD ms, int frame) {
            ::Sleep(ms);
            COLORREF seen = 0;
            for (int i = 0; i < 60 && (seen = WindowPixel(btn.m_hWnd, 5, 5)) != kFrames[frame]; ++i) ::Sleep(50);
            obs.push_back({what, kFrames[frame], seen, dlg.nClicked.load()});
        };
        MoveMouse(ox, oy);
        look("away", 100, 0);
        MoveMouse(bx, by);
        look("rested on the button", 100, 1);
        MouseButton(MOUSEEVENTF_LEFTDOWN);
        look("held", 100, 2);
        MoveMouse(ox, oy);
        look("held and dragged off", 500, 2);
        MouseButton(MOUSEEVENTF_LEFTUP);
        look("released outside", 300, 0);
        MoveMouse(bx, by);
        look("back on the button", 100, 1);
        MouseButton(MOUSEEVENTF_LEFTDOWN);
        ::Sleep(100);
        MouseButton(MOUSEEVENTF_LEFTUP);
        look("clicked", 300, 1);
    });

    const int clicks[] = {0, 0, 0, 0, 0, 0, 1};
    ASSERT_EQ(7u, obs.size());
    for (size_t i = 0; i < obs.size(); ++i) {
        EXPECT_EQ(obs[i].expected, obs[i].seen) << obs[i].what;
        EXPECT_EQ(clicks[i], obs[i].clicks) << obs[i].what;
    }
}

namespace {
// Pixels of the label in which one colour channel clearly leads.
struct Inks { int red = 0, blue = 0; };
Inks CountInks(HWND h) {
    CRect rc;
    ::GetClientRect(h, &rc);
    Inks n;
    for (int y = 0; y < rc.Height(); ++y)
        for (int x = 0; x < rc.Width(); ++x) {
            const COLORREF c = WindowPixel(h, x, y);
            n.red += GetRValue(c) > 150 && GetGValue(c) < 90 && GetBValue(c) < 90;
            n.blue += GetBValue(c) > 150 && GetRValue(c) < 90 && GetGValue(c) < 90;
        }
    return n;
}
}  // namespace

TEST(SkinLabelInput, ALinkTakesItsHoverColourAndTheHandCursorWhileThePointerRests) {
    CSkinTestDlg dlg;
    CStaticEx link;
    dlg.init = [&](CSkinTestDlg* d) {
        InstallerSkin(d, 300, 200);
        link.SubclassWindow(d->MakeChild(L"STATIC", L"<<用户许可协议>>", 0, 40, 100, 140, 30, 608));
        link.m_crText = RGB(0, 0, 255);
        link.m_crHover = RGB(255, 0, 0);
        link.m_bHoverColor = TRUE;
        link.m_bHandCursor = TRUE;
        link.m_bUnderline = TRUE;
        link.ModifyStyle(0, SS_NOTIFY);
    };
    Inks away, rested, left;
    HCURSOR cursorOver = nullptr;
    RunWithInput(dlg, [&] {
        auto settle = [&](bool wantRed) {
            Inks n;
            for (int i = 0; i < 60; ++i) {
                ::Sleep(50);
                n = CountInks(link.m_hWnd);
                // Whole: a capture during the repaint holds both colours.
                if (wantRed ? n.red > 0 && n.blue == 0 : n.blue > 0 && n.red == 0) break;
            }
            return n;
        };
        MoveMouse(kDlgLeft + 250, kDlgTop + 170);
        away = settle(false);
        MoveMouse(kDlgLeft + 60, kDlgTop + 110);
        rested = settle(true);
        CURSORINFO ci = {};
        ci.cbSize = sizeof(ci);
        ::GetCursorInfo(&ci);
        cursorOver = ci.hCursor;
        MoveMouse(kDlgLeft + 250, kDlgTop + 170);
        left = settle(false);
    });

    EXPECT_GT(away.blue, 0) << "text colour";
    EXPECT_EQ(0, away.red);
    EXPECT_GT(rested.red, 0) << "hover colour";
    EXPECT_EQ(0, rested.blue);
    EXPECT_GT(left.blue, 0) << "back to the text colour on leave";
    EXPECT_EQ(0, left.red);
    EXPECT_EQ(::LoadCursorW(nullptr, IDC_HAND), cursorOver);
}
