#include "framework/afxfile.h"

BOOL IsDirectory(const wchar_t* path) {
    const DWORD attr = ::GetFileAttributesW(path);
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}
