// Windows' own prompt for the login a proxy asks for (407).
#pragma once
#include <windows.h>
#include <wininet.h>

// Shows the prompt for hRequest, whose reply was the proxy's 407, over
// hOwner and waits for it. TRUE when the person gave a login, which WinInet
// then holds in hRequest; FALSE for Cancel (Wine's prompt returns 0, not
// ERROR_CANCELLED), or when the prompt cannot be shown.
BOOL ShowProxyLoginPrompt(HWND hOwner, HINTERNET hRequest);
