// The skin images for the native test build: the file res/installer.rc
// names for the resource ID res/resource.h gives.
#include "skin_png_bytes.h"
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

std::vector<BYTE> SkinPngBytes(UINT id) {
    const std::string res = VELMORA_SOURCE_DIR "/res/";
    const std::string ids = ReadFile(res + "resource.h"), script = ReadFile(res + "installer.rc");
    std::smatch name, file;
    const std::regex byId("#define (IDB_\\w+) +" + std::to_string(id) + "\\b");
    if (!std::regex_search(ids, name, byId)) return {};
    const std::regex byName(name[1].str() + " +PNG +\"([^\"]+)\"");
    if (!std::regex_search(script, file, byName)) return {};
    const std::string bytes = ReadFile(res + file[1].str());
    return std::vector<BYTE>(bytes.begin(), bytes.end());
}
