// Skinned dialog base: a caption-less dialog drawn entirely from one
// background bitmap, shaped by the bitmap's key-coloured corners, dragged
// by its surface and given its own caption buttons.
#pragma once
#include "framework/afxwin.h"
#include "controls/BtnEx.h"
#include "skin/SkinDpi.h"

#define IDC_CAPTION_CLOSE 50000
#define IDC_CAPTION_MIN   50001
#define IDC_CAPTION_MAX   50002

class CDlgEx : public CDialog {
public:
    // The dialog on template nIDTemplate, with pszTitle as its caption text
    // (kept, not copied).
    CDlgEx(UINT nIDTemplate, const wchar_t* pszTitle);
    ~CDlgEx() override;

    // Also reads the DPI of the window's monitor into m_nDpi and gives the
    // controls the dialog's font at it.
    BOOL OnInitDialog() override;
    // SetBackground, then SetCaptionButtons.
    BOOL SetSkin(HBITMAP hBack, HBITMAP hClose, HBITMAP hMin);
    // Takes ownership of hBack, the design (96 DPI) background, and takes its
    // size at m_nDpi; and of hBackDpi, if any, hBack scaled ahead to m_nDpi
    // (ScaleSkinBackground), used when it has the size.
    void SetBackground(HBITMAP hBack, HBITMAP hBackDpi = nullptr);
    // Creates the close and minimise buttons from the four-image strips
    // hClose and hMin (NULL: no such button), which the caller keeps: drawn
    // for m_nDpi, each image the size CaptionButtonRect gives.
    void SetCaptionButtons(HBITMAP hClose, HBITMAP hMin);
    // Lays the window out for nDpi: its font, background, size, shape and
    // caption buttons, whose images are stretched until new ones come. A
    // derived dialog adds its controls and sharper images.
    virtual void SetDpi(UINT nDpi);
    // Design pixels at m_nDpi.
    int Scale(int v) const;
    CRect ScaleRect(int l, int t, int r, int b) const;
    // The nIndex-th caption button from the right (close, maximise,
    // minimise: those there are) in client coordinates of a window cx wide.
    CRect CaptionButtonRect(int nIndex, int cx) const;
    // The background as drawn at m_nDpi (the design bitmap at 96 DPI).
    HBITMAP BackgroundBitmap() const;
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
    // Sizes and places in design pixels, scaled to m_nDpi where used.
    int m_nCaptionHeight = -1;  // -1: the whole window is caption
    int m_nBtnRight = 5;
    int m_nBtnTop = 1;
    int m_nBtnGap = 0;
    int m_nBorder = 3;
    SIZE m_sizeCaptionBtn = {0, 0};  // (0, 0): one image of the first 96-DPI strip
    COLORREF m_crTitle = RGB(255, 255, 255);
    int m_nTitleWeight = 400;
    // The DPI the window is laid out for, and the dialog's font at it.
    UINT m_nDpi = 96;
    CFont m_fontDpi;
    CBitmap m_bmpBack;
    CBitmap m_bmpBackDpi;  // m_bmpBack at m_nDpi; none at 96 DPI
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
    // The window was moved to a monitor of another DPI (Windows 8.1 and
    // later; never under Wine): it is laid out anew and takes the place
    // the system suggests.
    LRESULT OnDpiChanged(WPARAM wParam, LPARAM lParam);
    // Asked first, by Windows 10 1703 and later: the size the window takes
    // at the new DPI, its background's, not the old size scaled.
    LRESULT OnGetDpiScaledSize(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()

private:
    void PlaceCaptionButtons(int cx);
    // The template font's height at 96 DPI, from its height at the DPI the
    // dialog manager made it for.
    int m_nFontHeight = 0;
};
