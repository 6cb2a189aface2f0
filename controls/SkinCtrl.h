// What the four skinned controls share: the colour key, the skin strip,
// no erase, hover tracking, the parent's background behind the control and
// the double-buffered paint frame.
#pragma once
#include "framework/afxwin.h"
#include "controls/SkinBasics.h"

// Skin strip: cuts hBitmap into nStates images of (width / nStates) x height
// into a fresh masked image list, the key colour as the mask. The list
// copies the pixels; the caller keeps the bitmap. *pSize gets one image's
// size. FALSE when hBitmap is NULL.
BOOL SkinLoadStrip(CImageList& list, HBITMAP hBitmap, int nStates, SIZE* pSize = nullptr);

// Paints the parent's background behind pCtrl into pDC: the parent draws its
// whole window background at its own window coordinates on WM_ERASEBKGND,
// shifted so that the control's top-left lands at (0, 0); afterwards
// logical (0, 0) is again the DC's top-left pixel.
void SkinDrawParentBackground(CWnd* pCtrl, CDC* pDC);

// The control's font (WM_GETFONT) or a stock font when it has none.
HFONT SkinControlFont(CWnd* pCtrl, int nStockFont);

// Hover tracking: arms TME_HOVER | TME_LEAVE (10 ms) once per entry.
void SkinTrackMouse(HWND hWnd, BOOL& bTracking);

// Visual state of an owner-drawn button: normal, hover, pressed or
// disabled. A press latches *pbPressed until the button is released.
enum SkinState { SKIN_STATE_NORMAL = 0, SKIN_STATE_HOVER = 1, SKIN_STATE_PRESSED = 2, SKIN_STATE_DISABLED = 3 };
SkinState SkinSelectState(UINT itemState, BOOL bHover, BOOL* pbPressed);

// Double-buffered paint frame: a memory DC with a bitmap of cx x cy
// compatible with the target; Present copies it to (0, 0) of the target
// in one blit. Everything is released on destruction.
class CSkinPaintBuffer {
public:
    CSkinPaintBuffer(CDC* pTarget, int cx, int cy);
    CSkinPaintBuffer(const CSkinPaintBuffer&) = delete;
    CSkinPaintBuffer& operator=(const CSkinPaintBuffer&) = delete;

    CDC* GetDC() { return &m_dc; }
    void Present();

private:
    CDC* m_pTarget;
    int m_cx, m_cy;
    CDC m_dc;
    CBitmap m_bmp;
    BOOL m_bReady;
    CSelectGuard m_select;
};

// Base of every skinned control: no erase, and the hover state with its
// handlers for the controls that track the mouse (their own maps add
// WM_MOUSEMOVE, WM_MOUSEHOVER and WM_MOUSELEAVE).
template <class TBase>
class CSkinCtrl : public TBase {
public:
    BOOL m_bTracking = FALSE;
    BOOL m_bHover = FALSE;

protected:
    // Every paint covers the whole control from its memory bitmap.
    BOOL OnEraseBkgnd(CDC*) { return TRUE; }
    void OnMouseMove(UINT, CPoint) {
        SkinTrackMouse(this->m_hWnd, m_bTracking);
        this->Default();
    }
    LRESULT OnMouseHover(WPARAM, LPARAM) {
        m_bHover = TRUE;
        ::InvalidateRect(this->m_hWnd, nullptr, FALSE);
        return 0;
    }
    LRESULT OnMouseLeave(WPARAM, LPARAM) {
        m_bHover = FALSE;
        m_bTracking = FALSE;
        ::InvalidateRect(this->m_hWnd, nullptr, FALSE);
        return 0;
    }
    void DrawParentBackground(CDC* pDC) { SkinDrawParentBackground(this, pDC); }

    static const AFX_MSGMAP* GetThisMessageMap() {
        typedef CSkinCtrl ThisClass;
        static const AFX_MSGMAP_ENTRY entries[] = {
            ON_WM_ERASEBKGND()
            { 0, 0, 0, AfxSig_end, nullptr } };
        static const AFX_MSGMAP map = { &TBase::GetThisMessageMap, &entries[0] };
        return &map;
    }
    const AFX_MSGMAP* GetMessageMap() const override { return GetThisMessageMap(); }
};

// Message-map entries of the shared hover tracking.
#define ON_SKIN_HOVER_TRACKING() \
    ON_WM_MOUSEMOVE() \
    ON_MESSAGE(WM_MOUSEHOVER, OnMouseHover) \
    ON_MESSAGE(WM_MOUSELEAVE, OnMouseLeave)
