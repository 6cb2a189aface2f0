// What the skinned controls share with the skin above them: the see-through
// colour, the face of the texts and a bitmap's size. Plain Windows, no
// framework.
#pragma once
#include <windows.h>

// The see-through colour of every skin image, control mask and window shape.
#define SKIN_KEY_COLOR RGB(255, 0, 255)
// The face of the skin's texts (Wine's prefix maps it to WenQuanYi Micro
// Hei, the face the skin images were drawn with).
#define SKIN_FONT_FACE L"微软雅黑"

// Size of a bitmap, (0, 0) for NULL.
SIZE SkinBitmapSize(HBITMAP hBitmap);
