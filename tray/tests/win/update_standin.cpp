// Stands in for "update.exe" in the tray program's tests: appends its
// command line to "standin.log" beside itself, writes "standin.version"
// (when present) over "version.dat" as an update would, waits
// "standin.sleep" milliseconds and exits with the code in "standin.code".
#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string Folder() {
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string text = path;
    return text.substr(0, text.find_last_of('\\') + 1);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

int main() {
    const std::string folder = Folder();
    std::ofstream(folder + "standin.log", std::ios::app) << ::GetCommandLineA() << "\n";
    const std::string version = ReadAll(folder + "standin.version");
    if (!version.empty()) {
        std::ofstream(folder + "version.dat", std::ios::binary) << version;
    }
    ::Sleep(static_cast<DWORD>(std::atoi(ReadAll(folder + "standin.sleep").c_str())));
    const std::string code = ReadAll(folder + "standin.code");
    return code.empty() ? 24 : std::atoi(code.c_str());
}
