#include "engine/com/win32_file_system.h"

#include <windows.h>

#include "common/win32/file_replace.h"
#include "common/win32/unique_handle.h"

namespace qlx::engine {

namespace {

struct ViewTraits {
    static void* Invalid() noexcept { return nullptr; }
    static bool IsValid(void* p) noexcept { return p != nullptr; }
    static void Close(void* p) noexcept { ::UnmapViewOfFile(p); }
};
using UniqueView = UniqueResource<void*, ViewTraits>;

// A virus scanner, a search indexer or another engine object may hold the
// file for a moment: the open is tried again for a short while.
UniqueHandle OpenForReading(const std::string& path) {
    constexpr int kAttempts = 10;
    constexpr DWORD kPauseMs = 30;
    for (int attempt = 1;; ++attempt) {
        // Reading beside other readers is safe: the file is only ever
        // replaced whole, never written in place.
        UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            return file;
        }
        const DWORD error = ::GetLastError();
        if (attempt == kAttempts ||
            (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION &&
             error != ERROR_ACCESS_DENIED)) {
            return file;
        }
        ::Sleep(kPauseMs);
    }
}

} // namespace

std::optional<std::string> Win32FileSystem::ReadOrCreate(const std::string& path) {
    UniqueHandle file = OpenForReading(path);
    if (!file) {
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        return std::nullopt;
    }
    if (size.QuadPart == 0) {
        return std::string(); // an empty file cannot be mapped
    }
    UniqueHandle mapping(::CreateFileMappingA(file.get(), nullptr, PAGE_WRITECOPY, 0, 0, nullptr));
    if (!mapping) {
        return std::nullopt;
    }
    UniqueView view(::MapViewOfFile(mapping.get(), FILE_MAP_COPY, 0, 0, 0));
    if (!view) {
        return std::nullopt;
    }
    return std::string(static_cast<const char*>(view.get()), static_cast<size_t>(size.QuadPart));
}

bool Win32FileSystem::Replace(const std::string& path, std::string_view bytes) {
    return ReplaceFileContents(path, bytes);
}

bool Win32FileSystem::MoveOver(const std::string& from, const std::string& to) {
    return ::MoveFileExA(from.c_str(), to.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool Win32FileSystem::Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

} // namespace qlx::engine
