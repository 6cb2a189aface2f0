#include "install/InstalledPath.h"
#include "framework/afxfile.h"
#include "framework/afxreg.h"
#include "install/ProductNames.h"
#include <cwchar>

namespace {

// The icon value is read into a buffer of this many characters.
const size_t kIconChars = 256;

}  // namespace

BOOL FindInstalledFolder(wchar_t* folder) {
    CRegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, VELMORA_UNINSTALL_KEY, KEY_READ | VELMORA_REGISTRY_VIEW) != ERROR_SUCCESS)
        return FALSE;

    wchar_t found[PATH_CHARS];
    if (folder && key.QueryStringValue(L"Inno Setup: App Path", found))
        CopyTextWhole(folder, PATH_CHARS, found, wcslen(found));

    // The result only tells whether the installation's icon file is still
    // there; the folder above is taken either way.
    wchar_t icon[kIconChars];
    if (!key.QueryStringValue(L"DisplayIcon", icon)) return FALSE;
    CHandle file(::CreateFileW(icon, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.IsValid();
}
