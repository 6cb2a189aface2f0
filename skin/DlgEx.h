// Skinned dialog base: a caption-less dialog drawn entirely from one
// background bitmap, shaped by the bitmap's key-coloured corners, dragged
// by its surface and given its own caption buttons.
#pragma once
#include "framework/afxwin.h"
#include "controls/BtnEx.h"

#define IDC_CAPTION_CLOSE 50000
#define IDC_CAPTION_MIN   50001
#define IDC_CAPTION_MAX   50002

class CDlgEx : public CDialog {
public:
    // The dialog on template nIDTemplate, with pszTitle as its caption text
    // (kept, not copied).
    CDlgEx(UINT nIDTemplate, const wchar_t* pszTitle);
    ~CDlgEx() override;

    BOOL OnInitDialog() override;
    // Takes ownership of hBack and takes its size; creates the close and
    // minimise buttons from the four-image strips hClose and hMin (NULL: no
    // such button), which the caller keeps.
    BOOL SetSkin(HBITMAP hBack, HBITMAP hClose, HBITMAP hMin);
    // Sets the caption text and repaints the caption strip.
    void SetTitle();
    const wchar_t* m_pszTitle;
    // Cuts the key-coloured corner pixels of the background out of the
    // window's shape.
    BOOL UpdateRegion();
    // Paints the background fitted to the window into pMemDC.
    BOOL DrawBackground(CDC* pDC, CDC* pMemDC);

    virtual void OnBtnClose();
    virtual void OnBtnMin();
    virtual void OnBtnMax();
    virtual void UpdateMaxButton(BOOL bMaximized);

    BOOL m_bDrawTitle = TRUE;
    BOOL m_bDrawIcon = TRUE;
    BOOL m_bMaximized = FALSE;
    int m_nTitleOffset = 0;
    CBtnEx m_btnClose;
    CBtnEx m_btnMin;
    CBtnEx m_btnMax;
    int m_nCaptionHeight = -1;  // -1: the whole window is caption
    int m_nBtnRight = 5;
    int m_nBtnTop = 1;
    int m_nBtnGap = 0;
    int m_nBorder = 3;
    COLORREF m_crTitle = RGB(255, 255, 255);
    int m_nTitleWeight = 400;
    CBitmap m_bmpBack;
    CBitmap m_bmpOverlay;
    int m_nMaxWidth = 1440;
    int m_nMaxHeight = 900;
    CRect m_rcRestore;
    BOOL m_bResizable = FALSE;
    BOOL m_bStretch = FALSE;
    CBitmap m_bmpMax;
    CBitmap m_bmpRestore;

protected:
    BOOL OnEraseBkgnd(CDC* pDC);
    LRESULT OnNcHitTest(CPoint point);
    void OnNcLButtonDown(UINT nHitTest, CPoint point);
    void OnNcLButtonDblClk(UINT nHitTest, CPoint point);
    void OnLButtonDblClk(UINT nFlags, CPoint point);
    void OnSize(UINT nType, int cx, int cy);
    DECLARE_MESSAGE_MAP()
};
