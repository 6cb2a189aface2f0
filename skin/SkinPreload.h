// Skin images decoded on a thread of their own while the window is built:
// decoding the first page's images takes about as long as creating the
// dialog's controls, and the two need not wait for each other. The
// application owns the preload; the dialog takes its images from it.
#pragma once
#include <windows.h>
#include "framework/afxfile.h"

class CSkinPreload {
public:
    CSkinPreload() = default;
    ~CSkinPreload() { End(); }
    CSkinPreload(const CSkinPreload&) = delete;
    CSkinPreload& operator=(const CSkinPreload&) = delete;

    // Starts decoding the nCount images pIDs names (an ID may repeat, for
    // one bitmap each) with LoadPngBitmap. FALSE when no thread could be
    // started (or there are too many); Take then decodes each image itself.
    BOOL Start(HINSTANCE hInstance, const UINT* pIDs, int nCount);
    // Image nResID as LoadPngBitmap gives it, the caller owning it: a
    // preloaded one not yet taken (after the decoding thread has ended),
    // otherwise decoded now.
    HBITMAP Take(HINSTANCE hInstance, UINT nResID);
    // Waits for the decoding thread and deletes the bitmaps no one took.
    void End();

private:
    static DWORD WINAPI Thread(LPVOID pParam);
    void Await();

    struct CSkin {
        UINT nResID;
        HBITMAP hBitmap;
    };
    // Written by the decoding thread only until it ends, then by the UI
    // thread only: the wait for the thread's end orders the two.
    HINSTANCE m_hInstance = nullptr;
    CSkin m_skins[16] = {};
    int m_nCount = 0;
    CHandle m_thread;
};
