#pragma once
// Whole-file reads and replacing writes behind a seam: the Win32 shell uses
// ANSI paths and MoveFileEx, the unit tests the standard library.
#include <string>

namespace qlx::tray {

// A file that is absent is not the same as a file that exists but could not
// be read (locked, access denied, an error in the middle): only the first
// may be written over with what the program has in memory.
struct FileRead {
    enum class Status { Read, Missing, Failed };
    Status status = Status::Missing;
    std::string content;

    bool ok() const { return status == Status::Read; }
};

class FileStore {
public:
    virtual ~FileStore() = default;
    virtual FileRead Read(const std::string& path) const = 0;
    // Writes to a temporary file in the same folder, then replaces `path`
    // with it, so a failed write never damages the old file.
    virtual bool WriteReplacing(const std::string& path, const std::string& content) = 0;
};

class StdFileStore final : public FileStore {
public:
    FileRead Read(const std::string& path) const override;
    bool WriteReplacing(const std::string& path, const std::string& content) override;
};

} // namespace qlx::tray
