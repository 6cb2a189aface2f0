// The login a proxy asks for (407), given once per run. The person types it
// into Windows' own prompt, which whoever shows the run puts over its
// window; every later request of the run sends it, as Windows' per-process
// credential cache would: WinInet keeps a login only with the Internet
// handle it was given to, and each request opens its own. It lives in
// memory only, and is wiped when replaced and when the run ends.
//
// The prompt is modal and needs the window, so it runs on the window's
// thread: a request that gets a 407 hands its request handle over (through
// IProxyPrompt, which only posts) and waits for the answer or the stop,
// never holding a lock while it waits. Once the window's thread has taken
// the handle the request waits for the answer even after a stop: the prompt
// uses the handle until it closes, and it closes with the window at the
// latest.
#pragma once
#include <windows.h>
#include <wininet.h>
#include "framework/afxmt.h"

// The longest user name and password kept, terminator included.
const size_t kProxyLoginChars = 256;
// Logins a proxy may refuse in a run before the run gives up.
const int kProxyLoginTries = 3;

// What a request the proxy answered 407 to does next.
enum ProxyLoginStep {
    PROXY_LOGIN_SEND,     // a newer login than the one it sent is kept: send again with that
    PROXY_LOGIN_PROMPT,   // ask the person: the prompt is this request's
    PROXY_LOGIN_WAIT,     // another request's prompt shows: decide again once it has ended
    PROXY_LOGIN_GIVE_UP,  // the prompt was cancelled, or kProxyLoginTries logins refused
};

// How a prompt ended.
enum ProxyPromptAnswer {
    PROXY_PROMPT_GIVEN,      // a login, kept from now on
    PROXY_PROMPT_CANCELLED,  // the person said no: the run gives up
    PROXY_PROMPT_STOPPED,    // the run stopped first
};

// A login as WinInet takes it.
struct CProxyLoginText {
    wchar_t szUser[kProxyLoginChars];
    wchar_t szPassword[kProxyLoginChars];
};

struct CProxyLoginState {
    DWORD dwKept = 0;  // the kept login's number, from 1; 0: none yet
    int nRefused = 0;  // logins the proxy refused
    BOOL bPrompting = FALSE;
    BOOL bGivenUp = FALSE;
};

// The step of a request sent with login number dwSent (0: none) that got a
// 407; a refusal of the kept login is counted, and a prompt taken.
ProxyLoginStep NextProxyLoginStep(CProxyLoginState* pState, DWORD dwSent);
// The prompt's end: a login given is number dwKept + 1.
void EndProxyPromptStep(CProxyLoginState* pState, ProxyPromptAnswer answer);

// Who shows the prompt: called on the asking request's thread, under the
// login's lock, so it must only hand the wish to the window's thread (post)
// and return; FALSE when it could not (asked again later). That thread then
// calls TakePrompt, shows the prompt and calls AnswerPrompt.
class IProxyPrompt {
public:
    virtual BOOL OnProxyPromptWanted() = 0;

protected:
    ~IProxyPrompt() = default;
};

class CProxyLogin {
public:
    CProxyLogin() = default;
    ~CProxyLogin();
    CProxyLogin(const CProxyLogin&) = delete;
    CProxyLogin& operator=(const CProxyLogin&) = delete;

    // The window's side. Who shows the prompt from now on (null: nobody,
    // and a request that wants it waits for someone, or for the stop).
    void SetPrompt(IProxyPrompt* pPrompt);
    // The request handle the prompt is for; FALSE when no request waits any
    // more (it stopped first).
    BOOL TakePrompt(HINTERNET* phRequest);
    // The prompt has closed: bGiven when WinInet now holds a login in the
    // handle for the request to send again.
    void AnswerPrompt(BOOL bGiven);
    // Retry after a failed run: the person may be asked again, and refused
    // logins count afresh.
    void Renew();

    // The requests' side. The kept login's number (0: none, the text then
    // empty) and the login, for the caller to wipe once set.
    DWORD CopyLogin(CProxyLoginText* pLogin);
    // NextProxyLoginStep on the run's state, after waiting out another
    // request's prompt: never PROXY_LOGIN_WAIT; PROXY_LOGIN_GIVE_UP at the
    // stop.
    ProxyLoginStep Next(DWORD dwSent, HANDLE hStop);
    // PROXY_LOGIN_PROMPT: has the prompt shown for hRequest, once someone
    // can show it, and waits for its answer or the stop.
    ProxyPromptAnswer Prompt(HINTERNET hRequest, HANDLE hStop);
    // Ends the prompt this request took: with PROXY_PROMPT_GIVEN login is
    // kept (copied).
    void EndPrompt(ProxyPromptAnswer answer, const CProxyLoginText& login);

private:
    enum Handshake { HANDSHAKE_NONE, HANDSHAKE_WANTED, HANDSHAKE_SHOWING, HANDSHAKE_GIVEN, HANDSHAKE_CANCELLED };

    CCriticalSection m_lock;
    CProxyLoginState m_state;
    CProxyLoginText m_login = {};
    IProxyPrompt* m_pPrompt = nullptr;
    BOOL m_bTold = FALSE;  // m_pPrompt has the wish
    Handshake m_handshake = HANDSHAKE_NONE;
    HINTERNET m_hRequest = nullptr;
};
