#include "skin/DlgEx.h"
#include "skin/SkinArt.h"
#include "skin/SkinGeometry.h"

BEGIN_MESSAGE_MAP(CDlgEx, CDialog)
    ON_WM_ERASEBKGND()
    ON_WM_NCHITTEST()
    ON_COMMAND(IDC_CAPTION_CLOSE, OnBtnClose)
    ON_COMMAND(IDC_CAPTION_MAX, OnBtnMax)
    ON_COMMAND(IDC_CAPTION_MIN, OnBtnMin)
    ON_WM_NCLBUTTONDOWN()
    ON_WM_NCLBUTTONDBLCLK()
    ON_WM_LBUTTONDBLCLK()
    ON_WM_SIZE()
    ON_MESSAGE(WM_DPICHANGED, OnDpiChanged)
    ON_MESSAGE(WM_GETDPISCALEDSIZE, OnGetDpiScaledSize)
END_MESSAGE_MAP()

CDlgEx::CDlgEx(UINT nIDTemplate, const wchar_t* pszTitle) : CDialog(nIDTemplate, nullptr), m_pszTitle(pszTitle) {}

CDlgEx::~CDlgEx() = default;

BOOL CDlgEx::OnInitDialog() {
    if (!CDialog::OnInitDialog()) return FALSE;
    ModifyStyle(WS_CAPTION | DS_MODALFRAME, WS_MINIMIZEBOX, 0);
    ModifyStyleEx(WS_EX_DLGMODALFRAME | WS_EX_WINDOWEDGE, 0, 0);
    RECT rcWork = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcWork, 0);
    m_nMaxWidth = rcWork.right - rcWork.left;
    m_nMaxHeight = rcWork.bottom - rcWork.top;
    m_rcRestore = SkinInitialRestoreRect(rcWork);
    // The controls are laid out here, never by the dialog manager.
    SkinKeepDialogLayout(m_hWnd);
    m_nDpi = SkinWindowDpi(m_hWnd);
    LOGFONTW lf = {};
    ::GetObjectW(GetFont(), sizeof(lf), &lf);
    m_nFontHeight = ::MulDiv(lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight, SKIN_DESIGN_DPI, static_cast<int>(m_nDpi));
    CDlgEx::SetDpi(m_nDpi);  // only the font: nothing else is there yet
    return TRUE;
}

int CDlgEx::Scale(int v) const { return SkinScale(v, m_nDpi); }

CRect CDlgEx::ScaleRect(int l, int t, int r, int b) const { return SkinScaleRect({l, t, r, b}, m_nDpi); }

HBITMAP CDlgEx::BackgroundBitmap() const {
    return static_cast<HBITMAP>(m_bmpBackDpi.m_hObject ? m_bmpBackDpi.m_hObject : m_bmpBack.m_hObject);
}

void CDlgEx::SetDpi(UINT nDpi) {
    m_nDpi = SkinSaneDpi(nDpi);
    // The template font at the DPI, for every control that shows it.
    CFont font;
    if (font.CreateDerivedFont(GetFont(), -Scale(m_nFontHeight))) {
        for (HWND h = ::GetWindow(m_hWnd, GW_CHILD); h; h = ::GetWindow(h, GW_HWNDNEXT))
            ::SendMessageW(h, WM_SETFONT, reinterpret_cast<WPARAM>(font.m_hObject), FALSE);
        m_fontDpi.Attach(font.Detach());
    }
    if (!m_bmpBack.m_hObject) return;
    SetBackground(m_bmpBack);
    CRect rc;
    GetClientRect(&rc);
    PlaceCaptionButtons(rc.Width());
}

void CDlgEx::SetTitle() {
    SetWindowText(m_pszTitle);

    CRect rc;
    {
        CClientDC dc(this);
        const HGDIOBJ hFont = m_fontDpi.m_hObject ? m_fontDpi.m_hObject : GetFont();
        CSelectGuard font(&dc, hFont);
        LOGFONTW lf = {};
        ::GetObjectW(hFont, sizeof(lf), &lf);
        const int h = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
        int t = (Scale(m_nCaptionHeight) + 1 - h) / 2;
        if (t < 0) t = Scale(6);
        const int left = Scale(m_nBorder + 5 + (SendMessage(WM_GETICON, ICON_SMALL) ? 16 : 0));
        rc.SetRect(left, t - 2, left, t - 2);
        CString text;
        GetWindowText(text);
        dc.DrawText(text, -1, &rc, DT_CALCRECT);
    }

    CRect rcClient;
    GetClientRect(&rcClient);
    rc.right = rcClient.right;
    InvalidateRect(&rc, TRUE);
}

