// One installer per user session. The first start owns a named mutex in
// the session's namespace until it ends and marks its window with a
// property of its own; a later start finds the marked window (never by its
// title, which any window may have), brings it to the front and ends,
// before it reads the registry, starts the support log, touches the
// download folder or the network.
#pragma once
#include <windows.h>
#include "framework/afxfile.h"

class CSingleInstance {
public:
    // TRUE when this start is the session's installer: no other start owns
    // the mutex, the one that did ended within dwWaitMs (its window was
    // closed and it was finishing), or the mutex cannot be had at all (the
    // program then runs as it did without one). FALSE when another start
    // goes on: *phFirst is its window, or NULL when it showed none within
    // dwWaitMs (or the mutex is held by something this program may not
    // open).
    BOOL Claim(DWORD dwWaitMs, HWND* phFirst);

    // Marks hWnd as the window a later start brings back; the mark goes
    // with Unmark, before the window does.
    static BOOL MarkWindow(HWND hWnd);
    static void UnmarkWindow(HWND hWnd);
    // The marked window of the session, or NULL.
    static HWND FindMarkedWindow();
    // Restores hWnd when minimised and brings it, or the box it shows, to
    // the front. Never waits for the window's program.
    static void BringToFront(HWND hWnd);

private:
    CHandle m_mutex;
};
