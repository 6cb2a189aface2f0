#include "controls/SkinCtrl.h"

BOOL SkinLoadStrip(CImageList& list, HBITMAP hBitmap, int nStates, SIZE* pSize) {
    if (!hBitmap) return FALSE;
    const SIZE size = SkinBitmapSize(hBitmap);
    const SIZE image = {size.cx / nStates, size.cy};
    list.Create(image.cx, image.cy, ILC_COLOR24 | ILC_MASK, nStates, 0);
    list.Add(hBitmap, SKIN_KEY_COLOR);
    if (pSize) *pSize = image;
    return TRUE;
}

void SkinDrawParentBackground(CWnd* pCtrl, CDC* pDC) {
    HWND hParent = ::GetParent(pCtrl->m_hWnd);
    RECT rcCtrl, rcParent;
    ::GetWindowRect(pCtrl->m_hWnd, &rcCtrl);
    ::GetWindowRect(hParent, &rcParent);
    const int x = rcCtrl.left - rcParent.left, y = rcCtrl.top - rcParent.top;
    pDC->SetWindowOrg(x, y);
    ::SendMessageW(hParent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(pDC->m_hDC), 0);
    pDC->SetViewportOrg(x, y);
}

HFONT SkinControlFont(CWnd* pCtrl, int nStockFont) {
    HFONT hFont = pCtrl->GetFont();
    return hFont ? hFont : static_cast<HFONT>(::GetStockObject(nStockFont));
}

void SkinTrackMouse(HWND hWnd, BOOL& bTracking) {
    if (bTracking) return;
    TRACKMOUSEEVENT tme = {};
    tme.cbSize = sizeof(tme);
    tme.dwFlags = TME_HOVER | TME_LEAVE;
    tme.hwndTrack = hWnd;
    tme.dwHoverTime = 10;
    bTracking = ::_TrackMouseEvent(&tme);
}

SkinState SkinSelectState(UINT itemState, BOOL bHover, BOOL* pbPressed) {
    if (itemState & (ODS_GRAYED | ODS_DISABLED)) return SKIN_STATE_DISABLED;
    if ((itemState & ODS_SELECTED) || *pbPressed) {
        *pbPressed = TRUE;
        return SKIN_STATE_PRESSED;
    }
    return bHover ? SKIN_STATE_HOVER : SKIN_STATE_NORMAL;
}

// The members go in reverse order: the bitmap is deselected before it is
// deleted, and the DC goes last.
CSkinPaintBuffer::CSkinPaintBuffer(CDC* pTarget, int cx, int cy)
    : m_pTarget(pTarget), m_cx(cx), m_cy(cy),
      m_bReady(m_dc.CreateCompatibleDC(pTarget) && m_bmp.CreateCompatibleBitmap(pTarget, cx, cy)),
      m_select(&m_dc, m_bmp.m_hObject) {}

void CSkinPaintBuffer::Present() {
    if (m_bReady) m_pTarget->BitBlt(0, 0, m_cx, m_cy, &m_dc, 0, 0, SRCCOPY);
}
