// The native test build's stand-in for <wininet.h>: the types and port
// numbers the installer's HTTP headers name (see windows.h beside it).
#pragma once
#include <windows.h>

typedef void* HINTERNET;
typedef WORD INTERNET_PORT;
#define INTERNET_DEFAULT_HTTP_PORT 80
#define INTERNET_DEFAULT_HTTPS_PORT 443
