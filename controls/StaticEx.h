// Text label and link: text in its own font and colours, wrapped between
// any two characters to the label's width, optionally an image or icon at
// one side and a coloured prefix; it grows to fit its lines and can react
// to the mouse like a link.
#pragma once
#include "controls/SkinCtrl.h"
#include "framework/afxcoll.h"

// Breaks text into lines no wider than width as measured by measureWidth:
// CR is dropped, LF ends a line, and a line breaks before the character that
// would overflow it. A character wider than the whole line stands alone on
// its line. The last line may be empty (text ending in LF, or no text).
// Without memory for all of it the result is incomplete (IsComplete).
CArray<CString> WrapLabelText(const CString& text, int width, CFunctionRef<int(const CString&)> measureWidth);
// Height that nLines lines of lineH pixels with nSpacing between them need.
int LabelTextHeight(int nLines, int lineH, int nSpacing);

class CStaticEx : public CSkinCtrl<CStatic> {
public:
    CString m_strText;
    int m_nFontWidth = 0;     // 0 keeps the base font's
    int m_nFontWeight = -1;   // -1 keeps the base font's
    int m_nFontHeight = 0;    // 0 means -12
    BOOL m_bHandCursor = FALSE;
    BOOL m_bUnderline = FALSE;
    CFont m_font;             // built at the first paint and kept
    COLORREF m_crText = 0;
    COLORREF m_crHover = 0;
    int m_nLineSpacing = 3;
    BOOL m_bHoverColor = FALSE;
    HICON m_hLabelIcon = nullptr;  // not owned
    CImageList m_imgList;
    int m_nImageWidth = 0;
    int m_nImageHeight = 0;
    BOOL m_bImageRight = FALSE;
    int m_nImageIndex = 0;
    COLORREF m_crPrefix = 0;
    int m_nPrefixLen = 0;     // leading characters of the first line in m_crPrefix
    int m_nImageInset = 3;    // the image's distance from its side; the text's is twice that

    // Replaces the text and repaints before returning (NULL: no text).
    void SetText(LPCWSTR pszText);
    // One image beside the text; FALSE for NULL. The caller keeps the bitmap.
    BOOL SetImage(HBITMAP hBitmap);
    // The text's font nHeight pixels high from the next paint on.
    void SetFontHeight(int nHeight);

    // Lays out and draws the text; may grow the label. Returns 0.
    virtual int DrawLabelText(CDC* pDC);

protected:
    void PreSubclassWindow() override;
    HFONT GetLabelFont();
    void DrawLabelBackground(CDC* pDC);
    void DrawPrefixedLine(CDC* pDC, const CString& line, CRect rcLine, UINT nFormat);

    void OnPaint();
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    DECLARE_MESSAGE_MAP()
};
