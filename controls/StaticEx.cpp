#include "controls/StaticEx.h"
#include <cwchar>

CArray<CString> WrapLabelText(const CString& text, int width, CFunctionRef<int(const CString&)> measureWidth) {
    CArray<CString> lines;
    CString line;
    for (int i = 0; i < text.GetLength(); ++i) {
        const wchar_t c = text[i];
        if (c == L'\r') continue;
        if (c == L'\n') {
            lines.Add(line);
            line.Empty();
            continue;
        }
        const int before = line.GetLength();
        line += c;
        if (line.GetLength() == before) lines.MarkIncomplete();  // no memory for the character
        // A character that alone overflows the line stays there alone
        // (clipped): breaking before it again would never end.
        if (line.GetLength() > 1 && measureWidth(line) > width) {
            line.Truncate(line.GetLength() - 1);
            lines.Add(line);
            line.Empty();
            line += c;
        }
    }
    lines.Add(line);
    return lines;
}

int LabelTextHeight(int nLines, int lineH, int nSpacing) { return lineH + (lineH + nSpacing) * (nLines - 1); }

BEGIN_MESSAGE_MAP(CStaticEx, CSkinCtrl<CStatic>)
    ON_WM_PAINT()
    ON_WM_SETCURSOR()
    ON_SKIN_HOVER_TRACKING()
END_MESSAGE_MAP()

void CStaticEx::PreSubclassWindow() { GetWindowText(m_strText); }

void CStaticEx::SetText(LPCWSTR pszText) {
    m_strText = pszText;
    SetWindowText(pszText);  // for whoever reads the window (screen readers, tests)
    InvalidateRect(nullptr, TRUE);
    UpdateWindow();
}

BOOL CStaticEx::SetImage(HBITMAP hBitmap) {
    m_bImageRight = FALSE;
    SIZE size = {};
    if (!SkinLoadStrip(m_imgList, hBitmap, 1, &size)) return FALSE;
    m_nImageWidth = size.cx;
    m_nImageHeight = size.cy;
    return TRUE;
}

void CStaticEx::SetFontHeight(int nHeight) {
    m_nFontHeight = nHeight;
    m_font.DeleteObject();
    InvalidateRect(nullptr, TRUE);
}

HFONT CStaticEx::GetLabelFont() {
    if (!m_font.m_hObject)
        m_font.CreateDerivedFont(SkinControlFont(this, SYSTEM_FONT), m_nFontHeight != 0 ? m_nFontHeight : -12,
                                 m_nFontWeight, SKIN_FONT_FACE, m_nFontWidth, m_bUnderline);
    return m_font;
}

void CStaticEx::OnPaint() {
    CPaintDC dc(this);
    CRect rc;
    GetWindowRect(&rc);
    CSkinPaintBuffer buffer(&dc, rc.Width(), rc.Height());
    DrawLabelBackground(buffer.GetDC());
    DrawLabelText(buffer.GetDC());
    buffer.Present();
}

void CStaticEx::DrawLabelBackground(CDC* pDC) {
    {
        CSaveDC state(pDC);
        DrawParentBackground(pDC);
    }

    CRect rc;
    GetWindowRect(&rc);
    const int x = m_bImageRight ? rc.Width() - m_nImageWidth - m_nImageInset : m_nImageInset;
    const int y = (rc.Height() - m_nImageHeight) / 2;
    if (m_imgList.GetSafeHandle())
        m_imgList.Draw(pDC, m_nImageIndex, CPoint(x, y), ILD_TRANSPARENT);
    else if (m_hLabelIcon)
        ::DrawIconEx(pDC->m_hDC, x, y, m_hLabelIcon, 16, 16, 0, nullptr, DI_NORMAL);
}

