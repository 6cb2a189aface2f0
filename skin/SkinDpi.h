// The DPI of the monitor a skinned window is on, and what the system must
// leave alone when it changes. Its users scale design pixels to that DPI,
// so the scaling (SkinGeometry.h) comes with it.
#pragma once
#include <windows.h>
#include "skin/SkinGeometry.h"

// Windows 10 1703's question before WM_DPICHANGED; the headers name it only
// for programs that need that version, which this one does not.
#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

// The DPI of the monitor hWnd is on where the system tells (Windows 10 1607
// and later), otherwise the system DPI (XP, 7, 8, and Wine, which has one
// DPI for all monitors).
UINT SkinWindowDpi(HWND hWnd);

// The dialog hDlg lays out its controls and chooses their fonts itself:
// the dialog manager of Windows 10 1703 and later must neither resize nor
// move them, nor change their fonts, when the window's DPI changes. Nothing
// where the system has no such behaviour.
void SkinKeepDialogLayout(HWND hDlg);
