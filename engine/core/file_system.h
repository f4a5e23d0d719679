#pragma once
// The engine's view of its data folder. Paths are narrow (ANSI code page).
// The Win32 shell backs it with the real file API; the native tests and the
// benchmarks use StdFileSystem.
#include <optional>
#include <string>
#include <string_view>

namespace qlx::engine {

class FileSystem {
public:
    virtual ~FileSystem() = default;

    // The whole content of the file, which is created empty when absent.
    // Nothing when it cannot be opened.
    virtual std::optional<std::string> ReadOrCreate(const std::string& path) = 0;

    // Writes `bytes` to a new file in the same folder and then puts it in
    // place of `path` in one step, so a failure never leaves a truncated file.
    virtual bool Replace(const std::string& path, std::string_view bytes) = 0;

    // Moves `from` over `to` in one step (replacing `to`).
    virtual bool MoveOver(const std::string& from, const std::string& to) = 0;

    virtual bool Exists(const std::string& path) = 0;
};

} // namespace qlx::engine
