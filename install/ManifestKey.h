// The public key the vendor signs its manifests with, as a PUBLICKEYBLOB,
// compiled in from the build setting VELMORA_MANIFEST_KEY (a PEM file) by
// scripts/key-blob.py. kManifestKeyBytes is 0 in a build without a key,
// which takes unsigned manifests.
#pragma once
#include <windows.h>

extern const BYTE kManifestKey[];
extern const DWORD kManifestKeyBytes;
