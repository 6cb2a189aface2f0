// Test driver that works from inside the Wine session of the program under
// test: finds its top-level window by title, reports its controls, closes it
// and captures it. Output is UTF-8 JSON on stdout.
//
//   winprobe find  TITLE [TIMEOUT_MS]   wait for a visible window; print its handle
//   winprobe tree  TITLE                window and children: ID, class, text, style, rect
//   winprobe close TITLE                post SC_CLOSE, as the close button or Alt+F4 do
//   winprobe shot  TITLE FILE.bmp       capture the window from the screen (24-bit BMP)
//   winprobe region TITLE               the window region: {"type": N, "box": [l, t, r, b]};
//                                       type 0 when the window has none (its full rectangle)
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
    printf("{\"hwnd\": %lu, \"text\": %s, \"style\": %lu, \"exstyle\": %lu, \"rect\": ",
           (unsigned long)(UINT_PTR)top, Json(Text(top)).c_str(),
           (unsigned long)GetWindowLongW(top, GWL_STYLE), (unsigned long)GetWindowLongW(top, GWL_EXSTYLE));
    PrintRect(rc);
    printf(", \"client\": ");
    PrintRect(rcClient);
    printf(", \"children\": [\n  null");
    EnumChildWindows(top, PrintChild, reinterpret_cast<LPARAM>(top));
    printf("\n]}\n");
    return 0;
}

int Shot(HWND top, const wchar_t* file) {
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const std::wstring cmd = argv[1], title = argv[2];
    const DWORD timeout = (cmd == L"find" && argc > 3) ? wcstoul(argv[3], nullptr, 10) : 5000;
    HWND top = FindTop(title, timeout);
    if (!top) {
        fprintf(stderr, "winprobe: no window %s\n", Utf8(title).c_str());
        return 1;
    }
    if (cmd == L"find") { printf("%lu\n", (unsigned long)(UINT_PTR)top); return 0; }
    if (cmd == L"tree") return Tree(top);
    if (cmd == L"close") { PostMessageW(top, WM_SYSCOMMAND, SC_CLOSE, 0); return 0; }
    if (cmd == L"shot" && argc > 3) return Shot(top, argv[3]);
    if (cmd == L"region") return Region(top);
    return 2;
}
