#include "engine/core/std_file_system.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>

namespace qlx::engine {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

std::atomic<unsigned> g_tempCounter{0};

} // namespace

std::string StdFileSystem::HostPath(const std::string& path) {
    std::string out = path;
    for (char& c : out) {
        if (c == '\\') {
            c = '/';
        }
    }
    return out;
}

std::optional<std::string> StdFileSystem::ReadOrCreate(const std::string& path) {
    const std::string host = HostPath(path);
    UniqueFile f(std::fopen(host.c_str(), "rb"));
    if (!f) {
        UniqueFile created(std::fopen(host.c_str(), "ab"));
        if (!created) {
            return std::nullopt;
        }
        return std::string();
    }
    std::error_code ec;
    const auto size = std::filesystem::file_size(host, ec);
    std::string bytes(ec ? 0 : static_cast<size_t>(size), '\0');
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f.get()));
    char buf[4096]; // whatever grew since the size was taken
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) {
        bytes.append(buf, n);
    }
    return bytes;
}

bool StdFileSystem::Replace(const std::string& path, std::string_view bytes) {
    const std::string host = HostPath(path);
    const std::string temp = host + ".tmp" + std::to_string(g_tempCounter++);
    {
        UniqueFile f(std::fopen(temp.c_str(), "wb"));
        if (!f) {
            return false;
        }
        const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f.get()) == bytes.size();
        if (std::fclose(f.release()) != 0 || !written) {
            std::remove(temp.c_str());
            return false;
        }
    }
    if (std::rename(temp.c_str(), host.c_str()) != 0) {
        std::remove(temp.c_str());
        return false;
    }
    return true;
}

bool StdFileSystem::MoveOver(const std::string& from, const std::string& to) {
    return std::rename(HostPath(from).c_str(), HostPath(to).c_str()) == 0;
}

bool StdFileSystem::Exists(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(HostPath(path), ec);
}

} // namespace qlx::engine
