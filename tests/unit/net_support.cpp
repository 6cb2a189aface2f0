#include "net_support.h"
#include <gtest/gtest.h>
#include <winsock2.h>
#include "install/InstallWorker.h"
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <rapidjson/document.h>
#pragma GCC diagnostic pop
#include <algorithm>
#include <cstdlib>
#include <random>

std::string EnvVar(const char* name) {
    const char* v = getenv(name);
    return v ? v : "";
}

CFaultServer::CFaultServer() {
    const std::string address = EnvVar("VELMORA_FAULT_SERVER");
    const size_t colon = address.rfind(':');
    if (colon != std::string::npos) m_port = atoi(address.c_str() + colon + 1);
}

std::wstring CFaultServer::Url(const std::string& pathAndQuery) const {
    return L"http://127.0.0.1:" + std::to_wstring(m_port) + std::wstring(pathAndQuery.begin(), pathAndQuery.end());
}

std::string CFaultServer::Enc(const std::string& value) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : value) {
        if (isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string CFaultServer::Exchange(const std::string& request) {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    EXPECT_TRUE(started);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    DWORD timeout = 30000;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof(timeout));
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<u_short>(m_port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0) {
        for (size_t sent = 0; sent < request.size();) {
            const int n = send(s, request.data() + sent, static_cast<int>(std::min<size_t>(request.size() - sent, 1 << 20)), 0);
            if (n <= 0) break;
            sent += static_cast<size_t>(n);
        }
        char buf[65536];
        for (int n; (n = recv(s, buf, sizeof(buf), 0)) > 0;) reply.append(buf, static_cast<size_t>(n));
    }
    closesocket(s);
    const size_t body = reply.find("\r\n\r\n");
    EXPECT_EQ(0u, reply.find("HTTP/1.1 200")) << "control request failed: " << reply.substr(0, 200);
    return body == std::string::npos ? std::string() : reply.substr(body + 4);
}

void CFaultServer::Script(const std::string& path, const std::string& options, const std::string& body) {
    std::string query = "path=" + Enc(path) + (options.empty() ? "" : "&" + options);
    Exchange("PUT /__script?" + query + " HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
             "\r\n\r\n" + body);
}

std::vector<std::string> CFaultServer::Requests() {
    const std::string json = Exchange("GET /__log HTTP/1.1\r\n\r\n");
    rapidjson::Document doc;
    doc.Parse(json.c_str());
    std::vector<std::string> out;
    if (doc.IsObject() && doc.HasMember("requests") && doc["requests"].IsArray())
        for (auto& r : doc["requests"].GetArray()) out.emplace_back(r.GetString(), r.GetStringLength());
    return out;
}

void CFaultServer::Reset() { Exchange("POST /__reset HTTP/1.1\r\n\r\n"); }

namespace {

void RemoveTree(const std::wstring& folder) {
    for (const std::wstring& name : CScratch::List(folder)) {
        const std::wstring path = folder + L"\\" + name;
        const DWORD attr = GetFileAttributesW(path.c_str());
        if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY))
            RemoveTree(path);
        else
            DeleteFileW(path.c_str());
    }
    RemoveDirectoryW(folder.c_str());
}

}  // namespace

CScratch::CScratch() {
    static int counter = 0;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    m_root = std::wstring(temp) + L"velmora-net-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
             std::to_wstring(++counter);
    RemoveTree(m_root);
    CreateDirectoryW(m_root.c_str(), nullptr);
    CreateDirectoryW((m_root + L"\\dl").c_str(), nullptr);
}

CScratch::~CScratch() { RemoveTree(m_root); }

std::vector<std::wstring> CScratch::List(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do {
        if (wcscmp(fd.cFileName, L".") && wcscmp(fd.cFileName, L"..")) names.push_back(fd.cFileName);
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string ReadFileBytes(const std::wstring& path) {
    std::string out;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return out;
    char buf[65536];
    for (DWORD n; ReadFile(h, buf, sizeof(buf), &n, nullptr) && n;) out.append(buf, n);
    CloseHandle(h);
    return out;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD n = 0;
    ASSERT_TRUE(WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr));
    CloseHandle(h);
}

std::string PackageBytes(size_t size, unsigned seed) {
    std::mt19937 gen(seed);
    std::string out(size, '\0');
    for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>(gen() >> 24);
    return out;
}

CNotifySink::CNotifySink() {
    m_hWnd = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

CNotifySink::~CNotifySink() { DestroyWindow(m_hWnd); }

std::vector<int> CNotifySink::TakeProgress() {
    std::vector<int> out;
    MSG msg;
    while (PeekMessageW(&msg, m_hWnd, WM_INSTALL_NOTIFY, WM_INSTALL_NOTIFY, PM_REMOVE)) {
        EXPECT_EQ(static_cast<WPARAM>(INSTALL_NOTIFY_PROGRESS), msg.wParam);
        out.push_back(static_cast<int>(msg.lParam));
    }
    return out;
}
