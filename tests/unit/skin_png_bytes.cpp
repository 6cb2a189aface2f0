#include "skin_png_bytes.h"

std::vector<BYTE> SkinPngBytes(UINT id) {
    const HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC r = ::FindResourceW(self, MAKEINTRESOURCEW(id), L"PNG");
    const BYTE* p = static_cast<const BYTE*>(::LockResource(::LoadResource(self, r)));
    return std::vector<BYTE>(p, p + ::SizeofResource(self, r));
}
