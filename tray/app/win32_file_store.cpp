#include "tray/app/win32_file_store.h"

#include <windows.h>

#include "common/win32/file_replace.h"
#include "common/win32/unique_handle.h"

namespace qlx::tray {

namespace {

// A scanner or indexer holds a file for a moment; such an open is tried
// again for about half a second before the file counts as unreadable.
constexpr int kOpenAttempts = 10;
constexpr DWORD kOpenRetryMs = 50;

bool IsBriefLock(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

} // namespace

FileRead Win32FileStore::Read(const std::string& path) const {
    UniqueHandle file;
    for (int attempt = 1;; ++attempt) {
        file.reset(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            break;
        }
        const DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            return {FileRead::Status::Missing, {}};
        }
        if (!IsBriefLock(error) || attempt == kOpenAttempts) {
            return {FileRead::Status::Failed, {}};
        }
        ::Sleep(kOpenRetryMs);
    }
    std::string content;
    char buffer[16384];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
            return {FileRead::Status::Failed, {}};
        }
        if (got == 0) {
            return {FileRead::Status::Read, std::move(content)};
        }
        content.append(buffer, got);
    }
}

bool Win32FileStore::WriteReplacing(const std::string& path, const std::string& content) {
    return ReplaceFileContents(path, content);
}

} // namespace qlx::tray
