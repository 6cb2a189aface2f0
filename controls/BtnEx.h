// Image push button: four state images (normal, hover, pressed, disabled)
// from one skin strip, drawn over the parent's background, with an optional
// centred label, hand cursor and tooltip.
#pragma once
#include "controls/SkinButton.h"

class CBtnEx : public CSkinButton {
public:
    BOOL m_bHandCursor = FALSE;

    // Creates a visible child button of one state image's size with its
    // right edge at xRight, and gives it the skin. The caller keeps hBitmap.
    // FALSE, with no window and no skin, when the window cannot be made.
    BOOL CreateImageButton(int xRight, int yTop, HBITMAP hBitmap, UINT nID, CWnd* pParentWnd);
    // New skin strip; with bResize the button takes one state image's size.
    // The caller keeps hBitmap.
    void SetImage(HBITMAP hBitmap, BOOL bResize);
    void SetToolTipText(const CString& strTip);

    void DrawItem(LPDRAWITEMSTRUCT lpDIS) override;

protected:
    void PreSubclassWindow() override;
    void DrawImage(CDC* pDC, int nState);
    void DrawLabel(CDC* pDC, int nState);
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    // Drawn at the size it is given, also when moved without a new image.
    void OnSize(UINT nType, int cx, int cy);
    DECLARE_MESSAGE_MAP()
};
