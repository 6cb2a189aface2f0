// Dots per inch: the skin is designed in pixels at 96 DPI (100 %) and laid
// out at the DPI of the monitor its window is on. Sizes are scaled by their
// edges, so that two things that meet at 96 DPI meet at every DPI.
#pragma once
#include <windows.h>

// Windows 10 1703's question before WM_DPICHANGED; the headers name it only
// for programs that need that version, which this one does not.
#ifndef WM_GETDPISCALEDSIZE
#define WM_GETDPISCALEDSIZE 0x02E4
#endif

// The DPI the skin's pixels are designed for.
const UINT SKIN_DESIGN_DPI = 96;

// v design pixels at nDpi, rounded to the nearest pixel (half away from 0).
int SkinScale(int v, UINT nDpi);
// A design rectangle at nDpi: each edge scaled on its own.
RECT SkinScaleRect(const RECT& rc, UINT nDpi);
// A DPI the system reported, within what the skin is drawn for: 48 to 480
// (50 % to 500 %); 0 or anything absurd is taken as 96.
UINT SkinSaneDpi(UINT nDpi);

// The DPI of the monitor hWnd is on where the system tells (Windows 10 1607
// and later), otherwise the system DPI (XP, 7, 8, and Wine, which has one
// DPI for all monitors).
UINT SkinWindowDpi(HWND hWnd);

// The dialog hDlg lays out its controls and chooses their fonts itself:
// the dialog manager of Windows 10 1703 and later must neither resize nor
// move them, nor change their fonts, when the window's DPI changes. Nothing
// where the system has no such behaviour.
void SkinKeepDialogLayout(HWND hDlg);
