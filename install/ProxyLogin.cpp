#include "install/ProxyLogin.h"
#include "install/SupportLog.h"

namespace {

// A person answers in seconds: looking every 50 ms costs nothing and
// needs no event per state.
const DWORD kPollMs = 50;

BOOL IsSet(HANDLE hEvent) { return ::WaitForSingleObject(hEvent, 0) == WAIT_OBJECT_0; }

}  // namespace

ProxyLoginStep NextProxyLoginStep(CProxyLoginState* pState, DWORD dwSent) {
    if (pState->bGivenUp) return PROXY_LOGIN_GIVE_UP;
    if (dwSent < pState->dwKept) return PROXY_LOGIN_SEND;
    if (pState->bPrompting) return PROXY_LOGIN_WAIT;
    // A 407 to the kept login is the proxy refusing it.
    if (dwSent && ++pState->nRefused >= kProxyLoginTries) {
        pState->bGivenUp = TRUE;
        return PROXY_LOGIN_GIVE_UP;
    }
    pState->bPrompting = TRUE;
    return PROXY_LOGIN_PROMPT;
}

void EndProxyPromptStep(CProxyLoginState* pState, ProxyPromptAnswer answer) {
    pState->bPrompting = FALSE;
    if (answer == PROXY_PROMPT_GIVEN) ++pState->dwKept;
    if (answer == PROXY_PROMPT_CANCELLED) pState->bGivenUp = TRUE;
}

CProxyLogin::~CProxyLogin() { ::SecureZeroMemory(&m_login, sizeof(m_login)); }

void CProxyLogin::SetPrompt(IProxyPrompt* pPrompt) {
    CSingleLock lock(m_lock);
    m_pPrompt = pPrompt;
    m_bTold = FALSE;  // a wish posted to a window that went is posted to the next
}

BOOL CProxyLogin::TakePrompt(HINTERNET* phRequest) {
    CSingleLock lock(m_lock);
    if (m_handshake != HANDSHAKE_WANTED) return FALSE;
    m_handshake = HANDSHAKE_SHOWING;
    *phRequest = m_hRequest;
    return TRUE;
}

void CProxyLogin::AnswerPrompt(BOOL bGiven) {
    CSingleLock lock(m_lock);
    if (m_handshake == HANDSHAKE_SHOWING) m_handshake = bGiven ? HANDSHAKE_GIVEN : HANDSHAKE_CANCELLED;
}

void CProxyLogin::Renew() {
    CSingleLock lock(m_lock);
    m_state.bGivenUp = FALSE;
    m_state.nRefused = 0;
}

DWORD CProxyLogin::CopyLogin(CProxyLoginText* pLogin) {
    CSingleLock lock(m_lock);
    *pLogin = m_login;
    return m_state.dwKept;
}

ProxyLoginStep CProxyLogin::Next(DWORD dwSent, HANDLE hStop) {
    CSingleLock lock(m_lock);
    const int nRefused = m_state.nRefused;
    ProxyLoginStep step;
    while ((step = NextProxyLoginStep(&m_state, dwSent)) == PROXY_LOGIN_WAIT) {
        if (IsSet(hStop)) return PROXY_LOGIN_GIVE_UP;
        m_lock.Unlock();
        ::Sleep(kPollMs);
        m_lock.Lock();
    }
    // What happened to the login, never the login itself.
    if (m_state.nRefused != nRefused) SupportLog(L"proxy: login refused (%d/%d)", m_state.nRefused, kProxyLoginTries);
    if (step == PROXY_LOGIN_PROMPT) SupportLog(L"proxy: 407, login prompt");
    return step;
}

ProxyPromptAnswer CProxyLogin::Prompt(HINTERNET hRequest, HANDLE hStop) {
    CSingleLock lock(m_lock);
    m_hRequest = hRequest;
    m_handshake = HANDSHAKE_WANTED;
    m_bTold = FALSE;
    for (;;) {
        const BOOL bStopping = IsSet(hStop);
        // Not taken yet: the prompt never gets the handle. Taken: the
        // prompt uses it until it closes, stop or not.
        if (m_handshake == HANDSHAKE_WANTED && bStopping) break;
        if (m_handshake == HANDSHAKE_GIVEN || m_handshake == HANDSHAKE_CANCELLED) {
            const Handshake answer = m_handshake;
            m_handshake = HANDSHAKE_NONE;
            return bStopping ? PROXY_PROMPT_STOPPED
                             : answer == HANDSHAKE_GIVEN ? PROXY_PROMPT_GIVEN : PROXY_PROMPT_CANCELLED;
        }
        // A request made as the window opens may come before the window can
        // show the prompt: it waits for it.
        if (m_handshake == HANDSHAKE_WANTED && !m_bTold && m_pPrompt) m_bTold = m_pPrompt->OnProxyPromptWanted();
        m_lock.Unlock();
        ::Sleep(kPollMs);
        m_lock.Lock();
    }
    m_handshake = HANDSHAKE_NONE;
    return PROXY_PROMPT_STOPPED;
}

void CProxyLogin::EndPrompt(ProxyPromptAnswer answer, const CProxyLoginText& login) {
    CSingleLock lock(m_lock);
    if (answer == PROXY_PROMPT_GIVEN) m_login = login;
    EndProxyPromptStep(&m_state, answer);
    // A stop ends the run: nothing more to say.
    if (answer != PROXY_PROMPT_STOPPED)
        SupportLog(answer == PROXY_PROMPT_GIVEN ? L"proxy: login given" : L"proxy: prompt cancelled");
}
