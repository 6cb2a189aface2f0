// What the image push button and the image check box share: an owner-drawn
// button with a skin strip, a label, hover tracking, the pressed latch and
// a tooltip relay.
#pragma once
#include "controls/SkinCtrl.h"

class CSkinButton : public CSkinCtrl<CButton> {
public:
    COLORREF m_crText = 0;  // label colour when not disabled

    BOOL PreTranslateMessage(MSG* pMsg) override;

protected:
    // The drawing size: the window rectangle as last read.
    CRect m_rect;
    CString m_strText;
    CImageList m_imgList;
    BOOL m_bPressed = FALSE;
    BOOL m_bToolTip = FALSE;
    CToolTipCtrl m_tooltip;
    CString m_strTip;

    // Reads the window text into the label and makes the button owner-drawn.
    void PreSubclassWindow() override;
    // Label colour for a state: grey when disabled.
    COLORREF LabelColor(BOOL bDisabled) const;

    LRESULT OnMouseHover(WPARAM wParam, LPARAM lParam);
    void OnLButtonUp(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()
};
