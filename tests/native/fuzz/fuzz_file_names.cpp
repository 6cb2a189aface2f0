// IsPlainFileName, MakePartialPath and PartialFileTag: a name that passes
// stays inside its folder, and a partial file's name gives its tag back.
#include "fuzz_input.h"
#include "install/FileNames.h"
#include <cwchar>

extern "C" int LLVMFuzzerTestOneInput(const BYTE* data, size_t cb) {
    const std::wstring name = WideText(data, cb);
    if (IsPlainFileName(name.c_str())) {
        FUZZ_CHECK(!name.empty() && name.size() < PATH_CHARS);
        FUZZ_CHECK(name.find_first_of(L"\\/:*?\"<>|") == std::wstring::npos);
        for (wchar_t c : name) FUZZ_CHECK(c >= 0x20);
        FUZZ_CHECK(name.back() != L'.' && name.back() != L' ');
    }
    wchar_t partial[PATH_CHARS];
    wmemset(partial, L'?', PATH_CHARS);
    const std::wstring folder = L"C:\\d\\";
    if (MakePartialPath(L"C:\\d\\velmora.exe", name.c_str(), partial)) {
        FUZZ_CHECK(partial == folder + name + L".partial");
        wchar_t tag[PATH_CHARS];
        FUZZ_CHECK(PartialFileTag(partial + folder.size(), tag, PATH_CHARS));
        FUZZ_CHECK(name == tag);
    } else {
        FUZZ_CHECK(partial[0] == L'\0' || partial[0] == L'?');
    }
    wchar_t tag[PATH_CHARS];
    if (PartialFileTag(name.c_str(), tag, PATH_CHARS)) {
        FUZZ_CHECK(name == std::wstring(tag) + L".partial");
        if (folder.size() + name.size() < PATH_CHARS) FUZZ_CHECK(MakePartialPath(L"C:\\d\\velmora.exe", tag, partial));
    } else {
        FUZZ_CHECK(tag[0] == L'\0');
    }
    return 0;
}
