#include "controls/Chk2Btn.h"

int CheckBoxImageIndex(UINT itemState, int nCheck, BOOL bHover, BOOL* pbPressed) {
    const SkinState state = SkinSelectState(itemState, bHover, pbPressed);
    if (state == SKIN_STATE_DISABLED) return 6;
    return (nCheck == 1 ? 3 : 0) + state;
}

BOOL CheckBoxFitSize(SIZE current, SIZE image, SIZE text, SIZE* pNew, int nGap) {
    const int needW = image.cx + text.cx + nGap;
    const int needH = image.cy > text.cy ? image.cy : text.cy;
    if (current.cy < text.cy || current.cy < image.cy || current.cx < needW) {
        *pNew = {needW, needH};
        return TRUE;
    }
    return FALSE;
}

// Smaller than any real content, so that the next paint fits the box.
const CRect kUnfitted(0, 0, 2, 2);

CChk2Btn::CChk2Btn() { m_rect = kUnfitted; }

void CChk2Btn::SetCheck(int nCheck) {
    m_nCheck = nCheck;
    InvalidateRect(nullptr, TRUE);
}

BOOL CChk2Btn::SetImage(CBitmap* pBitmap) {
    SIZE image = {};
    SkinLoadStrip(m_imgList, *pBitmap, 7, &image);
    m_nImageWidth = image.cx;
    m_nImageHeight = image.cy;
    m_rect = kUnfitted;
    return TRUE;
}

void CChk2Btn::DrawItem(LPDRAWITEMSTRUCT lpDIS) {
    CDCHandle target(lpDIS->hDC);
    CRect rcText;
    target.DrawText(m_strText, -1, &rcText, DT_CALCRECT);
    SIZE fit;
    if (CheckBoxFitSize({m_rect.Width(), m_rect.Height()}, {m_nImageWidth, m_nImageHeight},
                        {rcText.Width(), rcText.Height()}, &fit, m_nGap)) {
        SetWindowPos(nullptr, 0, 0, fit.cx, fit.cy, SWP_NOZORDER | SWP_NOMOVE);
        GetWindowRect(&m_rect);
    }
    CSkinPaintBuffer buffer(&target, m_rect.Width(), m_rect.Height());
    const int nState = CheckBoxImageIndex(lpDIS->itemState, m_nCheck, m_bHover, &m_bPressed);
    DrawParentBackground(buffer.GetDC());
    if (m_imgList.GetSafeHandle()) m_imgList.Draw(buffer.GetDC(), nState, CPoint(0, 0), ILD_TRANSPARENT);
    DrawLabel(buffer.GetDC(), nState);
    buffer.Present();
}

void CChk2Btn::DrawLabel(CDC* pDC, int nState) {
    if (m_strText.IsEmpty()) return;
    pDC->SetBkMode(TRANSPARENT);
    pDC->SetTextColor(LabelColor(nState == 6));
    CSelectGuard selected(pDC, SkinControlFont(this, DEFAULT_GUI_FONT));
    CRect rc;
    GetClientRect(&rc);
    rc.left += m_nImageWidth + m_nGap;
    pDC->DrawText(m_strText, -1, &rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}
