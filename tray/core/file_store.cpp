#include "tray/core/file_store.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace qlx::tray {

FileRead StdFileStore::Read(const std::string& path) const {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec) && !ec) {
        return {FileRead::Status::Missing, {}};
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return {FileRead::Status::Failed, {}};
    }
    std::string content{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad()) {
        return {FileRead::Status::Failed, {}};
    }
    return {FileRead::Status::Read, std::move(content)};
}

bool StdFileStore::WriteReplacing(const std::string& path, const std::string& content) {
    const std::string temp = path + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) {
            return false;
        }
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.flush();
        if (!out) {
            out.close();
            std::remove(temp.c_str());
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    if (ec) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

} // namespace qlx::tray
