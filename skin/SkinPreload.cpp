#include "skin/SkinPreload.h"
#include "skin/SkinArt.h"
#include "skin/SkinImage.h"

DWORD WINAPI CSkinPreload::Thread(LPVOID pParam) {
    auto* self = static_cast<CSkinPreload*>(pParam);
    for (int i = 0; i < self->m_nCount; ++i)
        self->m_skins[i].hBitmap = LoadPngBitmap(self->m_hInstance, self->m_skins[i].nResID);
    if (self->m_nCount > 0 && self->m_skins[0].hBitmap && self->m_nScaleDpi != SKIN_DESIGN_DPI)
        self->m_hScaled = ScaleSkinBackground(self->m_skins[0].hBitmap, self->m_nBorder, self->m_nScaleDpi);
    return 0;
}

void CSkinPreload::Await() {
    if (!m_thread.IsValid()) return;
    ::WaitForSingleObject(m_thread, INFINITE);
    m_thread.Close();
}

BOOL CSkinPreload::Start(HINSTANCE hInstance, const UINT* pIDs, int nCount, UINT nScaleDpi, int nBorder) {
    End();
    if (nCount < 0 || nCount > static_cast<int>(ARRAYSIZE(m_skins))) return FALSE;
    m_hInstance = hInstance;
    m_nScaleDpi = nScaleDpi;
    m_nBorder = nBorder;
    for (int i = 0; i < nCount; ++i) m_skins[i] = {pIDs[i], nullptr};
    m_nCount = nCount;
    m_thread.Attach(::CreateThread(nullptr, 0, &Thread, this, 0, nullptr));
    if (!m_thread.IsValid()) m_nCount = 0;
    return m_thread.IsValid();
}

HBITMAP CSkinPreload::Take(HINSTANCE hInstance, UINT nResID) {
    Await();
    if (hInstance == m_hInstance) {
        for (int i = 0; i < m_nCount; ++i) {
            CSkin& skin = m_skins[i];
            if (skin.nResID != nResID || !skin.hBitmap) continue;
            const HBITMAP hBitmap = skin.hBitmap;
            skin.hBitmap = nullptr;
            return hBitmap;
        }
    }
    return LoadPngBitmap(hInstance, nResID);
}

HBITMAP CSkinPreload::TakeScaled(UINT nDpi) {
    Await();
    if (nDpi != m_nScaleDpi) return nullptr;
    const HBITMAP hScaled = m_hScaled;
    m_hScaled = nullptr;
    return hScaled;
}

void CSkinPreload::End() {
    Await();
    if (m_hScaled) ::DeleteObject(m_hScaled);
    m_hScaled = nullptr;
    for (int i = 0; i < m_nCount; ++i)
        if (m_skins[i].hBitmap) ::DeleteObject(m_skins[i].hBitmap);
    m_nCount = 0;
}
