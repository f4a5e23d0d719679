#include "common/win32/file_replace.h"

#include <windows.h>

#include "common/win32/unique_handle.h"

namespace qlx {

namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

bool WriteAll(HANDLE file, std::string_view bytes) {
    while (!bytes.empty()) {
        const DWORD chunk =
            bytes.size() > 0x40000000u ? 0x40000000u : static_cast<DWORD>(bytes.size());
        DWORD done = 0;
        if (!::WriteFile(file, bytes.data(), chunk, &done, nullptr) || done != chunk) {
            return false;
        }
        bytes.remove_prefix(done);
    }
    return ::FlushFileBuffers(file) != FALSE;
}

} // namespace

bool ReplaceFileContents(const std::string& path, std::string_view bytes) {
    char temp[MAX_PATH];
    if (::GetTempFileNameA(FolderOf(path).c_str(), "qlx", 0, temp) == 0) {
        return false;
    }
    bool written = false;
    {
        UniqueHandle file(::CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        written = file && WriteAll(file.get(), bytes);
    }
    if (written &&
        ::MoveFileExA(temp, path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    ::DeleteFileA(temp);
    return false;
}

} // namespace qlx
