#include "fault_server.h"
#include <gtest/gtest.h>
#include <winsock2.h>
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#include <rapidjson/document.h>
#pragma GCC diagnostic pop
#include <algorithm>
#include <cstdlib>
#include "test_support.h"

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

std::vector<double> CFaultServer::Times() {
    const std::string json = Exchange("GET /__log HTTP/1.1\r\n\r\n");
    rapidjson::Document doc;
    doc.Parse(json.c_str());
    std::vector<double> out;
    if (doc.IsObject() && doc.HasMember("times") && doc["times"].IsArray())
        for (auto& t : doc["times"].GetArray()) out.push_back(t.GetDouble());
    return out;
}

void CFaultServer::Reset() { Exchange("POST /__reset HTTP/1.1\r\n\r\n"); }
