// Test driver that works from inside the Wine session of the program under
// test: finds its top-level window by title, reports its controls, closes it
// and captures it. Output is UTF-8 JSON on stdout.
//
//   winprobe find  TITLE [TIMEOUT_MS]   wait for a visible window; print its handle
//   winprobe tree  TITLE                window (minimised? in front?) and children: ID,
//                                       class, text, style, rect
//   winprobe count TITLE                how many visible top-level windows have this title
//   winprobe close TITLE                post SC_CLOSE, as the close button or Alt+F4 do
//   winprobe show  TITLE SW             ShowWindow with SW (decimal; 9 restores a minimised one)
//   winprobe shot  TITLE FILE.bmp       capture the window from the screen (24-bit BMP)
//   winprobe click TITLE ID|X,Y         left click by real mouse input on a control's
//                                       centre, or at client point X,Y of the window
//   winprobe type  TITLE ID TEXT        select the control's text, type TEXT as key input
//   winprobe key   TITLE VK[+VK...]     press the keys in order, release them in reverse
//                                       (decimal; 18+115 is Alt+F4)
//   winprobe waitvis TITLE ID 0|1 MS    wait until the control's visibility is 0 or 1
//   winprobe gone  TITLE MS             wait until no window has this title
//   winprobe owned TITLE MS             wait for a visible dialog box (#32770) owned by the
//                                       window, as a prompt the system shows over it; print
//                                       {"hwnd": N, "title": ...}
//   winprobe region TITLE               the window region: {"type": N, "box": [l, t, r, b]};
//                                       type 0 when the window has none (its full rectangle)
//   winprobe lifetime PROGRAM MS      start PROGRAM (a Windows path), wait up to MS for
//                                       its end; print {"exit": N, "ms": M}, M its own
//                                       lifetime (GetProcessTimes), without this
//                                       process's or Wine's start in front of it
//   winprobe serve                      read commands from stdin, one per line, their
//                                       arguments separated by tabs (UTF-8); after each
//                                       command's output print "\x04" and its exit code:
//                                       one process for a whole test instead of one per step
//
// Exit code 0 on success, 1 when the window is not found, 2 on usage errors.
#include <windows.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), nullptr, 0, nullptr, nullptr);
    std::string s(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), (int)w.size(), &s[0], n, nullptr, nullptr);
    return s;
}

std::string Json(const std::wstring& w) {
    std::string out = "\"";
    for (char c : Utf8(w)) {
        if (c == '"' || c == '\\') { out += '\\'; out += c; }
        else if ((unsigned char)c < 0x20) { char b[8]; snprintf(b, sizeof b, "\\u%04x", c); out += b; }
        else out += c;
    }
    return out + "\"";
}

// Asks the window itself, so that controls of another process that keep
// their own text (edit boxes) report it too.
std::wstring Text(HWND h) {
    wchar_t buf[1024] = {};
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutW(h, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, &len))
        GetWindowTextW(h, buf, 1024);
    return buf;
}

std::wstring ClassOf(HWND h) {
    wchar_t buf[256] = {};
    GetClassNameW(h, buf, 256);
    return buf;
}

HWND FindTop(const std::wstring& title, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    for (;;) {
        HWND h = FindWindowW(nullptr, title.c_str());
        if (h && IsWindowVisible(h)) return h;
        if (GetTickCount() - start >= timeoutMs) return nullptr;
        Sleep(50);
    }
}

void PrintRect(const RECT& rc) {
    printf("[%ld, %ld, %ld, %ld]", rc.left, rc.top, rc.right, rc.bottom);
}

BOOL CALLBACK PrintChild(HWND h, LPARAM lParam) {
    HWND top = reinterpret_cast<HWND>(lParam);
    if (GetParent(h) != top) return TRUE;
    RECT rc;
    GetWindowRect(h, &rc);
    MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&rc), 2);
    printf(",\n  {\"id\": %d, \"class\": %s, \"text\": %s, \"style\": %lu, \"exstyle\": %lu, "
           "\"visible\": %s, \"enabled\": %s, \"rect\": ",
           GetDlgCtrlID(h), Json(ClassOf(h)).c_str(), Json(Text(h)).c_str(),
           (unsigned long)GetWindowLongW(h, GWL_STYLE), (unsigned long)GetWindowLongW(h, GWL_EXSTYLE),
           IsWindowVisible(h) ? "true" : "false", IsWindowEnabled(h) ? "true" : "false");
    PrintRect(rc);
    printf("}");
    return TRUE;
}

