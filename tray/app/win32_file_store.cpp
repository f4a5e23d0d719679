#include "tray/app/win32_file_store.h"

#include <windows.h>

#include "common/win32/file_replace.h"
#include "common/win32/unique_handle.h"

namespace qlx::tray {

std::optional<std::string> Win32FileStore::Read(const std::string& path) const {
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return std::nullopt;
    }
    std::string content;
    char buffer[16384];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
        content.append(buffer, got);
    }
    return content;
}

bool Win32FileStore::WriteReplacing(const std::string& path, const std::string& content) {
    return ReplaceFileContents(path, content);
}

} // namespace qlx::tray
