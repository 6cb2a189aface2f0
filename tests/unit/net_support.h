// Support for the tests that run the installer's HTTP code against real
// servers on 127.0.0.1: the fault server's control requests, scratch
// folders, files, and a message-only window that collects the download's
// progress posts.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

std::string EnvVar(const char* name);

// The scriptable fault server started by the test runner; its address is
// in VELMORA_FAULT_SERVER ("127.0.0.1:PORT"). Tests skip without it.
class CFaultServer {
public:
    CFaultServer();
    bool Available() const { return m_port != 0; }
    int Port() const { return m_port; }
    // "http://127.0.0.1:PORT" + pathAndQuery.
    std::wstring Url(const std::string& pathAndQuery) const;
    // Scripts the reply for path; options as a query string ("status=500&etag=abc").
    void Script(const std::string& path, const std::string& options, const std::string& body = std::string());
    // The request line and header block of every request since the last Reset.
    std::vector<std::string> Requests();
    void Reset();
    // Percent-encoding for option values.
    static std::string Enc(const std::string& value);

private:
    std::string Exchange(const std::string& request);
    int m_port = 0;
};

// A fresh folder under the temporary folder with an empty "dl" folder in
// it, where downloads go; removed with everything in it at the end.
class CScratch {
public:
    CScratch();
    ~CScratch();
    std::wstring Root() const { return m_root; }
    std::wstring Dl(const std::wstring& name = std::wstring()) const { return m_root + L"\\dl\\" + name; }
    // The names in a folder, sorted.
    static std::vector<std::wstring> List(const std::wstring& folder);

private:
    std::wstring m_root;
};

bool FileExists(const std::wstring& path);
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Reproducible bytes without a short period, so that an offset error shows.
std::string PackageBytes(size_t size, unsigned seed);

// A message-only window on the calling thread; TakeProgress removes the
// queued WM_INSTALL_NOTIFY posts and gives their lParams (every post must
// carry INSTALL_NOTIFY_PROGRESS).
class CNotifySink {
public:
    CNotifySink();
    ~CNotifySink();
    HWND Hwnd() const { return m_hWnd; }
    std::vector<int> TakeProgress();

private:
    HWND m_hWnd = nullptr;
};