BOOL CDlgEx::SetSkin(HBITMAP hBack, HBITMAP hClose, HBITMAP hMin) {
    SetBackground(hBack);
    SetCaptionButtons(hClose, hMin);
    return TRUE;
}

void CDlgEx::SetBackground(HBITMAP hBack, HBITMAP hBackDpi) {
    if (hBack != m_bmpBack.m_hObject) m_bmpBack.Attach(hBack);
    m_bmpOverlay.DeleteObject();
    m_bmpBackDpi.Attach(hBackDpi);
    m_bStretch = FALSE;
    if (!m_bmpBack.m_hObject) return;  // no skin: the window keeps its size
    BITMAP bm = {};
    m_bmpBack.GetBitmap(&bm);
    const int w = Scale(bm.bmWidth), h = Scale(bm.bmHeight);
    const SIZE ahead = SkinBitmapSize(hBackDpi);
    if (ahead.cx != w || ahead.cy != h || m_nDpi == SKIN_DESIGN_DPI) m_bmpBackDpi.DeleteObject();
    // Without memory for it the design background is stretched (DrawBackground).
    if (m_nDpi != SKIN_DESIGN_DPI && !m_bmpBackDpi.m_hObject)
        m_bmpBackDpi.Attach(ScaleSkinBackground(m_bmpBack, m_nBorder, m_nDpi));
    CRect rcWnd;
    GetWindowRect(&rcWnd);
    // A new size gets its shape from OnSize.
    if (rcWnd.Width() == w && rcWnd.Height() == h)
        UpdateRegion();
    else
        SetWindowPos(nullptr, 0, 0, w, h, SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
}

void CDlgEx::SetCaptionButtons(HBITMAP hClose, HBITMAP hMin) {
    if (!m_sizeCaptionBtn.cx && m_nDpi == SKIN_DESIGN_DPI) {
        const SIZE strip = SkinBitmapSize(hClose ? hClose : hMin);
        m_sizeCaptionBtn = {strip.cx / 4, strip.cy};
    }
    // Made where the strip would have them; PlaceCaptionButtons puts them
    // in their places.
    if (hClose) {
        m_btnClose.DestroyWindow();
        m_btnClose.CreateImageButton(0, 0, hClose, IDC_CAPTION_CLOSE, this);
        m_btnClose.SetToolTipText(L"关闭");
    }
    if (hMin) {
        m_btnMin.DestroyWindow();
        m_btnMin.CreateImageButton(0, 0, hMin, IDC_CAPTION_MIN, this);
        m_btnMin.SetToolTipText(L"最小化");
    }
    CRect rc;
    GetClientRect(&rc);
    PlaceCaptionButtons(rc.Width());
}

CRect CDlgEx::CaptionButtonRect(int nIndex, int cx) const {
    // Right-aligned in the design window, and following its right edge.
    BITMAP bm = {};
    if (m_bmpBack.m_hObject) m_bmpBack.GetBitmap(&bm);
    const int right = bm.bmWidth - m_nBtnRight - nIndex * (m_sizeCaptionBtn.cx + m_nBtnGap);
    CRect rc = ScaleRect(right - m_sizeCaptionBtn.cx, m_nBtnTop, right, m_nBtnTop + m_sizeCaptionBtn.cy);
    rc.OffsetRect(cx - Scale(bm.bmWidth), 0);
    return rc;
}

void CDlgEx::PlaceCaptionButtons(int cx) {
    // Close, maximise, minimise from the right.
    int nIndex = 0;
    for (CBtnEx* pBtn : {&m_btnClose, &m_btnMax, &m_btnMin}) {
        if (!pBtn->m_hWnd) continue;
        const CRect rc = CaptionButtonRect(nIndex++, cx);
        pBtn->MoveWindow(rc.left, rc.top, rc.Width(), rc.Height(), TRUE);
    }
}

void CDlgEx::OnSize(UINT, int cx, int) {
    Default();
    if (!m_bmpBack.m_hObject) return;
    UpdateRegion();
    Invalidate(TRUE);
    PlaceCaptionButtons(cx);
}

LRESULT CDlgEx::OnDpiChanged(WPARAM wParam, LPARAM lParam) {
    SetDpi(LOWORD(wParam));
    if (const RECT* prc = reinterpret_cast<const RECT*>(lParam))
        SetWindowPos(nullptr, prc->left, prc->top, prc->right - prc->left, prc->bottom - prc->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

LRESULT CDlgEx::OnGetDpiScaledSize(WPARAM wParam, LPARAM lParam) {
    auto* pSize = reinterpret_cast<SIZE*>(lParam);
    if (!m_bmpBack.m_hObject || m_bResizable || !pSize) return FALSE;  // the old size scaled
    BITMAP bm = {};
    m_bmpBack.GetBitmap(&bm);
    const UINT nDpi = SkinSaneDpi(LOWORD(wParam));
    *pSize = {SkinScale(bm.bmWidth, nDpi), SkinScale(bm.bmHeight, nDpi)};
    return TRUE;
}

BOOL CDlgEx::UpdateRegion() {
    CRect rcWnd;
    GetWindowRect(&rcWnd);
    BITMAP bm = {};
    m_bmpBack.GetBitmap(&bm);

    CRgn rgn;
    rgn.CreateRectRgn(0, 0, rcWnd.Width(), rcWnd.Height());
    {
        // The design background's key pixels, each where it lies at the DPI.
        CDC dc;
        dc.CreateCompatibleDC(nullptr);
        CSelectGuard back(&dc, m_bmpBack.m_hObject);
        const CArray<RECT> removed = SkinCornerKeyRects(
            rcWnd.Width(), rcWnd.Height(), bm.bmWidth, bm.bmHeight, m_nDpi,
            [&dc](int x, int y) { return dc.GetPixel(x, y) == SKIN_KEY_COLOR; });
        // Without all of the corners the shape would be wrong: the window
        // stays a plain rectangle.
        if (!removed.IsComplete()) {
            ::SetWindowRgn(m_hWnd, nullptr, FALSE);
            return FALSE;
        }
        for (const RECT& rc : removed) {
            CRgn pixel;
            pixel.CreateRectRgn(rc.left, rc.top, rc.right, rc.bottom);
            rgn.CombineRgn(rgn, pixel, RGN_DIFF);
        }
    }
    // The window owns the region from here on.
    ::SetWindowRgn(m_hWnd, static_cast<HRGN>(rgn.Detach()), FALSE);
    return TRUE;
}

BOOL CDlgEx::OnEraseBkgnd(CDC* pDC) {
    CRect rcWnd;
    GetWindowRect(&rcWnd);
    const int W = rcWnd.Width(), H = rcWnd.Height();
    if (!m_bmpBack.m_hObject) return FALSE;

    CSkinPaintBuffer buffer(pDC, W, H);
    CDC* pMem = buffer.GetDC();
    DrawBackground(pDC, pMem);

    const int c = m_nCaptionHeight, b = m_nBorder;
    int iw = 0;
    HICON hIcon = reinterpret_cast<HICON>(SendMessage(WM_GETICON, ICON_SMALL));
    if (hIcon && m_bDrawIcon) {
        iw = 16;
        ::DrawIconEx(pMem->m_hDC, Scale(b), Scale(SkinCaptionIconTop(c)), hIcon, Scale(iw), Scale(iw), 0, nullptr,
                     DI_NORMAL);
    }
    if (m_bDrawTitle) {
        CString text;
        GetWindowText(text);
        CFont font;
        font.CreateDerivedFont(GetFont(), -Scale(12), m_nTitleWeight, SKIN_FONT_FACE);
        CSaveDC state(pMem);
        pMem->SetBkMode(TRANSPARENT);
        pMem->SetTextColor(m_crTitle);
        CSelectGuard selected(pMem, font);
        pMem->TextOut(Scale(b + 5 + m_nTitleOffset + iw), Scale(SkinCaptionTextTop(c)), text, text.GetLength());
    }
    buffer.Present();
    return TRUE;
}

BOOL CDlgEx::DrawBackground(CDC* pDC, CDC* pMemDC) {
    CRect rcWnd;
    GetWindowRect(&rcWnd);
    const int W = rcWnd.Width(), H = rcWnd.Height();
    const HBITMAP hBack = BackgroundBitmap();
    const SIZE bm = SkinBitmapSize(hBack);

    CDC src;
    src.CreateCompatibleDC(pDC);
    CSelectGuard back(&src, hBack);
    const CArray<SkinBlit> blits = SkinBackgroundBlits(W, H, bm.cx, bm.cy, Scale(m_nBorder),
                                                       m_nCaptionHeight < 0 ? -1 : Scale(m_nCaptionHeight), m_bStretch);
    if (!blits.IsComplete() || (m_nDpi != SKIN_DESIGN_DPI && hBack == m_bmpBack.m_hObject)) {
        // Out of memory for the pieces, or for the background at the DPI:
        // the bitmap as a whole, stretched.
        pMemDC->StretchBlt(0, 0, W, H, &src, 0, 0, bm.cx, bm.cy, SRCCOPY);
        return FALSE;
    }
    for (const SkinBlit& blit : blits) {
        if (blit.bStretch)
            pMemDC->StretchBlt(blit.x, blit.y, blit.dx, blit.dy, &src, blit.sx, blit.sy, blit.sdx, blit.sdy, SRCCOPY);
        else
            pMemDC->BitBlt(blit.x, blit.y, blit.dx, blit.dy, &src, blit.sx, blit.sy, SRCCOPY);
    }
    if (m_bmpOverlay.m_hObject) {
        BITMAP ov = {};
        m_bmpOverlay.GetBitmap(&ov);
        CSelectGuard overlay(&src, m_bmpOverlay.m_hObject);
        pMemDC->BitBlt(W - Scale(m_nBtnRight) - ov.bmWidth, Scale(m_nBtnTop), ov.bmWidth, ov.bmHeight, &src, 0, 0,
                       SRCCOPY);
    }
    return TRUE;
}

LRESULT CDlgEx::OnNcHitTest(CPoint point) {
    if (m_bMaximized) return Default();
    ScreenToClient(&point);
    CRect rc;
    GetClientRect(&rc);
    LRESULT code = 0;
    if (SkinHitTest(point, rc.Width(), rc.Height(), Scale(m_nBorder),
                    m_nCaptionHeight < 0 ? -1 : Scale(m_nCaptionHeight), m_bResizable, &code))
        return code;
    return Default();
}

void CDlgEx::OnNcLButtonDown(UINT nHitTest, CPoint point) {
    if (nHitTest >= HTLEFT && nHitTest <= HTBOTTOMRIGHT)
        SendMessage(WM_SYSCOMMAND, SC_SIZE + (nHitTest - 9), MAKELPARAM(point.x, point.y));
    else
        Default();
    // Whatever the user moved or sized to becomes the restore rectangle.
    GetWindowRect(&m_rcRestore);
}

void CDlgEx::OnNcLButtonDblClk(UINT nHitTest, CPoint) {
    if (nHitTest == HTCAPTION && m_bResizable) OnBtnMax();
    else Default();
}

void CDlgEx::OnLButtonDblClk(UINT, CPoint point) {
    if (m_bMaximized && ((point.y >= 0 && point.y < Scale(m_nCaptionHeight)) || m_nCaptionHeight == -1)) OnBtnMax();
    Default();
}

void CDlgEx::OnBtnClose() { PostMessage(WM_SYSCOMMAND, SC_CLOSE, 0); }

void CDlgEx::OnBtnMin() { PostMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0); }

void CDlgEx::OnBtnMax() {
    if (m_bMaximized) {
        MoveWindow(&m_rcRestore, TRUE);
        UpdateMaxButton(FALSE);
    } else {
        RECT rcWork = {};
        ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &rcWork, 0);
        const RECT rc = SkinMaximizedRect(rcWork, m_nMaxWidth, m_nMaxHeight);
        MoveWindow(&rc, TRUE);
        UpdateMaxButton(TRUE);
    }
    m_btnMax.m_bTracking = FALSE;
    m_btnMax.m_bHover = FALSE;
    m_bMaximized = !m_bMaximized;
}

void CDlgEx::UpdateMaxButton(BOOL bMaximized) {
    m_btnMax.SetImage(bMaximized ? m_bmpRestore : m_bmpMax, FALSE);
    m_btnMax.SetToolTipText(bMaximized ? L"还原" : L"最大化");
}
