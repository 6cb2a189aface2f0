#include "controls/BtnEx.h"

BEGIN_MESSAGE_MAP(CBtnEx, CSkinButton)
    ON_WM_SETCURSOR()
    ON_WM_SIZE()
END_MESSAGE_MAP()

void CBtnEx::PreSubclassWindow() {
    CSkinButton::PreSubclassWindow();
    GetWindowRect(&m_rect);
}

BOOL CBtnEx::CreateImageButton(int xRight, int yTop, HBITMAP hBitmap, UINT nID, CWnd* pParentWnd) {
    const SIZE size = SkinBitmapSize(hBitmap);
    const int w = size.cx / 4, h = size.cy;
    if (!Create(L"", WS_CHILD | WS_VISIBLE, CRect(xRight - w, yTop, xRight, yTop + h), pParentWnd, nID))
        return FALSE;
    SkinLoadStrip(m_imgList, hBitmap, 4);
    GetWindowRect(&m_rect);
    return TRUE;
}

void CBtnEx::SetImage(HBITMAP hBitmap, BOOL bResize) {
    SIZE image = {};
    SkinLoadStrip(m_imgList, hBitmap, 4, &image);
    if (bResize) SetWindowPos(nullptr, 0, 0, image.cx, image.cy, SWP_NOZORDER | SWP_NOMOVE);
    GetWindowRect(&m_rect);
}

void CBtnEx::OnSize(UINT, int, int) {
    Default();
    GetWindowRect(&m_rect);
}

void CBtnEx::SetToolTipText(const CString& strTip) {
    m_strTip = strTip;
    m_bToolTip = TRUE;  // the control itself comes with the first mouse move
}

void CBtnEx::DrawItem(LPDRAWITEMSTRUCT lpDIS) {
    CDCHandle target(lpDIS->hDC);
    // The drawing keeps the size last read, not the item rectangle.
    CSkinPaintBuffer buffer(&target, m_rect.Width(), m_rect.Height());
    const int nState = SkinSelectState(lpDIS->itemState, m_bHover, &m_bPressed);
    DrawParentBackground(buffer.GetDC());
    DrawImage(buffer.GetDC(), nState);
    DrawLabel(buffer.GetDC(), nState);
    buffer.Present();
}

void CBtnEx::DrawImage(CDC* pDC, int nState) {
    IMAGEINFO info = {};
    if (!m_imgList.GetSafeHandle() || !m_imgList.GetImageInfo(nState, &info)) return;
    const int iw = info.rcImage.right - info.rcImage.left, ih = info.rcImage.bottom - info.rcImage.top;
    const int bw = m_rect.Width(), bh = m_rect.Height();
    if (iw == bw && ih == bh) {
        m_imgList.Draw(pDC, nState, CPoint(0, 0), ILD_TRANSPARENT);
        return;
    }
    // Stretched to the button: the masked pixels keep the key colour on the
    // way, so they stay see-through.
    CDC tmp;
    tmp.CreateCompatibleDC(pDC);
    CBitmap bmp;
    bmp.CreateCompatibleBitmap(pDC, iw, ih);
    CSelectGuard selected(&tmp, bmp.m_hObject);
    tmp.FillSolidRect(0, 0, iw, ih, SKIN_KEY_COLOR);
    m_imgList.Draw(&tmp, nState, CPoint(0, 0), ILD_TRANSPARENT);
    ::GdiTransparentBlt(pDC->m_hDC, 0, 0, bw, bh, tmp.m_hDC, 0, 0, iw, ih, SKIN_KEY_COLOR);
}

void CBtnEx::DrawLabel(CDC* pDC, int nState) {
    if (m_strText.IsEmpty()) return;
    pDC->SetBkMode(TRANSPARENT);
    pDC->SetTextColor(LabelColor(nState == SKIN_STATE_DISABLED));
    CFont font;
    font.CreateDerivedFont(SkinControlFont(this, DEFAULT_GUI_FONT), -12);
    CSelectGuard selected(pDC, font);
    CRect rc;
    GetClientRect(&rc);
    pDC->DrawText(m_strText, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

BOOL CBtnEx::OnSetCursor(CWnd*, UINT, UINT) {
    ::SetCursor(::LoadCursorW(nullptr, m_bHandCursor ? IDC_HAND : IDC_ARROW));
    return TRUE;
}
