#include "app/SingleInstance.h"

namespace {

// The session's own namespace ("Local\"), so that another user's installer
// on the same machine is not taken for this one.
const wchar_t kMutexName[] = L"Local\\Corvane.Velmora.Installer";
const wchar_t kWindowMark[] = L"Corvane.Velmora.Installer.Window";

BOOL CALLBACK FindMarked(HWND hWnd, LPARAM lParam) {
    if (!::GetPropW(hWnd, kWindowMark)) return TRUE;
    *reinterpret_cast<HWND*>(lParam) = hWnd;
    return FALSE;
}

}  // namespace

BOOL CSingleInstance::Claim(DWORD dwWaitMs, HWND* phFirst) {
    *phFirst = nullptr;
    // Owned from the start when made here; an existing one is owned by the
    // start that made it until that start's process ends.
    const HANDLE hMutex = ::CreateMutexW(nullptr, TRUE, kMutexName);
    const DWORD error = ::GetLastError();
    m_mutex.Attach(hMutex);
    if (!m_mutex.IsValid()) return error != ERROR_ACCESS_DENIED;
    if (error != ERROR_ALREADY_EXISTS) return TRUE;
    // The other start's window, or its end (an abandoned mutex: it ended
    // without letting go, as every start does).
    for (const DWORD start = ::GetTickCount();;) {
        if ((*phFirst = FindMarkedWindow()) != nullptr) return FALSE;
        const DWORD wait = ::WaitForSingleObject(m_mutex, 50);
        if (wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED) return TRUE;
        if (::GetTickCount() - start >= dwWaitMs) return FALSE;
    }
}

BOOL CSingleInstance::MarkWindow(HWND hWnd) { return ::SetPropW(hWnd, kWindowMark, hWnd); }

void CSingleInstance::UnmarkWindow(HWND hWnd) { ::RemovePropW(hWnd, kWindowMark); }

HWND CSingleInstance::FindMarkedWindow() {
    HWND hFound = nullptr;
    ::EnumWindows(&FindMarked, reinterpret_cast<LPARAM>(&hFound));
    return hFound;
}

void CSingleInstance::BringToFront(HWND hWnd) {
    if (::IsIconic(hWnd)) ::ShowWindowAsync(hWnd, SW_RESTORE);
    // A box the window shows (the failure box, the folder dialog) comes
    // first: the window itself takes no input meanwhile.
    const HWND hPopup = ::GetLastActivePopup(hWnd);
    ::SetForegroundWindow(hPopup ? hPopup : hWnd);
}
