#include "framework/afxwnd.h"
#include "framework/afxcoll.h"

namespace {

// Wrapper objects handed out for windows no object is bound to (a dialog
// item without member, a parent). They never own their window.
struct TempWnd : CWnd {
    ~TempWnd() override { m_hWnd = nullptr; }
};

// Handle-to-object maps: the windows bound to objects, and the wrappers
// handed out, kept until the program ends. Every window of this program
// lives on the user-interface thread, so one of each serves; a dialog has
// a few dozen windows, so a search from the start is quick enough.
struct HandleMaps {
    struct Permanent { HWND hWnd; CWnd* pWnd; };
    CArray<Permanent> permanent;
    CArray<TempWnd*> temp;
    ~HandleMaps() {
        for (TempWnd* p : temp) delete p;
    }
    int FindPermanent(HWND hWnd) const {
        for (int i = 0; i < permanent.GetSize(); ++i)
            if (permanent[i].hWnd == hWnd) return i;
        return -1;
    }
    int FindTemp(HWND hWnd) const {
        for (int i = 0; i < temp.GetSize(); ++i)
            if (temp[i]->m_hWnd == hWnd) return i;
        return -1;
    }
};
HandleMaps s_maps;

// The message being handled, for Default().
struct CurrentMsg { HWND hWnd; UINT message; WPARAM wParam; LPARAM lParam; };
CurrentMsg s_current{};

}  // namespace

CWnd::~CWnd() {
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this) ::DestroyWindow(m_hWnd);
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
    const int i = s_maps.FindPermanent(hWnd);
    return i < 0 ? nullptr : s_maps.permanent[i].pWnd;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    if (!hWnd) return nullptr;
    if (CWnd* p = FromHandlePermanent(hWnd)) return p;
    const int i = s_maps.FindTemp(hWnd);
    if (i >= 0) return s_maps.temp[i];
    TempWnd* p = new (std::nothrow) TempWnd;
    if (!p) return nullptr;
    p->m_hWnd = hWnd;
    if (s_maps.temp.Add(p)) return p;
    delete p;
    return nullptr;
}

BOOL CWnd::Attach(HWND hWnd) {
    const int i = s_maps.FindPermanent(hWnd);
    if (i >= 0)
        s_maps.permanent[i].pWnd = this;
    else if (!s_maps.permanent.Add({hWnd, this}))
        return FALSE;  // no memory: the window stays unbound
    m_hWnd = hWnd;
    const int t = s_maps.FindTemp(hWnd);
    if (t >= 0) {
        delete s_maps.temp[t];
        s_maps.temp.RemoveAt(t);
    }
    return TRUE;
}

void CWnd::Detach() {
    const int i = m_hWnd ? s_maps.FindPermanent(m_hWnd) : -1;
    if (i >= 0) s_maps.permanent.RemoveAt(i);
    m_hWnd = nullptr;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    // A window the map cannot hold is not subclassed: AfxWndProc would not
    // find its object and it would lose its own procedure.
    if (!hWnd || FromHandlePermanent(hWnd) || !Attach(hWnd)) return FALSE;
    PreSubclassWindow();
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AfxWndProc)));
    return TRUE;
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle,
                    int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu) {
    HWND hWnd = ::CreateWindowExW(dwExStyle, lpszClassName, lpszWindowName, dwStyle, x, y, nWidth, nHeight,
                                  hWndParent, nIDorHMenu, AfxGetInstanceHandle(), nullptr);
    if (!hWnd) return FALSE;
    if (SubclassWindow(hWnd)) return TRUE;
    ::DestroyWindow(hWnd);
    return FALSE;
}

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd) return FALSE;
    HWND hWnd = m_hWnd;
    BOOL ok = ::DestroyWindow(hWnd);
    if (m_hWnd == hWnd) Detach();  // not subclassed: no WM_NCDESTROY reached us
    return ok;
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

