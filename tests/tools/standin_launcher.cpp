// Stand-in for the installed client's launcher, vlLauncher.exe. It only
// records that it was started, with which command line and with which
// rights: two UTF-8 lines appended to vlLauncher.log beside itself,
// "started <command line>" and "token elevated <0|1> type <default|full|
// limited> integrity <untrusted|low|medium|high|system|0xRID> user
// <DOMAIN\name>". It never opens a window.
#include <windows.h>
#include <cstdio>
#include <string>

namespace {

// The process token's elevation, elevation type, integrity level and user.
std::wstring DescribeToken() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return L"token unreadable";
    TOKEN_ELEVATION elevation = {};
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD cb = 0;
    GetTokenInformation(token, TokenElevation, &elevation, sizeof(elevation), &cb);
    GetTokenInformation(token, TokenElevationType, &type, sizeof(type), &cb);
    BYTE label[256] = {}, user[256] = {};
    DWORD rid = 0;
    if (GetTokenInformation(token, TokenIntegrityLevel, label, sizeof(label), &cb)) {
        PSID sid = reinterpret_cast<TOKEN_MANDATORY_LABEL*>(label)->Label.Sid;
        rid = *GetSidSubAuthority(sid, *GetSidSubAuthorityCount(sid) - 1);
    }
    wchar_t name[256] = L"?", domain[256] = L"?";
    DWORD cchName = 256, cchDomain = 256;
    SID_NAME_USE use;
    if (GetTokenInformation(token, TokenUser, user, sizeof(user), &cb))
        LookupAccountSidW(nullptr, reinterpret_cast<TOKEN_USER*>(user)->User.Sid, name, &cchName, domain, &cchDomain,
                          &use);
    CloseHandle(token);
    const wchar_t* types[] = {L"?", L"default", L"full", L"limited"};
    wchar_t integrity[16];
    switch (rid) {
    case SECURITY_MANDATORY_UNTRUSTED_RID: wcscpy(integrity, L"untrusted"); break;
    case SECURITY_MANDATORY_LOW_RID: wcscpy(integrity, L"low"); break;
    case SECURITY_MANDATORY_MEDIUM_RID: wcscpy(integrity, L"medium"); break;
    case SECURITY_MANDATORY_HIGH_RID: wcscpy(integrity, L"high"); break;
    case SECURITY_MANDATORY_SYSTEM_RID: wcscpy(integrity, L"system"); break;
    default: swprintf(integrity, 16, L"0x%lX", rid); break;
    }
    wchar_t line[700];
    swprintf(line, 700, L"token elevated %d type %ls integrity %ls user %ls\\%ls", elevation.TokenIsElevated ? 1 : 0,
             types[type >= 1 && type <= 3 ? type : 0], integrity, domain, name);
    return line;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    wchar_t self[MAX_PATH] = {};
    DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 1;
    std::wstring log(self);
    log = log.substr(0, log.find_last_of(L'\\') + 1) + L"vlLauncher.log";

    std::wstring line = L"started ";
    line += GetCommandLineW();
    line += L"\r\n" + DescribeToken() + L"\r\n";
    int cb = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), (int)line.size(), nullptr, 0, nullptr, nullptr);
    std::string utf8(cb, '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), (int)line.size(), &utf8[0], cb, nullptr, nullptr);

    HANDLE h = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(h, utf8.data(), (DWORD)utf8.size(), &written, nullptr);
    CloseHandle(h);
    return 0;
}
