// Wrappers of the standard controls the program subclasses or creates.
#pragma once
#include "framework/afxwnd.h"
#include <commctrl.h>

class CButton : public CWnd {
public:
    BOOL Create(LPCWSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
        return CreateEx(0, L"BUTTON", lpszCaption, dwStyle, rect.left, rect.top, rect.right - rect.left,
                        rect.bottom - rect.top, pParentWnd->m_hWnd,
                        reinterpret_cast<HMENU>(static_cast<UINT_PTR>(nID)));
    }
    // Owner drawing, reflected here from the parent's WM_DRAWITEM.
    virtual void DrawItem(LPDRAWITEMSTRUCT) {}
    BOOL OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* pResult) override {
        if (message != WM_DRAWITEM) return FALSE;
        DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
        *pResult = TRUE;
        return TRUE;
    }
};

class CStatic : public CWnd {};

class CEdit : public CWnd {};

class CProgressCtrl : public CWnd {
public:
    int SetPos(int nPos) { return static_cast<int>(SendMessage(PBM_SETPOS, static_cast<WPARAM>(nPos), 0)); }
    int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS, 0, 0)); }
    void SetRange32(int nLower, int nUpper) { SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(nLower), nUpper); }
};

class CToolTipCtrl : public CWnd {
public:
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle = 0) {
        return CreateEx(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | dwStyle, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, pParentWnd->m_hWnd, nullptr);
    }
    // The whole of pWnd's window as tool nIDTool.
    BOOL AddTool(CWnd* pWnd, LPCWSTR lpszText = LPSTR_TEXTCALLBACKW, LPCRECT lpRectTool = nullptr, UINT_PTR nIDTool = 0) {
        TTTOOLINFOW ti = MakeInfo(pWnd, nIDTool);
        ti.uFlags = lpRectTool ? 0 : TTF_IDISHWND;
        if (lpRectTool) ti.rect = *lpRectTool; else ti.uId = reinterpret_cast<UINT_PTR>(pWnd->m_hWnd);
        ti.lpszText = const_cast<LPWSTR>(lpszText);
        return static_cast<BOOL>(SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti)));
    }
    void UpdateTipText(LPCWSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool = 0) {
        TTTOOLINFOW ti = MakeInfo(pWnd, nIDTool);
        ti.uFlags = TTF_IDISHWND;
        ti.uId = reinterpret_cast<UINT_PTR>(pWnd->m_hWnd);
        ti.lpszText = const_cast<LPWSTR>(lpszText);
        SendMessage(TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
    }
    void RelayEvent(LPMSG lpMsg) { SendMessage(TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(lpMsg)); }

private:
    static TTTOOLINFOW MakeInfo(CWnd* pWnd, UINT_PTR nIDTool) {
        TTTOOLINFOW ti{};
        ti.cbSize = sizeof(ti);
        ti.hwnd = ::GetParent(pWnd->m_hWnd);  // notifications go to the tool's parent
        ti.uId = nIDTool;
        return ti;
    }
};