int CStaticEx::DrawLabelText(CDC* pDC) {
    CRect rcArea;
    GetClientRect(&rcArea);
    if (m_nImageWidth != 0) {
        if (m_bImageRight) rcArea.right -= m_nImageWidth + 2 * m_nImageInset;
        else rcArea.left += m_nImageWidth + 2 * m_nImageInset;
    }

    const DWORD style = GetStyle();
    UINT nFormat = DT_WORDBREAK;
    if (style & SS_CENTER) nFormat = DT_WORDBREAK | DT_VCENTER | DT_CENTER;
    else if (style & SS_RIGHT) nFormat = DT_WORDBREAK | DT_RIGHT;
    if (style & SS_ENDELLIPSIS) nFormat |= DT_END_ELLIPSIS | DT_SINGLELINE;
    if (style & SS_PATHELLIPSIS) nFormat |= DT_PATH_ELLIPSIS | DT_SINGLELINE;
    if (style & SS_CENTERIMAGE) nFormat |= DT_SINGLELINE | DT_VCENTER;

    pDC->SetBkMode(TRANSPARENT);
    pDC->SetTextColor(m_bHoverColor && m_bHover ? m_crHover : m_crText);
    CSelectGuard selected(pDC, GetLabelFont());

    // An average character width and the line height from a probe text; the
    // length passed counts the terminating NUL too.
    CRect rcProbe;
    pDC->DrawText(L"测试用汉字来获取宽度", 11, &rcProbe, DT_CALCRECT);
    const int avgW = rcProbe.Width() / 11;
    const int lineH = rcProbe.Height();
    CRect rcLine(rcArea.left, rcArea.top, rcArea.right, rcArea.top + lineH);

    if (avgW > rcArea.Width()) return 0;
    if (nFormat & DT_SINGLELINE) {
        pDC->DrawText(m_strText, -1, &rcLine, nFormat);
        return 0;
    }

    const CArray<CString> lines = WrapLabelText(m_strText, rcLine.Width(), [pDC](const CString& s) {
        CRect rc;
        pDC->DrawText(s, s.GetLength(), &rc, DT_CALCRECT | DT_SINGLELINE);
        return rc.Width();
    });
    if (!lines.IsComplete()) {
        // Out of memory for the lines: the system's own wrapping, at words.
        pDC->DrawText(m_strText, -1, &rcArea, nFormat);
        return 0;
    }
    for (int i = 0; i < lines.GetSize(); ++i) {
        const CString& line = lines[i];
        if (i == 0 && m_nPrefixLen > 0 && m_nPrefixLen < line.GetLength())
            DrawPrefixedLine(pDC, line, rcLine, nFormat);
        else
            pDC->DrawText(line, line.GetLength(), &rcLine, nFormat);
        rcLine.OffsetRect(0, lineH + m_nLineSpacing);
    }

    // Grow to the lines; never shrink, keep position and width.
    const int total = LabelTextHeight(lines.GetSize(), lineH, m_nLineSpacing);
    CRect rc;
    GetWindowRect(&rc);
    if (rc.Height() < total) {
        rc.bottom = rc.top + total;
        ::MapWindowPoints(nullptr, ::GetParent(m_hWnd), reinterpret_cast<POINT*>(&rc), 2);
        MoveWindow(rc.left, rc.top, rc.Width(), rc.Height(), TRUE);
    }
    return 0;
}

void CStaticEx::DrawPrefixedLine(CDC* pDC, const CString& line, CRect rcLine, UINT nFormat) {
    const CString prefix = line.Left(m_nPrefixLen);
    pDC->SetTextColor(m_crPrefix);
    pDC->DrawText(prefix, prefix.GetLength(), &rcLine, nFormat);
    CRect rcPrefix;
    pDC->DrawText(prefix, prefix.GetLength(), &rcPrefix, DT_CALCRECT);
    pDC->SetTextColor(m_crText);
    const CString rest = line.Mid(m_nPrefixLen);
    rcLine.left += rcPrefix.Width();
    pDC->DrawText(rest, rest.GetLength(), &rcLine, nFormat);
}

BOOL CStaticEx::OnSetCursor(CWnd*, UINT, UINT) {
    if (m_bHandCursor) ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
    return TRUE;
}
