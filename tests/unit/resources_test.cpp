// The built installer executable carries the resources the program relies
// on: dialog 102 exactly as designed, icon group 128, the skin images and
// the manifest. Read from the real .exe (VELMORA_EXE) as a data file.
#include <gtest/gtest.h>
#include <windows.h>
#include <cstdlib>
#include <string>
#include <vector>
#include "res/resource.h"

namespace {

const WORD kLangPrc = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);

class InstallerResources : public ::testing::Test {
protected:
    static HMODULE s_module;
    static void SetUpTestSuite() {
        const char* exe = getenv("VELMORA_EXE");
        if (!exe) return;
        std::string path = exe;
        if (!path.empty() && path[0] == '/') path = "Z:" + path;  // a Unix path through Wine's Z: drive
        for (char& c : path) if (c == '/') c = '\\';
        s_module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite() { if (s_module) FreeLibrary(s_module); s_module = nullptr; }
    void SetUp() override { ASSERT_NE(nullptr, s_module) << "set VELMORA_EXE to the built installer"; }

    static std::vector<BYTE> Load(LPCWSTR type, WORD id, WORD lang) {
        HRSRC r = FindResourceExW(s_module, type, MAKEINTRESOURCEW(id), lang);
        if (!r) return {};
        const BYTE* p = static_cast<const BYTE*>(LockResource(LoadResource(s_module, r)));
        return std::vector<BYTE>(p, p + SizeofResource(s_module, r));
    }
};
HMODULE InstallerResources::s_module = nullptr;

// Reads the fields of a DLGTEMPLATEEX in order.
struct Reader {
    const BYTE* p;
    WORD Word() { WORD v; memcpy(&v, p, 2); p += 2; return v; }
    DWORD Dword() { DWORD v; memcpy(&v, p, 4); p += 4; return v; }
    std::wstring Str() { std::wstring s; while (WORD c = Word()) s += static_cast<wchar_t>(c); return s; }
    // A name or an ordinal (0xFFFF followed by the number).
    std::wstring SzOrOrd() {
        WORD first; memcpy(&first, p, 2);
        if (first == 0xFFFF) { p += 2; return L"#" + std::to_wstring(Word()); }
        return Str();
    }
    void AlignDword(const BYTE* base) { while ((p - base) % 4) ++p; }
};

std::wstring ClassName(const std::wstring& cls) {
    if (cls == L"#128") return L"button";
    if (cls == L"#129") return L"edit";
    if (cls == L"#130") return L"static";
    std::wstring lower;
    for (wchar_t c : cls) lower += static_cast<wchar_t>(towlower(c));
    return lower;
}

}  // namespace

TEST_F(InstallerResources, DialogTemplateMatchesTheDesign) {
    std::vector<BYTE> t = Load(MAKEINTRESOURCEW(5) /* RT_DIALOG */, IDD_INSTALLER_DIALOG, kLangPrc);
    ASSERT_FALSE(t.empty()) << "dialog 102 in language 2052";
    Reader r{t.data()};
    EXPECT_EQ(1, r.Word());
    EXPECT_EQ(0xFFFF, r.Word());
    r.Dword();  // help ID
    EXPECT_EQ(0x00040000u, r.Dword());
    EXPECT_EQ(0x90C800C8u, r.Dword());
    const WORD count = r.Word();
    ASSERT_EQ(16, count);
    EXPECT_EQ(0, (short)r.Word()); EXPECT_EQ(0, (short)r.Word());
    EXPECT_EQ(320, (short)r.Word()); EXPECT_EQ(207, (short)r.Word());
    EXPECT_EQ(L"", r.SzOrOrd());  // no menu
    EXPECT_EQ(L"", r.SzOrOrd());  // default class
    EXPECT_EQ(L"Installer", r.Str());
    EXPECT_EQ(9, r.Word());
    EXPECT_EQ(0, r.Word());                 // weight
    EXPECT_EQ(0x0100, r.Word());            // italic 0, charset 1
    EXPECT_EQ(L"MS Shell Dlg", r.Str());

    struct Item { DWORD id; const wchar_t* cls; DWORD style; DWORD ex; const wchar_t* text; } expected[] = {
        {1000, L"button", 0x50000007, 0x20, L""},
        {1001, L"button", 0x50010000, 0, L""},
        {1002, L"edit", 0x50010080, 0, L""},
        {1003, L"button", 0x50010000, 0, L"开机启动Velmora"},
        {1004, L"button", 0x50010000, 0, L"添加Velmora到任务栏"},
        {1005, L"button", 0x50010000, 0, L"已阅读并同意"},
        {1006, L"static", 0x50020000, 0, L"<<用户许可协议>>"},
        {1007, L"button", 0x50010000, 0, L""},
        {1008, L"msctls_progress32", 0x50800000, 0, L""},
        {1009, L"static", 0x50020000, 0, L"正在下载Velmora游戏平台..."},
        {1010, L"static", 0x50020000, 0, L""},
        {1011, L"static", 0x50020000, 0, L"Velmora 安装向导已完成"},
        {1012, L"static", 0x50020000, 0, L"单击 \"完成\" 按钮退出安装向导"},
        {1013, L"button", 0x50010000, 0, L"运行 Velmora"},
        {1014, L"button", 0x50010000, 0, L""},
        {1015, L"static", 0x50020000, 0, L""},
    };
    for (const Item& e : expected) {
        r.AlignDword(t.data());
        r.Dword();  // help ID
        EXPECT_EQ(e.ex, r.Dword()) << e.id;
        EXPECT_EQ(e.style, r.Dword()) << e.id;
        r.p += 8;  // rectangle: OnInitDialog places every control
        EXPECT_EQ(e.id, r.Dword());
        EXPECT_EQ(std::wstring(e.cls), ClassName(r.SzOrOrd())) << e.id;
        EXPECT_EQ(std::wstring(e.text), r.SzOrOrd()) << e.id;
        r.p += r.Word();  // creation data
    }
}

