// Windows, message maps, dialogs and the application object.
#pragma once
#include <windows.h>
#include "framework/afxstr.h"
#include "framework/afxgeom.h"
#include "framework/afxgdi.h"

class CWnd;
class CDataExchange;

// ---- Message maps -------------------------------------------------------
// Each entry stores its handler as a generic member pointer together with
// the signature it was checked against: the entry macros static_cast the
// handler to exactly one signature, so a handler of the wrong type does not
// compile.
typedef void (CWnd::*AFX_PMSG)();

enum AfxSig {
    AfxSig_end = 0,
    AfxSig_vv,      // void ()                   commands, WM_PAINT
    AfxSig_bD,      // BOOL (CDC*)               WM_ERASEBKGND
    AfxSig_lp,      // LRESULT (CPoint)          WM_NCHITTEST
    AfxSig_vwp,     // void (UINT, CPoint)       mouse messages
    AfxSig_vwii,    // void (UINT, int, int)     WM_SIZE
    AfxSig_lwl,     // LRESULT (WPARAM, LPARAM)  ON_MESSAGE
    AfxSig_hv,      // HCURSOR ()                WM_QUERYDRAGICON
    AfxSig_vt,      // void (UINT_PTR)           WM_TIMER
    AfxSig_bWww,    // BOOL (CWnd*, UINT, UINT)  WM_SETCURSOR
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;   // window message
    UINT nCode;      // WM_COMMAND: notification code
    UINT nID;        // WM_COMMAND: control or command ID
    AfxSig nSig;
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP() \
protected: \
    static const AFX_MSGMAP* GetThisMessageMap(); \
    const AFX_MSGMAP* GetMessageMap() const override;

#define BEGIN_MESSAGE_MAP(theClass, baseClass) \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() { \
        typedef theClass ThisClass; \
        typedef baseClass TheBaseClass; \
        static const AFX_MSGMAP_ENTRY _messageEntries[] = {

#define END_MESSAGE_MAP() \
            { 0, 0, 0, AfxSig_end, nullptr } }; \
        static const AFX_MSGMAP messageMap = { &TheBaseClass::GetThisMessageMap, &_messageEntries[0] }; \
        return &messageMap; \
    }

#define AFX_ENTRY(msg, code, id, sig, type, fn) \
    { msg, code, id, sig, reinterpret_cast<AFX_PMSG>(static_cast<type>(fn)) },

#define ON_WM_PAINT()         AFX_ENTRY(WM_PAINT, 0, 0, AfxSig_vv, void (CWnd::*)(), &ThisClass::OnPaint)
#define ON_WM_ERASEBKGND()    AFX_ENTRY(WM_ERASEBKGND, 0, 0, AfxSig_bD, BOOL (CWnd::*)(CDC*), &ThisClass::OnEraseBkgnd)
#define ON_WM_NCHITTEST()     AFX_ENTRY(WM_NCHITTEST, 0, 0, AfxSig_lp, LRESULT (CWnd::*)(CPoint), &ThisClass::OnNcHitTest)
#define ON_WM_NCLBUTTONDOWN() AFX_ENTRY(WM_NCLBUTTONDOWN, 0, 0, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), &ThisClass::OnNcLButtonDown)
#define ON_WM_NCLBUTTONDBLCLK() AFX_ENTRY(WM_NCLBUTTONDBLCLK, 0, 0, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), &ThisClass::OnNcLButtonDblClk)
#define ON_WM_LBUTTONUP()     AFX_ENTRY(WM_LBUTTONUP, 0, 0, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), &ThisClass::OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() AFX_ENTRY(WM_LBUTTONDBLCLK, 0, 0, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), &ThisClass::OnLButtonDblClk)
#define ON_WM_MOUSEMOVE()     AFX_ENTRY(WM_MOUSEMOVE, 0, 0, AfxSig_vwp, void (CWnd::*)(UINT, CPoint), &ThisClass::OnMouseMove)
#define ON_WM_SIZE()          AFX_ENTRY(WM_SIZE, 0, 0, AfxSig_vwii, void (CWnd::*)(UINT, int, int), &ThisClass::OnSize)
#define ON_WM_QUERYDRAGICON() AFX_ENTRY(WM_QUERYDRAGICON, 0, 0, AfxSig_hv, HCURSOR (CWnd::*)(), &ThisClass::OnQueryDragIcon)
#define ON_WM_TIMER()         AFX_ENTRY(WM_TIMER, 0, 0, AfxSig_vt, void (CWnd::*)(UINT_PTR), &ThisClass::OnTimer)
#define ON_WM_SETCURSOR()     AFX_ENTRY(WM_SETCURSOR, 0, 0, AfxSig_bWww, BOOL (CWnd::*)(CWnd*, UINT, UINT), &ThisClass::OnSetCursor)
#define ON_MESSAGE(msg, fn)   AFX_ENTRY(msg, 0, 0, AfxSig_lwl, LRESULT (CWnd::*)(WPARAM, LPARAM), &ThisClass::fn)
#define ON_CONTROL(code, id, fn) AFX_ENTRY(WM_COMMAND, code, id, AfxSig_vv, void (CWnd::*)(), &ThisClass::fn)
#define ON_COMMAND(id, fn)    ON_CONTROL(0, id, fn)
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_STN_CLICKED(id, fn) ON_CONTROL(STN_CLICKED, id, fn)
#define ON_EN_CHANGE(id, fn)  ON_CONTROL(EN_CHANGE, id, fn)

