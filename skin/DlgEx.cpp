#include "skin/DlgEx.h"
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
    return TRUE;
}

void CDlgEx::SetTitle() {
    SetWindowText(m_pszTitle);

    CRect rc;
    {
        CClientDC dc(this);
        CSelectGuard font(&dc, GetFont());
        LOGFONTW lf = {};
        ::GetObjectW(GetFont(), sizeof(lf), &lf);
        const int h = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
        int t = (m_nCaptionHeight + 1 - h) / 2;
        if (t < 0) t = 6;
        const int left = m_nBorder + 5 + (SendMessage(WM_GETICON, ICON_SMALL) ? 16 : 0);
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
    m_bmpBack.DeleteObject();
    m_bmpOverlay.DeleteObject();
    m_bStretch = FALSE;
    m_bmpBack.Attach(hBack);
    BITMAP bm = {};
    m_bmpBack.GetBitmap(&bm);
    CRect rcWnd;
    GetWindowRect(&rcWnd);
    // A new size gets its shape from OnSize.
    if (rcWnd.Width() == bm.bmWidth && rcWnd.Height() == bm.bmHeight)
        UpdateRegion();
    else
        SetWindowPos(nullptr, 0, 0, bm.bmWidth, bm.bmHeight, SWP_NOZORDER | SWP_NOMOVE);

    int x = bm.bmWidth - m_nBtnRight;
    const int y = m_nBtnTop;
    if (hClose) {
        m_btnClose.DestroyWindow();
        m_btnClose.CreateImageButton(x, y, hClose, IDC_CAPTION_CLOSE, this);
        m_btnClose.SetToolTipText(L"关闭");
    }
    if (hMin) {
        CRect rc;
        int w = 0;
        if (m_btnMax.m_hWnd) { m_btnMax.GetWindowRect(&rc); w = rc.Width(); }
        else if (m_btnClose.m_hWnd) { m_btnClose.GetWindowRect(&rc); w = rc.Width(); }
        x = x - w - m_nBtnGap;
        m_btnMin.DestroyWindow();
        m_btnMin.CreateImageButton(x, y, hMin, IDC_CAPTION_MIN, this);
        m_btnMin.SetToolTipText(L"最小化");
    }
    return TRUE;
}

void CDlgEx::OnSize(UINT, int cx, int) {
    Default();
    if (!m_bmpBack.m_hObject) return;
    UpdateRegion();
    Invalidate(TRUE);
    // Caption buttons stay right-aligned: close, maximise, minimise.
    int x = cx - m_nBtnRight;
    for (CBtnEx* pBtn : {&m_btnClose, &m_btnMax, &m_btnMin}) {
        if (!pBtn->m_hWnd) continue;
        CRect rc;
        pBtn->GetWindowRect(&rc);
        ScreenToClient(&rc);
        pBtn->MoveWindow(x - rc.Width(), rc.top, rc.Width(), rc.Height(), TRUE);
        x -= rc.Width() + m_nBtnGap;
    }
}

BOOL CDlgEx::UpdateRegion() {
    CRect rcWnd;
    GetWindowRect(&rcWnd);
    BITMAP bm = {};
    m_bmpBack.GetBitmap(&bm);

    CRgn rgn;
    rgn.CreateRectRgn(0, 0, rcWnd.Width(), rcWnd.Height());
    {
        CDC dc;
        dc.CreateCompatibleDC(nullptr);
        CSelectGuard back(&dc, m_bmpBack.m_hObject);
        const CArray<POINT> removed = SkinCornerKeyPixels(
            rcWnd.Width(), rcWnd.Height(), bm.bmWidth, bm.bmHeight,
            [&dc](int x, int y) { return dc.GetPixel(x, y) == SKIN_KEY_COLOR; });
        // Without all of the corners the shape would be wrong: the window
        // stays a plain rectangle.
        if (!removed.IsComplete()) {
            ::SetWindowRgn(m_hWnd, nullptr, FALSE);
            return FALSE;
        }
        for (const POINT& p : removed) {
            CRgn pixel;
            pixel.CreateRectRgn(p.x, p.y, p.x + 1, p.y + 1);
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
        ::DrawIconEx(pMem->m_hDC, b, SkinCaptionIconTop(c), hIcon, 16, 16, 0, nullptr, DI_NORMAL);
        iw = 16;
    }
    if (m_bDrawTitle) {
        CString text;
        GetWindowText(text);
        CFont font;
        font.CreateDerivedFont(GetFont(), -12, m_nTitleWeight, L"微软雅黑");
        CSaveDC state(pMem);
        pMem->SetBkMode(TRANSPARENT);
        pMem->SetTextColor(m_crTitle);
        CSelectGuard selected(pMem, font);
        pMem->TextOut(b + 5 + m_nTitleOffset + iw, SkinCaptionTextTop(c), text, text.GetLength());
    }
    buffer.Present();
    return TRUE;
}

BOOL CDlgEx::DrawBackground(CDC* pDC, CDC* pMemDC) {
    CRect rcWnd;
    GetWindowRect(&rcWnd);
    const int W = rcWnd.Width(), H = rcWnd.Height();
    BITMAP bm = {};
    m_bmpBack.GetBitmap(&bm);

    CDC src;
    src.CreateCompatibleDC(pDC);
    CSelectGuard back(&src, m_bmpBack.m_hObject);
    const CArray<SkinBlit> blits =
        SkinBackgroundBlits(W, H, bm.bmWidth, bm.bmHeight, m_nBorder, m_nCaptionHeight, m_bStretch);
    if (!blits.IsComplete()) {
        // Out of memory for the pieces: the bitmap as a whole, stretched.
        pMemDC->StretchBlt(0, 0, W, H, &src, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
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
        pMemDC->BitBlt(W - m_nBtnRight - ov.bmWidth, m_nBtnTop, ov.bmWidth, ov.bmHeight, &src, 0, 0, SRCCOPY);
    }
    return TRUE;
}

LRESULT CDlgEx::OnNcHitTest(CPoint point) {
    if (m_bMaximized) return Default();
    ScreenToClient(&point);
    CRect rc;
    GetClientRect(&rc);
    LRESULT code = 0;
    if (SkinHitTest(point, rc.Width(), rc.Height(), m_nBorder, m_nCaptionHeight, m_bResizable, &code)) return code;
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
    if (m_bMaximized && ((point.y >= 0 && point.y < m_nCaptionHeight) || m_nCaptionHeight == -1)) OnBtnMax();
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