BOOL CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return FALSE; }

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper) return ::CallWindowProcW(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    return DefWindowProc(s_current.message, s_current.wParam, s_current.lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT lResult = 0;
    if (!OnWndMsg(message, wParam, lParam, &lResult)) lResult = DefWindowProc(message, wParam, lParam);
    return lResult;
}

const AFX_MSGMAP* CWnd::GetThisMessageMap() {
    static const AFX_MSGMAP_ENTRY entries[] = { { 0, 0, 0, AfxSig_end, nullptr } };
    static const AFX_MSGMAP map = { nullptr, &entries[0] };
    return &map;
}

static const AFX_MSGMAP_ENTRY* FindEntry(const AFX_MSGMAP* pMap, UINT message, UINT nCode, UINT nID) {
    for (; pMap; pMap = pMap->pfnGetBaseMap ? pMap->pfnGetBaseMap() : nullptr) {
        for (const AFX_MSGMAP_ENTRY* e = pMap->lpEntries; e->nSig != AfxSig_end; ++e) {
            if (e->nMessage != message) continue;
            if (message == WM_COMMAND && (e->nCode != nCode || e->nID != nID)) continue;
            return e;
        }
    }
    return nullptr;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    const AFX_MSGMAP_ENTRY* e = FindEntry(GetMessageMap(), message, HIWORD(wParam), LOWORD(wParam));
    if (!e) {
        // Owner drawing is reflected to the control's own object.
        if (message == WM_DRAWITEM && wParam != 0) {
            auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
            CWnd* pChild = FromHandlePermanent(dis->hwndItem);
            if (pChild && pChild->OnChildNotify(message, wParam, lParam, pResult)) {
                *pResult = TRUE;
                return TRUE;
            }
        }
        return FALSE;
    }
    const CPoint pt(static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
    LRESULT r = 0;
    switch (e->nSig) {
    case AfxSig_vv:
        (this->*e->pfn)();
        break;
    case AfxSig_bD: {
        CDCHandle dc(reinterpret_cast<HDC>(wParam));
        r = (this->*reinterpret_cast<BOOL (CWnd::*)(CDC*)>(e->pfn))(&dc);
        break;
    }
    case AfxSig_lp:
        r = (this->*reinterpret_cast<LRESULT (CWnd::*)(CPoint)>(e->pfn))(pt);
        break;
    case AfxSig_vwp:
        (this->*reinterpret_cast<void (CWnd::*)(UINT, CPoint)>(e->pfn))(static_cast<UINT>(wParam), pt);
        break;
    case AfxSig_vwii:
        (this->*reinterpret_cast<void (CWnd::*)(UINT, int, int)>(e->pfn))(
            static_cast<UINT>(wParam), static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)));
        break;
    case AfxSig_lwl:
        r = (this->*reinterpret_cast<LRESULT (CWnd::*)(WPARAM, LPARAM)>(e->pfn))(wParam, lParam);
        break;
    case AfxSig_hv:
        r = reinterpret_cast<LRESULT>((this->*reinterpret_cast<HCURSOR (CWnd::*)()>(e->pfn))());
        break;
    case AfxSig_vt:
        (this->*reinterpret_cast<void (CWnd::*)(UINT_PTR)>(e->pfn))(static_cast<UINT_PTR>(wParam));
        break;
    case AfxSig_bWww:
        r = (this->*reinterpret_cast<BOOL (CWnd::*)(CWnd*, UINT, UINT)>(e->pfn))(
            FromHandle(reinterpret_cast<HWND>(wParam)), LOWORD(lParam), HIWORD(lParam));
        break;
    case AfxSig_end:
        return FALSE;
    }
    *pResult = r;
    return TRUE;
}

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* pWnd = CWnd::FromHandlePermanent(hWnd);
    if (!pWnd) return ::DefWindowProcW(hWnd, message, wParam, lParam);
    const CurrentMsg saved = s_current;
    s_current = {hWnd, message, wParam, lParam};
    LRESULT r = pWnd->WindowProc(message, wParam, lParam);
    s_current = saved;
    if (message == WM_NCDESTROY) {
        // The window is gone: give back the original procedure and unbind.
        if (pWnd->m_pfnSuper)
            ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(pWnd->m_pfnSuper));
        pWnd->m_pfnSuper = nullptr;
        pWnd->Detach();
    }
    return r;
}

void CWnd::ScreenToClient(LPRECT rc) const {
    ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(&rc->left));
    ::ScreenToClient(m_hWnd, reinterpret_cast<LPPOINT>(&rc->right));
}

static BOOL ModifyLong(HWND hWnd, int nIndex, DWORD dwRemove, DWORD dwAdd, UINT nFlags) {
    DWORD dwStyle = static_cast<DWORD>(::GetWindowLongW(hWnd, nIndex));
    DWORD dwNew = (dwStyle & ~dwRemove) | dwAdd;
    if (dwStyle == dwNew) return FALSE;
    ::SetWindowLongW(hWnd, nIndex, static_cast<LONG>(dwNew));
    if (nFlags)
        ::SetWindowPos(hWnd, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags) { return ModifyLong(m_hWnd, GWL_STYLE, dwRemove, dwAdd, nFlags); }
BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags) { return ModifyLong(m_hWnd, GWL_EXSTYLE, dwRemove, dwAdd, nFlags); }

void CWnd::GetWindowText(CString& str) const {
    const int n = ::GetWindowTextLengthW(m_hWnd);
    wchar_t* buf = new (std::nothrow) wchar_t[n + 1];
    str = buf ? CString(buf, ::GetWindowTextW(m_hWnd, buf, n + 1)) : CString();
    delete[] buf;
}