TEST_F(InstallerResources, SkinImagesHaveTheirSizesAndChannels) {
    struct Png { WORD id; DWORD w, h; BYTE colorType; } pngs[] = {
        {129, 622, 422, 2}, {130, 68, 15, 6}, {131, 68, 15, 6}, {132, 344, 30, 6}, {133, 98, 14, 6},
        {134, 560, 40, 6}, {135, 600, 4, 6}, {136, 580, 4, 6}, {137, 560, 40, 6}, {138, 117, 12, 6},
    };
    for (const Png& e : pngs) {
        std::vector<BYTE> d = Load(L"PNG", e.id, kLangPrc);
        ASSERT_GE(d.size(), 33u) << e.id;
        ASSERT_EQ(0, memcmp(d.data(), "\x89PNG\r\n\x1a\n", 8)) << e.id;
        const DWORD w = (DWORD)d[16] << 24 | d[17] << 16 | d[18] << 8 | d[19];
        const DWORD h = (DWORD)d[20] << 24 | d[21] << 16 | d[22] << 8 | d[23];
        EXPECT_EQ(e.w, w) << e.id;
        EXPECT_EQ(e.h, h) << e.id;
        EXPECT_EQ(8, d[24]) << e.id << ": 8 bits per channel";
        EXPECT_EQ(e.colorType, d[25]) << e.id << ": 2 is RGB, 6 is RGBA";
    }
}

TEST_F(InstallerResources, IconGroupHoldsOne48PixelImageWith32Bits) {
    std::vector<BYTE> g = Load(MAKEINTRESOURCEW(14) /* RT_GROUP_ICON */, IDR_MAINFRAME, kLangPrc);
    ASSERT_EQ(6u + 14u, g.size());
    Reader r{g.data()};
    r.Word();
    EXPECT_EQ(1, r.Word());  // icon
    EXPECT_EQ(1, r.Word());  // one image
    EXPECT_EQ(48, g[6]);
    EXPECT_EQ(48, g[7]);
    r.p = g.data() + 12;
    EXPECT_EQ(32, r.Word());
}

TEST_F(InstallerResources, ManifestAsksForAdminCommonControls6AndDpiAwareness) {
    std::vector<BYTE> m = Load(MAKEINTRESOURCEW(24) /* RT_MANIFEST */, 1, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL));
    ASSERT_FALSE(m.empty());
    const std::string xml(m.begin(), m.end());
    // The executable read is the one built beside this test, of its width:
    // the assemblies it names must be of that architecture, or the version
    // 6 controls are not found.
    const std::string arch = sizeof(void*) == 8 ? "processorArchitecture=\"amd64\"" : "processorArchitecture=\"x86\"";
    for (const std::string& needle : {std::string("level=\"requireAdministrator\""), std::string("uiAccess=\"false\""),
                                      std::string("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
                                      arch + " publicKeyToken", std::string(">true</dpiAware>"),
                                      std::string("WindowsSettings\">PerMonitorV2, PerMonitor</dpiAwareness>")})
        EXPECT_NE(std::string::npos, xml.find(needle)) << needle;
    EXPECT_EQ(2u, [&] {
        size_t n = 0;
        for (size_t at = xml.find(arch); at != std::string::npos; at = xml.find(arch, at + 1)) ++n;
        return n;
    }()) << "the program's own identity and the common controls";
}