int Tree(HWND top) {
    RECT rc, rcClient;
    GetWindowRect(top, &rc);
    GetClientRect(top, &rcClient);
    printf("{\"hwnd\": %llu, \"text\": %s, \"style\": %lu, \"exstyle\": %lu, \"rect\": ",
           (unsigned long long)(UINT_PTR)top, Json(Text(top)).c_str(),
           (unsigned long)GetWindowLongW(top, GWL_STYLE), (unsigned long)GetWindowLongW(top, GWL_EXSTYLE));
    PrintRect(rc);
    printf(", \"client\": ");
    PrintRect(rcClient);
    printf(", \"iconic\": %s, \"foreground\": %s", IsIconic(top) ? "true" : "false",
           GetForegroundWindow() == top ? "true" : "false");
    printf(", \"children\": [\n  null");
    EnumChildWindows(top, PrintChild, reinterpret_cast<LPARAM>(top));
    printf("\n]}\n");
    return 0;
}

int Shot(HWND top, const wchar_t* file) {
    // The handler the program is in ends first (a sent message waits for
    // it), then what it has left to paint is painted.
    DWORD_PTR ignored;
    SendMessageTimeoutW(top, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &ignored);
    RedrawWindow(top, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT rc;
    GetWindowRect(top, &rc);
    const int w = rc.right - rc.left, h = rc.bottom - rc.top;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 24;
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, bmp);
    BitBlt(mem, 0, 0, w, h, screen, rc.left, rc.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = ((DWORD)w * 3 + 3) & ~3u, size = stride * (DWORD)h;
    BITMAPFILEHEADER fh{};
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(bi.bmiHeader);
    fh.bfSize = fh.bfOffBits + size;
    int rc2 = 1;
    if (FILE* f = _wfopen(file, L"wb")) {
        fwrite(&fh, sizeof fh, 1, f);
        fwrite(&bi.bmiHeader, sizeof bi.bmiHeader, 1, f);
        fwrite(bits, size, 1, f);
        fclose(f);
        rc2 = 0;
    }
    SelectObject(mem, old);
    DeleteObject(bmp);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return rc2;
}

// Brings top to the front and waits, up to 2 s each, until it is in front
// (it or a box it owns) and its program waits for input: input sent before
// that may reach another window, or a window that is still moving.
void Foreground(HWND top) {
    SetForegroundWindow(top);
    for (int i = 0; i < 100; ++i) {
        const HWND fg = GetForegroundWindow();
        if (fg == top || (fg && GetAncestor(fg, GA_ROOTOWNER) == top)) break;
        Sleep(20);
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(top, &pid);
    if (HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, pid)) {
        WaitForInputIdle(process, 2000);
        CloseHandle(process);
    }
}

void SendMouse(DWORD flags) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = flags;
    SendInput(1, &in, sizeof(in));
}

int Click(HWND top, const wchar_t* target) {
    // Before the place is read: a check box takes its fitted size when it is
    // first drawn, until then it is taller than its box.
    Foreground(top);
    POINT pt{};
    if (wcschr(target, L',')) {
        pt.x = wcstol(target, nullptr, 10);
        pt.y = wcstol(wcschr(target, L',') + 1, nullptr, 10);
        ClientToScreen(top, &pt);
    } else {
        HWND h = GetDlgItem(top, _wtoi(target));
        if (!h) return 1;
        UpdateWindow(h);  // its first drawing done, sent to its program and waited for
        RECT rc;
        GetWindowRect(h, &rc);
        pt = {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
    }
    SetCursorPos(pt.x, pt.y);
    SendMouse(MOUSEEVENTF_MOVE);  // the move a real pointer makes before it presses
    Sleep(100);
    SendMouse(MOUSEEVENTF_LEFTDOWN);
    Sleep(50);
    SendMouse(MOUSEEVENTF_LEFTUP);
    Sleep(100);
    return 0;
}

void SendKey(WORD vk, WCHAR ch, DWORD flags) {
    INPUT in[2]{};
    for (INPUT& i : in) {
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = vk;
        i.ki.wScan = ch;
        i.ki.dwFlags = flags;
    }
    in[1].ki.dwFlags |= KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
}

// "18+115": each key down in order, then up in reverse order.
void SendChord(const wchar_t* keys) {
    std::vector<INPUT> in;
    for (const wchar_t* p = keys; *p;) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = static_cast<WORD>(wcstoul(p, const_cast<wchar_t**>(&p), 10));
        in.push_back(i);
        if (*p == L'+') ++p; else break;
    }
    for (size_t n = in.size(); n-- > 0;) {
        INPUT up = in[n];
        up.ki.dwFlags = KEYEVENTF_KEYUP;
        in.push_back(up);
    }
    SendInput(static_cast<UINT>(in.size()), in.data(), sizeof(INPUT));
}

