#pragma once
// FileSystem over the standard library, for POSIX hosts: the data folder's
// "\x.lst" names map to "<folder>/x.lst".
#include "engine/core/file_system.h"

namespace qlx::engine {

class StdFileSystem final : public FileSystem {
public:
    std::optional<std::string> ReadOrCreate(const std::string& path) override;
    bool Replace(const std::string& path, std::string_view bytes) override;
    bool MoveOver(const std::string& from, const std::string& to) override;
    bool Exists(const std::string& path) override;

    // The host path for an engine path (backslashes become slashes).
    static std::string HostPath(const std::string& path);
};

} // namespace qlx::engine
