// Reading a string value from the registry into a fixed buffer, safely.
#pragma once
#include <windows.h>

// Accepts a string value as RegQueryValueExW returned it (result, type,
// data and its size in bytes): TRUE when the query succeeded, the value is
// a string (REG_SZ or REG_EXPAND_SZ) and it fits cchOut characters with its
// terminator; then out holds it. Otherwise FALSE and out is not touched, so
// a caller's default survives a missing, foreign or over-long value.
BOOL AcceptRegistryString(LONG lResult, DWORD dwType, const wchar_t* data, DWORD cbData,
                          wchar_t* out, size_t cchOut);

// Reads the string value name of hKey into out (cchOut characters, at most
// MAX_REGISTRY_STRING) under the rules of AcceptRegistryString.
BOOL ReadRegistryString(HKEY hKey, const wchar_t* name, wchar_t* out, size_t cchOut);

enum { MAX_REGISTRY_STRING = 512 };
