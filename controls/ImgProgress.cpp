#include "controls/ImgProgress.h"
#include <cwchar>

ProgressFill ProgressFillPieces(int pos, int lower, int upper, const RECT& rcFill) {
    ProgressFill f = {};
    if (upper == lower) return f;
    const int fw = rcFill.right - rcFill.left;
    // The position enters as it is, not less the lower bound.
    const int w = static_cast<int>(pos * (static_cast<double>(fw) / (upper - lower)));
    if (w <= 0) return f;
    const int half = w / 2;
    f.w = w;
    f.leftSrc = 0;
    f.leftDst = rcFill.left;
    f.leftW = half;
    f.rightSrc = fw - (w - half);
    f.rightDst = rcFill.left + half;
    f.rightW = w - half;
    return f;
}

BOOL ProgressPercent(int pos, int lower, int upper, int* pPercent) {
    if (upper == lower) return FALSE;
    *pPercent = pos * 100 / (upper - lower);
    return TRUE;
}

RECT ProgressFillRect(int bw, int bh, int fw, int fh) {
    const int dx = (bw - fw) / 2, dy = (bh - fh) / 2;
    return {dx, dy, dx + fw, dy + fh};
}

BEGIN_MESSAGE_MAP(CImgProgress, CSkinCtrl<CProgressCtrl>)
    ON_WM_PAINT()
END_MESSAGE_MAP()

CImgProgress::~CImgProgress() {
    if (m_hBmpBack) ::DeleteObject(m_hBmpBack);
    if (m_hBmpFill) ::DeleteObject(m_hBmpFill);
}

BOOL CImgProgress::SetImages(HBITMAP hBack, HBITMAP hFill) {
    if (m_hBmpFill && m_hBmpFill != hFill) ::DeleteObject(m_hBmpFill);
    if (m_hBmpBack && m_hBmpBack != hBack) ::DeleteObject(m_hBmpBack);
    m_hBmpFill = hFill;
    m_hBmpBack = hBack;
    const SIZE back = SkinBitmapSize(hBack);
    SetWindowPos(nullptr, 0, 0, back.cx, back.cy, SWP_NOZORDER | SWP_NOMOVE);
    m_rcBar = CRect(0, 0, back.cx, back.cy);
    const SIZE fill = SkinBitmapSize(hFill);
    m_rcFill = ProgressFillRect(back.cx, back.cy, fill.cx, fill.cy);
    return TRUE;
}

void CImgProgress::GetRange(int* pLower, int* pUpper) const {
    PBRANGE range = {};
    SendMessage(PBM_GETRANGE, 0, reinterpret_cast<LPARAM>(&range));
    *pLower = range.iLow;
    *pUpper = range.iHigh;
}

void CImgProgress::OnPaint() {
    CPaintDC dc(this);
    CSkinPaintBuffer buffer(&dc, m_rcBar.Width(), m_rcBar.Height());
    DrawParentBackground(buffer.GetDC());
    DrawBack(buffer.GetDC());
    DrawFill(buffer.GetDC());
    if (m_bShowPercent) DrawPercent(buffer.GetDC());
    buffer.Present();
}

void CImgProgress::DrawBack(CDC* pDC) {
    CDC tmp;
    tmp.CreateCompatibleDC(pDC);
    CSelectGuard selected(&tmp, m_hBmpBack);
    ::GdiTransparentBlt(pDC->m_hDC, 0, 0, m_rcBar.Width(), m_rcBar.Height(), tmp.m_hDC, 0, 0, m_rcBar.Width(),
                     m_rcBar.Height(), SKIN_KEY_COLOR);
}

void CImgProgress::DrawFill(CDC* pDC) {
    int lower = 0, upper = 0;
    const int pos = GetPos();
    GetRange(&lower, &upper);
    const ProgressFill f = ProgressFillPieces(pos, lower, upper, m_rcFill);
    if (f.w <= 0) return;
    const int fh = m_rcFill.Height();
    CDC tmp;
    tmp.CreateCompatibleDC(pDC);
    CSelectGuard selected(&tmp, m_hBmpFill);
    ::GdiTransparentBlt(pDC->m_hDC, f.leftDst, m_rcFill.top, f.leftW, fh, tmp.m_hDC, f.leftSrc, 0, f.leftW, fh,
                     SKIN_KEY_COLOR);
    ::GdiTransparentBlt(pDC->m_hDC, f.rightDst, m_rcFill.top, f.rightW, fh, tmp.m_hDC, f.rightSrc, 0, f.rightW, fh,
                     SKIN_KEY_COLOR);
}

void CImgProgress::DrawPercent(CDC* pDC) {
    int lower = 0, upper = 0, pct = 0;
    GetRange(&lower, &upper);
    const int pos = GetPos();
    if (!ProgressPercent(pos, lower, upper, &pct)) return;
    wchar_t text[16];
    FormatWhole(text, L"%d%%", pct);
    pDC->SetTextColor(m_crPercent);
    pDC->SetBkMode(TRANSPARENT);
    pDC->DrawText(text, -1, &m_rcBar, DT_CENTER | DT_VCENTER);
}