int Type(HWND top, int id, const wchar_t* text) {
    HWND h = GetDlgItem(top, id);
    if (!h) return 1;
    // Focus comes from a click, as for a user: SetFocus only works inside
    // the program's own thread.
    if (Click(top, std::to_wstring(id).c_str())) return 1;
    SendMessageW(h, EM_SETSEL, 0, -1);  // typing replaces what is there
    for (const wchar_t* p = text; *p; ++p) SendKey(0, *p, KEYEVENTF_UNICODE);
    // Until the control holds the text, by when the program has handled
    // every keystroke (up to 3 s; the caller checks what it got).
    std::vector<wchar_t> got(wcslen(text) + 2);
    for (DWORD start = GetTickCount(); GetTickCount() - start < 3000; Sleep(10)) {
        const int n = (int)SendMessageW(h, WM_GETTEXT, got.size(), (LPARAM)got.data());
        if (n >= 0 && std::wstring(got.data(), n) == text) break;
    }
    return 0;
}

int WaitVisible(HWND top, int id, BOOL visible, DWORD timeoutMs) {
    HWND h = GetDlgItem(top, id);
    for (DWORD start = GetTickCount(); h; Sleep(20)) {
        if (!IsWindowVisible(h) == !visible) return 0;
        if (GetTickCount() - start >= timeoutMs) break;
    }
    return 1;
}

int Region(HWND top) {
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    const int type = GetWindowRgn(top, rgn);
    RECT box = {};
    GetRgnBox(rgn, &box);
    DeleteObject(rgn);
    printf("{\"type\": %d, \"box\": ", type);
    PrintRect(box);
    printf("}\n");
    return 0;
}

ULONGLONG Ticks100ns(const FILETIME& t) { return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

int Lifetime(const std::wstring& program, DWORD timeoutMs) {
    std::wstring line = L"\"" + program + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        fprintf(stderr, "winprobe: cannot start %s (%lu)\n", Utf8(program).c_str(), GetLastError());
        return 1;
    }
    CloseHandle(pi.hThread);
    int rc = 1;
    FILETIME created, ended, kernel, user;
    DWORD code = 0;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0 && GetExitCodeProcess(pi.hProcess, &code) &&
        GetProcessTimes(pi.hProcess, &created, &ended, &kernel, &user)) {
        printf("{\"exit\": %lu, \"ms\": %llu}\n", code, (Ticks100ns(ended) - Ticks100ns(created)) / 10000);
        rc = 0;
    } else {
        TerminateProcess(pi.hProcess, 1);
    }
    CloseHandle(pi.hProcess);
    return rc;
}

struct Count {
    const std::wstring* title;
    int n;
};

// A stdcall function: a lambda converts only to the default calling
// convention, which is not the callback's on i386.
BOOL CALLBACK CountVisible(HWND h, LPARAM p) {
    auto* c = reinterpret_cast<Count*>(p);
    wchar_t text[256] = {};
    GetWindowTextW(h, text, 256);  // a caption is read without asking its program
    c->n += IsWindowVisible(h) && *c->title == text;
    return TRUE;
}

struct Owned {
    HWND owner;
    HWND found;
};

