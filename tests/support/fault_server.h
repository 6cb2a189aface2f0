// The scriptable fault server started by tests/servers/run_unit.py, seen
// from the test programs: its address is in VELMORA_FAULT_SERVER
// ("127.0.0.1:PORT").
#pragma once
#include <string>
#include <vector>

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
    // When each of them arrived, in seconds from the server's start.
    std::vector<double> Times();
    void Reset();
    // Percent-encoding for option values.
    static std::string Enc(const std::string& value);

private:
    std::string Exchange(const std::string& request);
    int m_port = 0;
};
