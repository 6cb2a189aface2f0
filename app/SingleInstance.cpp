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

BOOL CSingleInstance::Claim() {
    const HANDLE hMutex = ::CreateMutexW(nullptr, FALSE, kMutexName);
    const DWORD error = ::GetLastError();
    m_mutex.Attach(hMutex);
    if (m_mutex.IsValid()) return error != ERROR_ALREADY_EXISTS;
    return error != ERROR_ACCESS_DENIED;
}

BOOL CSingleInstance::MarkWindow(HWND hWnd) { return ::SetPropW(hWnd, kWindowMark, hWnd); }

void CSingleInstance::UnmarkWindow(HWND hWnd) { ::RemovePropW(hWnd, kWindowMark); }

HWND CSingleInstance::FindMarkedWindow(DWORD dwWaitMs) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        HWND hFound = nullptr;
        ::EnumWindows(&FindMarked, reinterpret_cast<LPARAM>(&hFound));
        if (hFound || ::GetTickCount() - start >= dwWaitMs) return hFound;
        ::Sleep(50);
    }
}

void CSingleInstance::BringToFront(HWND hWnd) {
    if (::IsIconic(hWnd)) ::ShowWindowAsync(hWnd, SW_RESTORE);
    // A box the window shows (the failure box, the folder dialog) comes
    // first: the window itself takes no input meanwhile.
    const HWND hPopup = ::GetLastActivePopup(hWnd);
    ::SetForegroundWindow(hPopup ? hPopup : hWnd);
}
