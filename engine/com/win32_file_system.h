#pragma once
// The engine's data folder on the real file API: files are read through a
// private copy-on-write mapping (other readers allowed, a briefly held file
// tried again), and replaced by writing a temporary file in the same folder
// that is then moved over them.
#include "engine/core/file_system.h"

namespace qlx::engine {

class Win32FileSystem final : public FileSystem {
public:
    std::optional<std::string> ReadOrCreate(const std::string& path) override;
    bool Replace(const std::string& path, std::string_view bytes) override;
    bool MoveOver(const std::string& from, const std::string& to) override;
    bool Exists(const std::string& path) override;
};

} // namespace qlx::engine
