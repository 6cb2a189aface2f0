// What the download tests against the scriptable fault server share: the
// request bytes the installer puts on the wire and a fixture with a scratch
// download folder and a notification sink. The fault server is started by
// tests/servers/run_unit.py; without it the tests fail in set-up.
#pragma once
#include <gtest/gtest.h>
#include "fault_server.h"
#include "install/Download.h"
#include "test_support.h"
#include <string>
#include <vector>

// What WinInet under Wine puts on the wire for the installer's requests:
// the lines the installer adds (extra, then the two that ask every cache to
// check with the server), the agent, then the fixed header block (Wine
// drops the blank before its first line end).
inline std::string Head(const std::string& target, int port, const std::string& extra = std::string()) {
    return "GET " + target + " HTTP/1.1\r\n" + extra + "Cache-Control: no-cache\r\nPragma: no-cache\r\n" +
           "Host: 127.0.0.1:" + std::to_string(port) +
           "\r\nUser-Agent: JQV\r\nAccept-Language: zh-cn\r\n"
           "Content-Type: application/x-www-form-urlencoded\r\n\r\n";
}


class FaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Available()) << "no fault server (VELMORA_FAULT_SERVER): run by tests/servers/run_unit.py";
        server.Reset();
    }
    CFaultServer server;
};

// Package downloads. 10,000,000 bytes make one percent 100,000 bytes, more
// than one read, so that every whole percent is posted exactly once.
const size_t kPackageSize = 10000000;

class FaultDownload : public FaultTest {
protected:
    void SetUp() override {
        FaultTest::SetUp();
        package = PackageBytes(kPackageSize, 11);
    }
    BOOL Download(const std::wstring& url) {
        CDownloadExtras extras;
        extras.pFailure = &failure;
        failure = CInstallFailure();
        return DownloadAndLetGo(url.c_str(), scratch.Dl(L"velmora.exe").c_str(), sink.Signals(), &percent, extras);
    }
    BOOL Download() { return Download(server.Url("/pkg")); }
    std::string Package() const { return ReadFileBytes(scratch.Dl(L"velmora.exe")); }

    std::string package;
    CScratch scratch;
    CNotifySink sink;
    int percent = 0;
    CInstallFailure failure;  // why the last Download failed
};