// ---- Windows ------------------------------------------------------------
class CWnd {
public:
    HWND m_hWnd = nullptr;

    CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;
    virtual ~CWnd();

    operator HWND() const { return m_hWnd; }
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The object bound to hWnd, or nullptr when none is.
    static CWnd* FromHandlePermanent(HWND hWnd);
    // The bound object, or a temporary wrapper owned by the framework.
    static CWnd* FromHandle(HWND hWnd);

    // Binds the object to an existing window and routes its messages
    // through the message map; PreSubclassWindow runs first. FALSE, leaving
    // the window as it was, when it cannot be bound (no window, one bound
    // already, or no memory for it).
    BOOL SubclassWindow(HWND hWnd);
    // Creates and subclasses a window; FALSE, with no window left, when
    // either fails.
    BOOL CreateEx(DWORD dwExStyle, LPCWSTR lpszClassName, LPCWSTR lpszWindowName, DWORD dwStyle,
                  int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu);
    BOOL DestroyWindow();

    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual void PreSubclassWindow() {}
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // A notification from the parent for this control (owner drawing);
    // TRUE when handled.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

    // Runs the window's original procedure on the message being handled.
    LRESULT Default();
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    // Thin wrappers.
    void MoveWindow(int x, int y, int w, int h, BOOL bRepaint = TRUE) { ::MoveWindow(m_hWnd, x, y, w, h, bRepaint); }
    void MoveWindow(LPCRECT rc, BOOL bRepaint = TRUE) { MoveWindow(rc->left, rc->top, rc->right - rc->left, rc->bottom - rc->top, bRepaint); }
    BOOL SetWindowPos(const CWnd* pAfter, int x, int y, int cx, int cy, UINT nFlags) {
        return ::SetWindowPos(m_hWnd, pAfter ? pAfter->m_hWnd : nullptr, x, y, cx, cy, nFlags);
    }
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
    void InvalidateRect(LPCRECT rc, BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, rc, bErase); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    void GetWindowRect(LPRECT rc) const { ::GetWindowRect(m_hWnd, rc); }
    void GetClientRect(LPRECT rc) const { ::GetClientRect(m_hWnd, rc); }
    void ScreenToClient(LPPOINT pt) const { ::ScreenToClient(m_hWnd, pt); }
    void ScreenToClient(LPRECT rc) const;
    DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongW(m_hWnd, GWL_STYLE)); }
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse, TIMERPROC pfn) { return ::SetTimer(m_hWnd, nIDEvent, nElapse, pfn); }
    BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }
    LRESULT SendMessage(UINT msg, WPARAM w = 0, LPARAM l = 0) const { return ::SendMessageW(m_hWnd, msg, w, l); }
    BOOL PostMessage(UINT msg, WPARAM w = 0, LPARAM l = 0) const { return ::PostMessageW(m_hWnd, msg, w, l); }
    CWnd* GetDlgItem(int nID) const { return FromHandle(::GetDlgItem(m_hWnd, nID)); }
    void SetDlgItemText(int nID, LPCWSTR text) { ::SetDlgItemTextW(m_hWnd, nID, text); }
    void SetWindowText(LPCWSTR text) { ::SetWindowTextW(m_hWnd, text); }
    template <size_t N>
    int GetWindowText(wchar_t (&buf)[N]) const { return ::GetWindowTextW(m_hWnd, buf, static_cast<int>(N)); }
    void GetWindowText(CString& str) const;
    int GetWindowTextLength() const { return ::GetWindowTextLengthW(m_hWnd); }
    CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(::SendMessageW(m_hWnd, WM_GETFONT, 0, 0)); }
    int MessageBox(LPCWSTR text, LPCWSTR caption, UINT nType = MB_OK) { return ::MessageBoxW(m_hWnd, text, caption, nType); }
    HICON SetIcon(HICON hIcon, BOOL bBig) { return reinterpret_cast<HICON>(SendMessage(WM_SETICON, bBig, reinterpret_cast<LPARAM>(hIcon))); }

