// One installer per user session. The first start holds a named mutex in
// the session's namespace and marks its window with a property of its own;
// a later start finds the marked window (never by its title, which any
// window may have), brings it to the front and ends, before it reads the
// registry, starts the support log, touches the download folder or the
// network.
#pragma once
#include <windows.h>
#include "framework/afxfile.h"

class CSingleInstance {
public:
    // Takes the session's installer mutex. FALSE when another start holds
    // it (or something this program may not open does); TRUE also when the
    // mutex cannot be made at all, as the program then runs as it did
    // without one.
    BOOL Claim();

    // Marks hWnd as the window a later start brings back; the mark goes
    // with Unmark, before the window does.
    static BOOL MarkWindow(HWND hWnd);
    static void UnmarkWindow(HWND hWnd);
    // The marked window of the session, waiting up to dwWaitMs for the
    // first start to show it; NULL when none comes.
    static HWND FindMarkedWindow(DWORD dwWaitMs);
    // Restores hWnd when minimised and brings it, or the box it shows, to
    // the front. Never waits for the window's program.
    static void BringToFront(HWND hWnd);

private:
    CHandle m_mutex;
};
