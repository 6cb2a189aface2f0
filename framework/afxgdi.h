// GDI wrappers: objects that own their handles and a device-context class.
#pragma once
#include <windows.h>
#include <commctrl.h>
#include "framework/afxgeom.h"

class CWnd;

// Owns one GDI object; deletes it on destruction.
class CGdiObject {
public:
    HGDIOBJ m_hObject = nullptr;

    CGdiObject() = default;
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;
    virtual ~CGdiObject() { DeleteObject(); }

    BOOL Attach(HGDIOBJ h) { DeleteObject(); m_hObject = h; return h != nullptr; }
    HGDIOBJ Detach() { HGDIOBJ h = m_hObject; m_hObject = nullptr; return h; }
    BOOL DeleteObject() {
        if (!m_hObject) return FALSE;
        BOOL ok = ::DeleteObject(m_hObject);
        m_hObject = nullptr;
        return ok;
    }
    HGDIOBJ GetSafeHandle() const { return m_hObject; }
};

class CBitmap : public CGdiObject {
public:
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
    int GetBitmap(BITMAP* pBitMap) const { return ::GetObjectW(m_hObject, sizeof(BITMAP), pBitMap); }
    BOOL CreateCompatibleBitmap(class CDC* pDC, int nWidth, int nHeight);
};

class CFont : public CGdiObject {
public:
    operator HFONT() const { return static_cast<HFONT>(m_hObject); }
    BOOL CreateFontIndirect(const LOGFONTW* lf) { return Attach(::CreateFontIndirectW(lf)); }
    // A font like hBase with the given height and, where given, weight
    // (-1 keeps the base's), width (0 keeps), underline (FALSE keeps) and
    // face name (null keeps).
    BOOL CreateDerivedFont(HFONT hBase, int nHeight, int nWeight = -1, const wchar_t* pszFace = nullptr,
                           int nWidth = 0, BOOL bUnderline = FALSE);
};

class CRgn : public CGdiObject {
public:
    operator HRGN() const { return static_cast<HRGN>(m_hObject); }
    BOOL CreateRectRgn(int x1, int y1, int x2, int y2) { return Attach(::CreateRectRgn(x1, y1, x2, y2)); }
    int CombineRgn(HRGN hSrc1, HRGN hSrc2, int nMode) { return ::CombineRgn(*this, hSrc1, hSrc2, nMode); }
};

// A device context. Deletes a DC it created (CreateCompatibleDC); a DC it
// does not own is held by one of the classes below instead.
class CDC {
public:
    HDC m_hDC = nullptr;

    CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;
    virtual ~CDC() { if (m_hDC) ::DeleteDC(m_hDC); }

    operator HDC() const { return m_hDC; }
    HDC GetSafeHdc() const { return m_hDC; }

    BOOL CreateCompatibleDC(CDC* pDC) {
        m_hDC = ::CreateCompatibleDC(pDC ? pDC->m_hDC : nullptr);
        return m_hDC != nullptr;
    }

    int SetBkMode(int nMode) { return ::SetBkMode(m_hDC, nMode); }
    COLORREF SetTextColor(COLORREF cr) { return ::SetTextColor(m_hDC, cr); }
    CPoint SetWindowOrg(int x, int y) { POINT p{}; ::SetWindowOrgEx(m_hDC, x, y, &p); return p; }
    CPoint SetViewportOrg(int x, int y) { POINT p{}; ::SetViewportOrgEx(m_hDC, x, y, &p); return p; }
    BOOL BitBlt(int x, int y, int w, int h, CDC* pSrc, int sx, int sy, DWORD rop) {
        return ::BitBlt(m_hDC, x, y, w, h, pSrc ? pSrc->m_hDC : nullptr, sx, sy, rop);
    }
    BOOL StretchBlt(int x, int y, int w, int h, CDC* pSrc, int sx, int sy, int sw, int sh, DWORD rop) {
        return ::StretchBlt(m_hDC, x, y, w, h, pSrc->m_hDC, sx, sy, sw, sh, rop);
    }
    int DrawText(const wchar_t* text, int len, LPRECT rc, UINT fmt) { return ::DrawTextW(m_hDC, text, len, rc, fmt); }
    BOOL TextOut(int x, int y, const wchar_t* text, int len) { return ::TextOutW(m_hDC, x, y, text, len); }
    void FillSolidRect(int x, int y, int w, int h, COLORREF cr) {
        ::SetBkColor(m_hDC, cr);
        RECT rc{x, y, x + w, y + h};
        ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }
    COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
};

// A DC someone else owns (a message's wParam, a DRAWITEMSTRUCT's hDC): used,
// never released.
class CDCHandle : public CDC {
public:
    explicit CDCHandle(HDC hDC) { m_hDC = hDC; }
    ~CDCHandle() override { m_hDC = nullptr; }
};

// BeginPaint/EndPaint for one WM_PAINT.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;
    PAINTSTRUCT m_ps{};
private:
    HWND m_hWndPaint;
};

// GetDC/ReleaseDC of a window's client area.
class CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC() override;
private:
    HWND m_hWndClient;
};

// Selects an object into a DC for the rest of the scope; the object that was
// selected before comes back on exit.
class CSelectGuard {
public:
    CSelectGuard(CDC* pDC, HGDIOBJ hObject) : m_hDC(pDC->m_hDC), m_hOld(::SelectObject(m_hDC, hObject)) {}
    ~CSelectGuard() { if (m_hOld) ::SelectObject(m_hDC, m_hOld); }
    CSelectGuard(const CSelectGuard&) = delete;
    CSelectGuard& operator=(const CSelectGuard&) = delete;
private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};

// Saves a DC's whole state (selections, colours, modes, origins) and
// restores it on scope exit.
class CSaveDC {
public:
    explicit CSaveDC(CDC* pDC) : m_hDC(pDC->m_hDC), m_nSaved(::SaveDC(m_hDC)) {}
    ~CSaveDC() { if (m_nSaved) ::RestoreDC(m_hDC, m_nSaved); }
    CSaveDC(const CSaveDC&) = delete;
    CSaveDC& operator=(const CSaveDC&) = delete;
private:
    HDC m_hDC;
    int m_nSaved;
};

// Owns one image list.
class CImageList {
public:
    HIMAGELIST m_hImageList = nullptr;

    CImageList() = default;
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;
    ~CImageList() { DeleteImageList(); }

    operator HIMAGELIST() const { return m_hImageList; }
    HIMAGELIST GetSafeHandle() const { return m_hImageList; }
    BOOL Create(int cx, int cy, UINT nFlags, int nInitial, int nGrow) {
        DeleteImageList();
        m_hImageList = ::ImageList_Create(cx, cy, nFlags, nInitial, nGrow);
        return m_hImageList != nullptr;
    }
    BOOL DeleteImageList() {
        if (!m_hImageList) return FALSE;
        BOOL ok = ::ImageList_Destroy(m_hImageList);
        m_hImageList = nullptr;
        return ok;
    }
    int Add(HBITMAP hBitmap, COLORREF crMask) { return ::ImageList_AddMasked(m_hImageList, hBitmap, crMask); }
    BOOL Draw(CDC* pDC, int nImage, POINT pt, UINT nStyle) {
        return ::ImageList_Draw(m_hImageList, nImage, pDC->m_hDC, pt.x, pt.y, nStyle);
    }
    BOOL GetImageInfo(int nImage, IMAGEINFO* pInfo) const { return ::ImageList_GetImageInfo(m_hImageList, nImage, pInfo); }
};
