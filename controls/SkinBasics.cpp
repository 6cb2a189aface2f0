#include "controls/SkinBasics.h"

SIZE SkinBitmapSize(HBITMAP hBitmap) {
    BITMAP bm = {};
    if (hBitmap) ::GetObjectW(hBitmap, sizeof(bm), &bm);
    return {bm.bmWidth, bm.bmHeight};
}
