// The control for the DLL-planting test: a program with the installer's
// static imports and manifest (comctl32 v6, requireAdministrator) that
// hardens its DLL search with the installer's own code and then does what
// draws Wine's own DLLs in: it opens a dialog with the installer's control
// classes, opens WinInet and the crypto provider, each loaded the hardened
// way. (The installer decodes its images itself, and so loads no image
// library.) A canary that fires for this program fires
// because of Wine, not because of anything the installer does.
#include "framework/afxcrypt.h"
#include "framework/afxdll.h"
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>

namespace {

template <typename Fn>
Fn Proc(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(::GetProcAddress(module, name));
}

// A request to url, whatever its answer.
void OpenUrl(const wchar_t* url) {
    const HMODULE wininet = AfxLoadSystemLibrary(L"wininet.dll");
    if (!wininet) return;
    const auto open = Proc<decltype(&::InternetOpenW)>(wininet, "InternetOpenW");
    const auto openUrl = Proc<decltype(&::InternetOpenUrlW)>(wininet, "InternetOpenUrlW");
    const auto close = Proc<decltype(&::InternetCloseHandle)>(wininet, "InternetCloseHandle");
    if (!open || !openUrl || !close) return;
    if (HINTERNET session = open(L"dll_control", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)) {
        if (HINTERNET request = openUrl(session, url, nullptr, 0, INTERNET_FLAG_RELOAD, 0)) close(request);
        close(session);
    }
}

void Random() {
    CCryptContext context;
    BYTE random[8];
    if (context.Acquire()) ::CryptGenRandom(context, sizeof(random), random);
}

// A dialog template in memory: the window and one control of each class
// the installer's dialog has.
struct DialogTemplate {
    alignas(4) BYTE bytes[1024];
    size_t n = 0;
    void Word(WORD w) { memcpy(bytes + n, &w, 2); n += 2; }
    void Dword(DWORD d) { memcpy(bytes + n, &d, 4); n += 4; }
    void Text(const wchar_t* s) { do Word(*s); while (*s++); }
    void Align() { n = (n + 3) & ~size_t(3); }
    void Item(const wchar_t* cls, DWORD style, WORD id, short y) {
        Align();
        Dword(style | WS_CHILD | WS_VISIBLE);
        Dword(0);
        Word(10); Word(y); Word(100); Word(12); Word(id);
        Text(cls); Text(L"x"); Word(0);
    }
};

INT_PTR CALLBACK DialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

void ShowDialog() {
    DialogTemplate t;
    t.Dword(DS_SETFONT | WS_POPUP | WS_VISIBLE | WS_CAPTION);
    t.Dword(0);
    t.Word(5);
    t.Word(0); t.Word(0); t.Word(140); t.Word(100);
    t.Word(0); t.Word(0); t.Text(L"dll_control");
    t.Word(9); t.Text(L"MS Shell Dlg");
    t.Item(L"Button", BS_PUSHBUTTON, 1, 5);
    t.Item(L"Button", BS_AUTOCHECKBOX, 2, 20);
    t.Item(L"Edit", ES_AUTOHSCROLL | WS_BORDER, 3, 35);
    t.Item(L"Static", SS_LEFT, 4, 50);
    t.Item(PROGRESS_CLASSW, 0, 5, 65);
    const HWND hDlg = ::CreateDialogIndirectParamW(
        ::GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(t.bytes), nullptr, DialogProc, 0);
    if (!hDlg) return;
    ::SendDlgItemMessageW(hDlg, 5, PBM_SETPOS, 50, 0);
    // Drawn and idle for a moment, then gone.
    const DWORD until = ::GetTickCount() + 500;
    MSG msg;
    while (static_cast<LONG>(until - ::GetTickCount()) > 0) {
        while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        ::Sleep(10);
    }
    ::DestroyWindow(hDlg);
}

}  // namespace

// Usage: dll_control [URL]
int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    AfxHardenDllSearch();
    INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);
    // One call into each of the installer's other static imports.
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    wchar_t folder[MAX_PATH];
    ::SHGetFolderPathW(nullptr, CSIDL_COMMON_APPDATA, nullptr, 0, folder);
    ::DeleteObject(::CreateSolidBrush(0));
    Random();
    int argc = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    if (argv && argc > 1) OpenUrl(argv[1]);
    ::LocalFree(argv);
    ShowDialog();
    ::CoUninitialize();
    return 0;
}
