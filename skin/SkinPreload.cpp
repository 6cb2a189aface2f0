#include "skin/SkinPreload.h"
#include "skin/SkinImage.h"
#include "framework/afxfile.h"

namespace {

struct CPreloadedSkin {
    UINT nResID;
    HBITMAP hBitmap;
};

// Written by the decoding thread only until it ends, then by the UI
// thread only: the wait for the thread's end orders the two.
struct CSkinPreload {
    HINSTANCE hInstance = nullptr;
    CPreloadedSkin skins[16] = {};
    int nCount = 0;
    CHandle thread;
} s_preload;

DWORD WINAPI SkinPreloadThread(LPVOID) {
    for (int i = 0; i < s_preload.nCount; ++i)
        s_preload.skins[i].hBitmap = LoadPngBitmap(s_preload.hInstance, s_preload.skins[i].nResID);
    return 0;
}

void AwaitSkinPreload() {
    if (!s_preload.thread.IsValid()) return;
    ::WaitForSingleObject(s_preload.thread, INFINITE);
    s_preload.thread.Close();
}

}  // namespace

BOOL StartSkinPreload(HINSTANCE hInstance, const UINT* pIDs, int nCount) {
    EndSkinPreload();
    if (nCount < 0 || nCount > static_cast<int>(ARRAYSIZE(s_preload.skins))) return FALSE;
    s_preload.hInstance = hInstance;
    for (int i = 0; i < nCount; ++i) s_preload.skins[i] = {pIDs[i], nullptr};
    s_preload.nCount = nCount;
    s_preload.thread.Attach(::CreateThread(nullptr, 0, &SkinPreloadThread, nullptr, 0, nullptr));
    if (!s_preload.thread.IsValid()) s_preload.nCount = 0;
    return s_preload.thread.IsValid();
}

HBITMAP TakeSkinBitmap(HINSTANCE hInstance, UINT nResID) {
    AwaitSkinPreload();
    if (hInstance == s_preload.hInstance) {
        for (int i = 0; i < s_preload.nCount; ++i) {
            CPreloadedSkin& skin = s_preload.skins[i];
            if (skin.nResID != nResID || !skin.hBitmap) continue;
            const HBITMAP hBitmap = skin.hBitmap;
            skin.hBitmap = nullptr;
            return hBitmap;
        }
    }
    return LoadPngBitmap(hInstance, nResID);
}

void EndSkinPreload() {
    AwaitSkinPreload();
    for (int i = 0; i < s_preload.nCount; ++i)
        if (s_preload.skins[i].hBitmap) ::DeleteObject(s_preload.skins[i].hBitmap);
    s_preload.nCount = 0;
}
