#include "controls/SkinButton.h"

BEGIN_MESSAGE_MAP(CSkinButton, CSkinCtrl<CButton>)
    ON_SKIN_HOVER_TRACKING()
    ON_WM_LBUTTONUP()
END_MESSAGE_MAP()

void CSkinButton::PreSubclassWindow() {
    GetWindowText(m_strText);
    ModifyStyle(0, BS_OWNERDRAW, 0);
}

BOOL CSkinButton::PreTranslateMessage(MSG* pMsg) {
    if (m_bToolTip) {
        // Made when the pointer first comes by: the window shows sooner.
        if (!m_tooltip.m_hWnd && pMsg->message == WM_MOUSEMOVE) {
            m_tooltip.Create(this, TTS_NOPREFIX);
            m_tooltip.AddTool(this, LPSTR_TEXTCALLBACKW, nullptr, 0);
            m_tooltip.SendMessage(TTM_SETDELAYTIME, TTDT_AUTOMATIC, 660);
        }
        if (m_tooltip.m_hWnd) m_tooltip.RelayEvent(pMsg);
    }
    return CButton::PreTranslateMessage(pMsg);
}

COLORREF CSkinButton::LabelColor(BOOL bDisabled) const {
    return bDisabled ? ::GetSysColor(COLOR_GRAYTEXT) : m_crText;
}

LRESULT CSkinButton::OnMouseHover(WPARAM wParam, LPARAM lParam) {
    CSkinCtrl<CButton>::OnMouseHover(wParam, lParam);
    if (m_tooltip.m_hWnd) m_tooltip.UpdateTipText(m_strTip, this, 0);
    return 0;
}

void CSkinButton::OnLButtonUp(UINT, CPoint) {
    // The latch holds the pressed image while the pointer is dragged off;
    // only a release ends it. Released outside, the button's own processing
    // has nothing left to redraw, so the released look is asked for here.
    const BOOL bWasPressed = m_bPressed;
    m_bPressed = FALSE;
    Default();
    if (bWasPressed) InvalidateRect(nullptr, FALSE);
}
