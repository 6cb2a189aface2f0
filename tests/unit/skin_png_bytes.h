// The bytes of a skin image as the installer carries them: its PNG
// resource here, the file the resource script names in the native test
// build (tests/native/skin_png_bytes.cpp).
#pragma once
#include <windows.h>
#include <vector>

std::vector<BYTE> SkinPngBytes(UINT id);
