#pragma once
// Files by ANSI path, replaced through a temporary file and MoveFileEx.
#include "tray/core/file_store.h"

namespace qlx::tray {

class Win32FileStore final : public FileStore {
public:
    FileRead Read(const std::string& path) const override;
    bool WriteReplacing(const std::string& path, const std::string& content) override;
};

} // namespace qlx::tray
