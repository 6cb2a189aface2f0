#include "afxwnd.h"

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
