// Skin images decoded on a thread of their own while the window is built:
// decoding the first page's images takes about as long as creating the
// dialog's controls, and the two need not wait for each other. The
// application owns the preload; the dialog takes its images from it.
#pragma once
#include <windows.h>
#include "framework/afxfile.h"
#include "skin/SkinDpi.h"

class CSkinPreload {
public:
    CSkinPreload() = default;
    ~CSkinPreload() { End(); }
    CSkinPreload(const CSkinPreload&) = delete;
    CSkinPreload& operator=(const CSkinPreload&) = delete;

    // Starts decoding the nCount images pIDs names (an ID may repeat, for
    // one bitmap each) with LoadPngBitmap, and then, when nScaleDpi is not
    // 96, scaling the first of them, the background, to nScaleDpi with a
    // frame of nBorder (ScaleSkinBackground). FALSE when no thread could be
    // started (or there are too many); Take then decodes each image itself.
    BOOL Start(HINSTANCE hInstance, const UINT* pIDs, int nCount, UINT nScaleDpi = 96, int nBorder = 0);
    // Image nResID as LoadPngBitmap gives it, the caller owning it: a
    // preloaded one not yet taken (after the decoding thread has ended),
    // otherwise decoded now.
    HBITMAP Take(HINSTANCE hInstance, UINT nResID);
    // The background scaled to nDpi, the caller owning it; NULL when it was
    // scaled to another DPI or not at all.
    HBITMAP TakeScaled(UINT nDpi);
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
    UINT m_nScaleDpi = 96;
    int m_nBorder = 0;
    HBITMAP m_hScaled = nullptr;
    CHandle m_thread;
};
