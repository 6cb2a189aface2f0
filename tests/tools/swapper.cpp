// Attacker stand-in for the trust tests: until it is ended, writes the
// bytes of SOURCE over every file in FOLDER whose name matches a PATTERN
// (one "*" at most, e.g. velmora-*.exe), by writing into it where it can be
// opened for writing, otherwise by moving a copy over it. It tries without
// pause for a while after a name changes in the folder (a file made,
// renamed or deleted: the moments between the installer's steps come right
// after one), and otherwise every few milliseconds: a spinning attacker on
// a loaded machine took a core from the other tests for no more hits.
//
//   swapper FOLDER SOURCE LOG PATTERN...
//
// LOG gets a line "seen NAME" the first time a file NAME is there and
// "wrote NAME" the first time SOURCE's bytes went into it.
#include <windows.h>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<char> ReadAll(const wchar_t* path) {
    std::vector<char> bytes;
    HANDLE h = ::CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return bytes;
    bytes.resize(::GetFileSize(h, nullptr));
    DWORD read = 0;
    if (!::ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size())
        bytes.clear();
    ::CloseHandle(h);
    return bytes;
}

BOOL WriteAll(HANDLE h, const std::vector<char>& bytes) {
    DWORD written = 0;
    return ::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size() && ::SetEndOfFile(h);
}

class Log {
public:
    explicit Log(const wchar_t* path)
        : m_file(::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS, 0,
                               nullptr)) {}
    // Records what happened to name, once.
    void Once(const char* what, const std::wstring& name) {
        std::wstring line = std::wstring(what, what + strlen(what)) + L" " + name;
        if (!m_lines.insert(line).second) return;
        line += L"\r\n";
        char utf8[1024];
        const int cb = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8,
                                             sizeof(utf8), nullptr, nullptr);
        DWORD written = 0;
        if (cb > 0) ::WriteFile(m_file, utf8, cb, &written, nullptr);
    }

private:
    HANDLE m_file;
    std::set<std::wstring> m_lines;
};

BOOL Matches(const wchar_t* name, const wchar_t* pattern) {
    const wchar_t* star = wcschr(pattern, L'*');
    if (!star) return _wcsicmp(name, pattern) == 0;
    const size_t len = wcslen(name), head = star - pattern, tail = wcslen(star + 1);
    return len >= head + tail && _wcsnicmp(name, pattern, head) == 0 && _wcsicmp(name + len - tail, star + 1) == 0;
}

// SOURCE's bytes into path: written in place, or a copy moved over it. The
// copy is made beside the folder, so that its own making is no change in
// the folder, and kept for the next try while no move takes it.
BOOL Overwrite(const std::wstring& folder, const std::wstring& path, const std::vector<char>& bytes) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
        const BOOL ok = WriteAll(h, bytes);
        ::CloseHandle(h);
        if (ok) return TRUE;
    }
    const std::wstring spare = folder + L"-swap.tmp";
    if (::GetFileAttributesW(spare.c_str()) == INVALID_FILE_ATTRIBUTES) {
        h = ::CreateFileW(spare.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (h == INVALID_HANDLE_VALUE) return FALSE;
        const BOOL ok = WriteAll(h, bytes);
        ::CloseHandle(h);
        if (!ok) {
            ::DeleteFileW(spare.c_str());
            return FALSE;
        }
    }
    return ::MoveFileExW(spare.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

// A file's size and last write time: what tells whether anyone wrote to it
// since the swapper did.
ULONGLONG Stamp(const WIN32_FIND_DATAW& fd) {
    return (ULONGLONG(fd.ftLastWriteTime.dwHighDateTime) << 32 | fd.ftLastWriteTime.dwLowDateTime) ^
           (ULONGLONG(fd.nFileSizeHigh) << 32 | fd.nFileSizeLow) * 0x9E3779B97F4A7C15ULL;
}

BOOL StampOf(const std::wstring& path, ULONGLONG* stamp) {
    WIN32_FIND_DATAW fd;
    const HANDLE find = ::FindFirstFileW(path.c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return FALSE;
    ::FindClose(find);
    *stamp = Stamp(fd);
    return TRUE;
}

}  // namespace

// How long it tries without pause after a change, and how often otherwise.
const DWORD kBusyMs = 300;
const DWORD kQuietMs = 5;

int wmain(int argc, wchar_t** argv) {
    if (argc < 5) return 2;
    const std::wstring folder = argv[1];
    const std::vector<char> bytes = ReadAll(argv[2]);
    if (bytes.empty()) return 1;
    Log log(argv[3]);
    const std::wstring pattern = folder + L"\\*";
    HANDLE changes = INVALID_HANDLE_VALUE;
    DWORD lastChange = ::GetTickCount();
    std::map<std::wstring, ULONGLONG> written;
    for (;;) {
        if (changes == INVALID_HANDLE_VALUE) {
            changes = ::FindFirstChangeNotificationW(folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
            if (changes != INVALID_HANDLE_VALUE) lastChange = ::GetTickCount();
        } else if (::WaitForSingleObject(changes, ::GetTickCount() - lastChange < kBusyMs ? 0 : kQuietMs) ==
                   WAIT_OBJECT_0) {
            lastChange = ::GetTickCount();
            ::FindNextChangeNotification(changes);
        }
        WIN32_FIND_DATAW fd;
        const HANDLE find = ::FindFirstFileW(pattern.c_str(), &fd);
        if (find == INVALID_HANDLE_VALUE) {
            ::Sleep(1);  // no folder yet
            continue;
        }
        do {
            BOOL target = FALSE;
            for (int i = 4; i < argc && !target; ++i) target = Matches(fd.cFileName, argv[i]);
            if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !target) continue;
            log.Once("seen", fd.cFileName);
            // A file that still holds what the swapper put there is left as it is.
            const auto mine = written.find(fd.cFileName);
            if (mine != written.end() && mine->second == Stamp(fd)) continue;
            const std::wstring path = folder + L"\\" + fd.cFileName;
            ULONGLONG stamp = 0;
            if (Overwrite(folder, path, bytes)) {
                log.Once("wrote", fd.cFileName);
                if (StampOf(path, &stamp)) written[fd.cFileName] = stamp;
            }
        } while (::FindNextFileW(find, &fd));
        ::FindClose(find);
    }
}
