// The client's names as Windows, its setup package and its launcher know
// them. Changing one breaks what an installed client or its setup expects.
#pragma once

// Folder proposed for a new installation, and the name a browsed folder gets.
#define VELMORA_DEFAULT_FOLDER L"C:\\velmora"
#define VELMORA_FOLDER_NAME L"velmora"
// The download (staging) folder under ProgramData, and the package's file name.
#define VELMORA_DOWNLOAD_FOLDER L"CorvaneVelmora"
#define VELMORA_PACKAGE_NAME L"velmora.exe"
// The client's launcher and setting file, relative to the installation folder.
#define VELMORA_LAUNCHER L"vlLauncher.exe"
#define VELMORA_CONFIG_FILE L"config\\config.ini"
#define VELMORA_CONFIG_SECTION L"AppSetting"
#define VELMORA_CONFIG_AUTORUN L"AutoRun"
// The start-at-logon Run value and the client's shortcut.
#define VELMORA_RUN_VALUE L"Velmora"
#define VELMORA_SHORTCUT L"Velmora.lnk"
// The Uninstall entry the setup package registers and the Run key of the
// start-at-logon value, under HKEY_LOCAL_MACHINE.
#define VELMORA_UNINSTALL_KEY \
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\{8C3E51A2-7F04-4B9D-A6E1-2D57C90B3F48}_is1"
#define VELMORA_RUN_KEY L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run"
// Both are opened in the registry's 32-bit view. The setup package and the
// shipped installer are 32-bit programs, whose keys a 64-bit Windows keeps
// under SOFTWARE\Wow6432Node; the flag names that view from a build of
// either width, and a 32-bit Windows, with one view only, ignores it.
#define VELMORA_REGISTRY_VIEW KEY_WOW64_32KEY
// The agent string of every HTTP request; the vendor server has always seen it.
#define VELMORA_HTTP_AGENT L"JQV"