protected:
    virtual const AFX_MSGMAP* GetMessageMap() const { return GetThisMessageMap(); }
    static const AFX_MSGMAP* GetThisMessageMap();
    // Looks the message up in the maps; TRUE with *pResult when handled.
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);

    // Default handlers: each runs the original window procedure.
    void OnPaint() { Default(); }
    BOOL OnEraseBkgnd(CDC*) { return static_cast<BOOL>(Default()); }
    LRESULT OnNcHitTest(CPoint) { return Default(); }
    void OnNcLButtonDown(UINT, CPoint) { Default(); }
    void OnNcLButtonDblClk(UINT, CPoint) { Default(); }
    void OnLButtonUp(UINT, CPoint) { Default(); }
    void OnLButtonDblClk(UINT, CPoint) { Default(); }
    void OnMouseMove(UINT, CPoint) { Default(); }
    void OnSize(UINT, int, int) { Default(); }
    void OnTimer(UINT_PTR) { Default(); }
    BOOL OnSetCursor(CWnd*, UINT, UINT) { return static_cast<BOOL>(Default()); }

    WNDPROC m_pfnSuper = nullptr;

private:
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    // Binds the object in the handle map; FALSE when the map has no room.
    BOOL Attach(HWND hWnd);
    void Detach();
};

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// ---- Dialogs ------------------------------------------------------------
class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    DWORD m_dwError = 0;  // why a control could not be bound; 0 while all are
};

// Subclasses the dialog's control nIDC into rControl (once); a control that
// is missing or cannot be bound fails the exchange.
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr)
        : m_nIDHelp(nIDTemplate), m_pParentWnd(pParentWnd) {}

    // Creates the dialog from its template and runs a modal loop of its
    // own, offering every message to PreTranslateMessage of the target
    // window and its ancestors before IsDialogMessage. Returns the end
    // code, or -1 when the dialog cannot be created (GetLastError tells why:
    // ERROR_NOT_ENOUGH_MEMORY when the dialog or a control of it could not
    // be bound to its object, ERROR_CONTROL_ID_NOT_FOUND for a control
    // missing from the template).
    virtual INT_PTR DoModal();
    void EndDialog(int nResult);
    // Binds the controls (DoDataExchange). FALSE when one cannot be bound:
    // the dialog is then not created, and an override returns at once.
    virtual BOOL OnInitDialog();

protected:
    virtual void DoDataExchange(CDataExchange*) {}
    BOOL UpdateData(BOOL bSaveAndValidate);
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }

    UINT m_nIDHelp;
    CWnd* m_pParentWnd;

private:
    friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
    BOOL m_bContinueModal = FALSE;
    DWORD m_dwInitError = 0;  // why OnInitDialog failed
    int m_nModalResult = -1;
    DECLARE_MESSAGE_MAP()
};

// ---- Application --------------------------------------------------------
class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    // Called once by the entry point; its result ends or keeps the program.
    virtual BOOL InitInstance() { return TRUE; }
    // Called once the program ends; its result is the process's exit code.
    virtual int ExitInstance() { return m_nExitCode; }

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    int m_nExitCode = 0;
};

CWinApp* AfxGetApp();
// The module that holds the resources: the application's, or the running
// executable when there is no application object (tests).
HINSTANCE AfxGetInstanceHandle();
