// Skin images decoded on a thread of their own while the window is built:
// decoding the first page's images takes about as long as creating the
// dialog's controls, and the two need not wait for each other.
#pragma once
#include <windows.h>

// Starts decoding the nCount images pIDs names (an ID may repeat, for one
// bitmap each) with LoadPngBitmap. FALSE when no thread could be started;
// TakeSkinBitmap then decodes each image itself.
BOOL StartSkinPreload(HINSTANCE hInstance, const UINT* pIDs, int nCount);

// Image nResID as LoadPngBitmap gives it, the caller owning it: a preloaded
// one not yet taken (after the decoding thread has ended), otherwise
// decoded now.
HBITMAP TakeSkinBitmap(HINSTANCE hInstance, UINT nResID);

// Waits for the decoding thread and deletes the bitmaps no one took.
void EndSkinPreload();
