// The run's proxy login: when a 407 prompts, sends the kept login, waits or
// gives up; and the hand-over of the prompt to the window's thread, which
// must never leave a request waiting for a window that is gone, nor give a
// prompt a request handle its request has stopped waiting with.
#include <gtest/gtest.h>
#include "framework/afxfile.h"
#include "install/ProxyLogin.h"

namespace {

TEST(ProxyLogin, StepAfterA407) {
    struct Case {
        const char* what;
        CProxyLoginState before;  // dwKept, nRefused, bPrompting, bGivenUp
        DWORD dwSent;
        ProxyLoginStep step;
        CProxyLoginState after;
    } cases[] = {
        {"the first 407 of the run asks the person", {0, 0, FALSE, FALSE}, 0, PROXY_LOGIN_PROMPT, {0, 0, TRUE, FALSE}},
        {"a login kept since the request went goes", {1, 0, FALSE, FALSE}, 0, PROXY_LOGIN_SEND, {1, 0, FALSE, FALSE}},
        {"so is a newer one than the request's", {2, 1, FALSE, FALSE}, 1, PROXY_LOGIN_SEND, {2, 1, FALSE, FALSE}},
        {"the kept login refused: asked again", {1, 0, FALSE, FALSE}, 1, PROXY_LOGIN_PROMPT, {1, 1, TRUE, FALSE}},
        {"the third refusal gives up", {3, 2, FALSE, FALSE}, 3, PROXY_LOGIN_GIVE_UP, {3, 3, FALSE, TRUE}},
        {"another request's prompt shows: wait", {0, 0, TRUE, FALSE}, 0, PROXY_LOGIN_WAIT, {0, 0, TRUE, FALSE}},
        {"a refusal seen while the prompt shows is not counted again", {1, 1, TRUE, FALSE}, 1, PROXY_LOGIN_WAIT,
         {1, 1, TRUE, FALSE}},
        {"after a cancel nothing is asked", {0, 0, FALSE, TRUE}, 0, PROXY_LOGIN_GIVE_UP, {0, 0, FALSE, TRUE}},
        {"nor sent", {1, 1, FALSE, TRUE}, 0, PROXY_LOGIN_GIVE_UP, {1, 1, FALSE, TRUE}},
    };
    for (const Case& c : cases) {
        CProxyLoginState state = c.before;
        EXPECT_EQ(c.step, NextProxyLoginStep(&state, c.dwSent)) << c.what;
        EXPECT_EQ(c.after.dwKept, state.dwKept) << c.what;
        EXPECT_EQ(c.after.nRefused, state.nRefused) << c.what;
        EXPECT_EQ(c.after.bPrompting, state.bPrompting) << c.what;
        EXPECT_EQ(c.after.bGivenUp, state.bGivenUp) << c.what;
    }
}

TEST(ProxyLogin, PromptsUntilTheThirdRefusalOrACancel) {
    // Each login given is refused: three prompts, then the run gives up.
    CProxyLoginState state;
    int prompts = 0;
    DWORD dwSent = 0;
    ProxyLoginStep step;
    while ((step = NextProxyLoginStep(&state, dwSent)) == PROXY_LOGIN_PROMPT) {
        ++prompts;
        EndProxyPromptStep(&state, PROXY_PROMPT_GIVEN);
        dwSent = state.dwKept;
        ASSERT_LT(prompts, 10);
    }
    EXPECT_EQ(PROXY_LOGIN_GIVE_UP, step);
    EXPECT_EQ(kProxyLoginTries, prompts);

    CProxyLoginState cancelled;
    ASSERT_EQ(PROXY_LOGIN_PROMPT, NextProxyLoginStep(&cancelled, 0));
    EndProxyPromptStep(&cancelled, PROXY_PROMPT_CANCELLED);
    EXPECT_EQ(PROXY_LOGIN_GIVE_UP, NextProxyLoginStep(&cancelled, 0)) << "one Cancel is the answer";
    EXPECT_EQ(0u, cancelled.dwKept);

    CProxyLoginState stopped;
    ASSERT_EQ(PROXY_LOGIN_PROMPT, NextProxyLoginStep(&stopped, 0));
    EndProxyPromptStep(&stopped, PROXY_PROMPT_STOPPED);
    EXPECT_FALSE(stopped.bPrompting);
    EXPECT_FALSE(stopped.bGivenUp) << "a stop is no answer of the person's";
}

// Stands for the window: the wish is "posted" by setting an event, which
// the test, as the window's thread, waits for.
class CTestPrompt : public IProxyPrompt {
public:
    CTestPrompt() : m_wanted(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {}
    BOOL OnProxyPromptWanted() override {
        ::InterlockedIncrement(&m_nWishes);
        if (m_bRefusePost) return FALSE;
        ::SetEvent(m_wanted);
        return TRUE;
    }
    BOOL Wanted(DWORD ms) const { return ::WaitForSingleObject(m_wanted, ms) == WAIT_OBJECT_0; }
    volatile LONG m_nWishes = 0;
    volatile BOOL m_bRefusePost = FALSE;

private:
    CHandle m_wanted;
};

const HINTERNET kRequest = reinterpret_cast<HINTERNET>(0x5150);

// A request's thread waiting in Prompt.
class CAsker {
public:
    CAsker(CProxyLogin& login, HANDLE hStop) : m_login(login), m_hStop(hStop) {
        m_thread.Attach(::CreateThread(nullptr, 0, &Run, this, 0, nullptr));
    }
    ~CAsker() { ::WaitForSingleObject(m_thread, INFINITE); }
    // The answer, once Prompt returned within ms.
    BOOL Ended(DWORD ms) const { return ::WaitForSingleObject(m_thread, ms) == WAIT_OBJECT_0; }
    ProxyPromptAnswer m_answer = PROXY_PROMPT_GIVEN;

private:
    static DWORD WINAPI Run(LPVOID p) {
        auto* self = static_cast<CAsker*>(p);
        self->m_answer = self->m_login.Prompt(kRequest, self->m_hStop);
        return 0;
    }
    CProxyLogin& m_login;
    HANDLE m_hStop;
    CHandle m_thread;
};

TEST(ProxyLogin, ARequestBeforeTheWindowWaitsForItAndGetsItsAnswer) {
    CProxyLogin login;
    CTestPrompt prompt;
    CHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    CAsker asker(login, stop);
    EXPECT_FALSE(asker.Ended(300)) << "no window yet: it waits";
    // The window shows, but its first post fails: asked again.
    prompt.m_bRefusePost = TRUE;
    login.SetPrompt(&prompt);
    while (prompt.m_nWishes == 0) ::Sleep(5);
    prompt.m_bRefusePost = FALSE;
    ASSERT_TRUE(prompt.Wanted(5000));
    HINTERNET hRequest = nullptr;
    ASSERT_TRUE(login.TakePrompt(&hRequest));
    EXPECT_EQ(kRequest, hRequest);
    EXPECT_FALSE(login.TakePrompt(&hRequest)) << "taken once";
    EXPECT_FALSE(asker.Ended(200)) << "the prompt shows";
    login.AnswerPrompt(TRUE);
    ASSERT_TRUE(asker.Ended(5000));
    EXPECT_EQ(PROXY_PROMPT_GIVEN, asker.m_answer);
    login.SetPrompt(nullptr);
}

TEST(ProxyLogin, AStopEndsTheWaitUnlessThePromptHasTheHandle) {
    struct Case {
        const char* what;
        BOOL bWindow;  // someone can show the prompt
        BOOL bTaken;   // the window's thread took the request handle before the stop
    } cases[] = {
        {"no window", FALSE, FALSE},
        {"posted, not taken yet", TRUE, FALSE},
        {"shown", TRUE, TRUE},
    };
    for (const Case& c : cases) {
        CProxyLogin login;
        CTestPrompt prompt;
        if (c.bWindow) login.SetPrompt(&prompt);
        CHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        {
            CAsker asker(login, stop);
            HINTERNET hRequest = nullptr;
            if (c.bWindow) {
                ASSERT_TRUE(prompt.Wanted(5000)) << c.what;
            }
            if (c.bTaken) {
                ASSERT_TRUE(login.TakePrompt(&hRequest)) << c.what;
            }
            ::SetEvent(stop);
            if (c.bTaken) {
                // The prompt still uses the handle: the request keeps it open.
                EXPECT_FALSE(asker.Ended(300)) << c.what;
                login.AnswerPrompt(TRUE);
            }
            ASSERT_TRUE(asker.Ended(5000)) << c.what;
            EXPECT_EQ(PROXY_PROMPT_STOPPED, asker.m_answer) << c.what;
            EXPECT_FALSE(login.TakePrompt(&hRequest)) << c.what << ": a late post finds no request";
        }
        login.SetPrompt(nullptr);
    }
}

TEST(ProxyLogin, ALoginGivenIsKeptForEveryLaterRequest) {
    CProxyLogin login;
    CProxyLoginText text;
    EXPECT_EQ(0u, login.CopyLogin(&text));
    EXPECT_STREQ(L"", text.szUser);
    CHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_EQ(PROXY_LOGIN_PROMPT, login.Next(0, stop));
    CProxyLoginText given = {L"tester", L"s3cret"};
    login.EndPrompt(PROXY_PROMPT_GIVEN, given);
    EXPECT_EQ(1u, login.CopyLogin(&text));
    EXPECT_STREQ(L"tester", text.szUser);
    EXPECT_STREQ(L"s3cret", text.szPassword);
    EXPECT_EQ(PROXY_LOGIN_SEND, login.Next(0, stop)) << "a request sent before it was given";

    // Refused, and the prompt cancelled: given up, until Retry renews it.
    ASSERT_EQ(PROXY_LOGIN_PROMPT, login.Next(1, stop));
    login.EndPrompt(PROXY_PROMPT_CANCELLED, CProxyLoginText{L"other", L"other"});
    EXPECT_EQ(1u, login.CopyLogin(&text));
    EXPECT_STREQ(L"tester", text.szUser) << "a cancelled prompt keeps nothing";
    EXPECT_EQ(PROXY_LOGIN_GIVE_UP, login.Next(1, stop));
    login.Renew();
    EXPECT_EQ(PROXY_LOGIN_PROMPT, login.Next(1, stop));
}

struct CNextCall {
    CProxyLogin* pLogin;
    HANDLE hStop;
    ProxyLoginStep step;
    static DWORD WINAPI Run(LPVOID p) {
        auto* self = static_cast<CNextCall*>(p);
        self->step = self->pLogin->Next(0, self->hStop);
        return 0;
    }
};

TEST(ProxyLogin, A407WhileAnotherRequestPromptsWaitsForItsLogin) {
    for (const BOOL bStop : {FALSE, TRUE}) {
        CProxyLogin login;
        CHandle stop(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_EQ(PROXY_LOGIN_PROMPT, login.Next(0, stop));
        CNextCall other = {&login, stop, PROXY_LOGIN_PROMPT};
        CHandle thread(::CreateThread(nullptr, 0, &CNextCall::Run, &other, 0, nullptr));
        EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), ::WaitForSingleObject(thread, 300)) << "one prompt at a time";
        if (bStop)
            ::SetEvent(stop);
        else
            login.EndPrompt(PROXY_PROMPT_GIVEN, CProxyLoginText{L"tester", L"s3cret"});
        ASSERT_EQ(static_cast<DWORD>(WAIT_OBJECT_0), ::WaitForSingleObject(thread, 5000));
        EXPECT_EQ(bStop ? PROXY_LOGIN_GIVE_UP : PROXY_LOGIN_SEND, other.step) << "stop " << bStop;
    }
}

}  // namespace
