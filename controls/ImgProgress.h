// Image progress bar: a track image with a fill built from the two ends of
// a fill strip, over the parent's background. Position and range stay the
// platform control's own.
#pragma once
#include "controls/SkinCtrl.h"

// Where the fill of a paint goes: w pixels from rcFill.left, the first half
// from the fill strip's beginning, the rest from its end.
struct ProgressFill {
    int w;                           // drawn length, 0 when nothing shows
    int leftSrc, leftDst, leftW;     // beginning of the strip
    int rightSrc, rightDst, rightW;  // end of the strip
};
// The fill for position pos of [lower, upper] with the full strip at
// rcFill. An empty range fills nothing.
ProgressFill ProgressFillPieces(int pos, int lower, int upper, const RECT& rcFill);
// pos as a percentage of the range; FALSE for an empty range.
BOOL ProgressPercent(int pos, int lower, int upper, int* pPercent);
// The fill strip (fw x fh) centred on a bw x bh bar.
RECT ProgressFillRect(int bw, int bh, int fw, int fh);

class CImgProgress : public CSkinCtrl<CProgressCtrl> {
public:
    BOOL m_bShowPercent = FALSE;
    COLORREF m_crPercent = 0xFFFFFFFF;

    ~CImgProgress() override;
    // Takes ownership of both bitmaps (freeing those it replaces) and sizes
    // the bar to the track.
    BOOL SetImages(HBITMAP hBack, HBITMAP hFill);

protected:
    HBITMAP m_hBmpBack = nullptr;
    HBITMAP m_hBmpFill = nullptr;
    CRect m_rcBar;
    CRect m_rcFill;

    void OnPaint();
    void DrawBack(CDC* pDC);
    void DrawFill(CDC* pDC);
    void DrawPercent(CDC* pDC);
    void GetRange(int* pLower, int* pUpper) const;
    DECLARE_MESSAGE_MAP()
};
