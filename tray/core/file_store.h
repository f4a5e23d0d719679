#pragma once
// Whole-file reads and replacing writes behind a seam: the Win32 shell uses
// ANSI paths and MoveFileEx, the unit tests the standard library.
#include <optional>
#include <string>

namespace qlx::tray {

class FileStore {
public:
    virtual ~FileStore() = default;
    // The whole content, or nothing when the file cannot be opened.
    virtual std::optional<std::string> Read(const std::string& path) const = 0;
    // Writes to a temporary file in the same folder, then replaces `path`
    // with it, so a failed write never damages the old file.
    virtual bool WriteReplacing(const std::string& path, const std::string& content) = 0;
};

class StdFileStore final : public FileStore {
public:
    std::optional<std::string> Read(const std::string& path) const override;
    bool WriteReplacing(const std::string& path, const std::string& content) override;
};

} // namespace qlx::tray
