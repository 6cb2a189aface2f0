#include "framework/afxwnd.h"
#include <cwchar>

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight) {
    return Attach(::CreateCompatibleBitmap(pDC->m_hDC, nWidth, nHeight));
}

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWndPaint(pWnd->m_hWnd) {
    m_hDC = ::BeginPaint(m_hWndPaint, &m_ps);
}

CPaintDC::~CPaintDC() {
    ::EndPaint(m_hWndPaint, &m_ps);
    m_hDC = nullptr;
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWndClient(pWnd->m_hWnd) { m_hDC = ::GetDC(m_hWndClient); }

CClientDC::~CClientDC() {
    if (m_hDC) ::ReleaseDC(m_hWndClient, m_hDC);
    m_hDC = nullptr;
}

BOOL CFont::CreateDerivedFont(HFONT hBase, int nHeight, int nWeight, const wchar_t* pszFace, int nWidth,
                              BOOL bUnderline) {
    LOGFONTW lf = {};
    ::GetObjectW(hBase, sizeof(lf), &lf);
    lf.lfHeight = nHeight;
    if (nWeight != -1) lf.lfWeight = nWeight;
    if (nWidth != 0) lf.lfWidth = nWidth;
    if (bUnderline) lf.lfUnderline = TRUE;
    if (pszFace) wcsncpy_s(lf.lfFaceName, ARRAYSIZE(lf.lfFaceName), pszFace, _TRUNCATE);
    return CreateFontIndirect(&lf);
}