BOOL CALLBACK FindOwned(HWND h, LPARAM p) {
    auto* o = reinterpret_cast<Owned*>(p);
    if (GetWindow(h, GW_OWNER) != o->owner || !IsWindowVisible(h) || ClassOf(h) != L"#32770") return TRUE;
    o->found = h;
    return FALSE;
}

int WaitOwned(HWND top, DWORD timeoutMs) {
    Owned owned = {top, nullptr};
    for (DWORD start = GetTickCount(); !owned.found; Sleep(50)) {
        EnumWindows(FindOwned, reinterpret_cast<LPARAM>(&owned));
        if (!owned.found && GetTickCount() - start >= timeoutMs) return 1;
    }
    printf("{\"hwnd\": %llu, \"title\": %s}\n", (unsigned long long)(UINT_PTR)owned.found,
           Json(Text(owned.found)).c_str());
    return 0;
}

int Command(const std::vector<std::wstring>& args) {
    const size_t argc = args.size();
    if (argc < 2) return 2;
    const std::wstring& cmd = args[0];
    if (cmd == L"lifetime") return Lifetime(args[1], argc > 2 ? wcstoul(args[2].c_str(), nullptr, 10) : 10000);
    const std::wstring& title = args[1];
    if (cmd == L"count") {
        Count count = {&title, 0};
        EnumWindows(CountVisible, reinterpret_cast<LPARAM>(&count));
        printf("%d\n", count.n);
        return 0;
    }
    if (cmd == L"gone") {
        const DWORD limit = argc > 2 ? wcstoul(args[2].c_str(), nullptr, 10) : 5000;
        for (DWORD start = GetTickCount(); FindWindowW(nullptr, title.c_str()); Sleep(50))
            if (GetTickCount() - start >= limit) return 1;
        return 0;
    }
    const DWORD timeout = (cmd == L"find" && argc > 2) ? wcstoul(args[2].c_str(), nullptr, 10) : 5000;
    HWND top = FindTop(title, timeout);
    if (!top) {
        fprintf(stderr, "winprobe: no window %s\n", Utf8(title).c_str());
        return 1;
    }
    if (cmd == L"find") { printf("%llu\n", (unsigned long long)(UINT_PTR)top); return 0; }
    if (cmd == L"tree") return Tree(top);
    if (cmd == L"close") { PostMessageW(top, WM_SYSCOMMAND, SC_CLOSE, 0); return 0; }
    if (cmd == L"show" && argc > 2) { ShowWindow(top, _wtoi(args[2].c_str())); return 0; }
    if (cmd == L"command" && argc > 2) {  // a button's click as a message, whatever its state
        const int id = _wtoi(args[2].c_str());
        SendMessageW(top, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(top, id));
        return 0;
    }
    if (cmd == L"shot" && argc > 2) return Shot(top, args[2].c_str());
    if (cmd == L"click" && argc > 2) return Click(top, args[2].c_str());
    if (cmd == L"type" && argc > 3) return Type(top, _wtoi(args[2].c_str()), args[3].c_str());
    if (cmd == L"key" && argc > 2) { Foreground(top); SendChord(args[2].c_str()); Sleep(100); return 0; }
    if (cmd == L"waitvis" && argc > 4)
        return WaitVisible(top, _wtoi(args[2].c_str()), _wtoi(args[3].c_str()), wcstoul(args[4].c_str(), nullptr, 10));
    if (cmd == L"region") return Region(top);
    if (cmd == L"owned") return WaitOwned(top, argc > 2 ? wcstoul(args[2].c_str(), nullptr, 10) : 5000);
    return 2;
}

std::wstring Wide(const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), nullptr, 0);
    std::wstring w(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], n);
    return w;
}

int Serve() {
    std::string line;
    for (int c; (c = getchar()) != EOF;) {
        if (c != '\n') { line += static_cast<char>(c); continue; }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::wstring> args;
        for (size_t start = 0;;) {
            const size_t tab = line.find('\t', start);
            args.push_back(Wide(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        line.clear();
        const int rc = Command(args);
        printf("\x04%d\n", rc);
        fflush(stdout);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wstring(argv[1]) == L"serve") return Serve();
    return Command(std::vector<std::wstring>(argv + 1, argv + argc));
}
