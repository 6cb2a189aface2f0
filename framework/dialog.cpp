#include "framework/afxwnd.h"

BEGIN_MESSAGE_MAP(CDialog, CWnd)
    ON_COMMAND(IDOK, OnOK)
    ON_COMMAND(IDCANCEL, OnCancel)
END_MESSAGE_MAP()

// The dialog manager's procedure: only WM_INITDIALOG is ours here. It binds
// the window to its object and from then on every message goes through the
// object's message map first and reaches this procedure only as default
// processing.
INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam) {
    if (message != WM_INITDIALOG) return FALSE;
    auto* pDlg = reinterpret_cast<CDialog*>(lParam);
    if (!pDlg->SubclassWindow(hWnd)) {
        pDlg->m_dwInitError = ERROR_NOT_ENOUGH_MEMORY;
        return FALSE;
    }
    return pDlg->OnInitDialog();
}

BOOL CDialog::OnInitDialog() {
    CDataExchange dx(this, FALSE);
    DoDataExchange(&dx);
    m_dwInitError = dx.m_dwError;
    return m_dwInitError == 0;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return dx.m_dwError == 0;
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl) {
    if (rControl.m_hWnd || pDX->m_dwError) return;
    const HWND hCtrl = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, nIDC);
    if (!hCtrl)
        pDX->m_dwError = ERROR_CONTROL_ID_NOT_FOUND;
    else if (!rControl.SubclassWindow(hCtrl))
        pDX->m_dwError = ERROR_NOT_ENOUGH_MEMORY;
}

void CDialog::EndDialog(int nResult) {
    m_nModalResult = nResult;
    m_bContinueModal = FALSE;
}

INT_PTR CDialog::DoModal() {
    HWND hParent = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    m_nModalResult = -1;
    m_bContinueModal = TRUE;
    m_dwInitError = 0;
    HWND hDlg = ::CreateDialogParamW(AfxGetInstanceHandle(), MAKEINTRESOURCEW(m_nIDHelp), hParent,
                                     &AfxDlgProc, reinterpret_cast<LPARAM>(this));
    if (!hDlg || m_dwInitError) {
        m_bContinueModal = FALSE;
        if (hDlg) {
            // Destroyed by handle: the object may not be bound to it.
            ::DestroyWindow(hDlg);
            ::SetLastError(m_dwInitError);
        }
        return -1;
    }
    BOOL bParentEnabled = hParent && ::IsWindowEnabled(hParent);
    if (bParentEnabled) ::EnableWindow(hParent, FALSE);
    if (m_bContinueModal) ::ShowWindow(hDlg, SW_SHOWNORMAL);

    MSG msg;
    while (m_bContinueModal) {
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) break;
        if (got == 0) {  // keep WM_QUIT for the caller's loop, if any
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        // The target window and its ancestors up to the dialog see the
        // message first.
        BOOL bDone = FALSE;
        for (HWND h = msg.hwnd; h && !bDone; h = (h == hDlg) ? nullptr : ::GetParent(h)) {
            CWnd* pWnd = FromHandlePermanent(h);
            if (pWnd && pWnd->PreTranslateMessage(&msg)) bDone = TRUE;
        }
        if (bDone || ::IsDialogMessageW(hDlg, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }

    if (bParentEnabled) ::EnableWindow(hParent, TRUE);
    if (m_hWnd) DestroyWindow();
    return m_nModalResult;
}
