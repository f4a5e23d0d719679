#pragma once
// The tray program's record of blocked pop-ups and its file "history.lst":
// the entry count on the first line, then four lines per entry, oldest
// first: "left top width height", the site address, the pop-up address and
// the time.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qlx::tray {

class FileStore;

struct CHistoryEntry {
    std::string time; // "%Y-%m-%d %H:%M:%S", local time
    std::string siteAddress;
    std::string popupAddress;
    uint32_t left = 0;
    uint32_t top = 0;
    uint32_t width = 0;
    uint32_t height = 0;

    bool operator==(const CHistoryEntry&) const = default;
};

using History = std::vector<CHistoryEntry>;

// Longest line the reader accepts; a longer one ends the reading (the
// entries read before it are kept).
inline constexpr size_t kMaxHistoryLine = 64 * 1024;

std::string WriteHistoryText(const History& history);

// Reads entries by position: each entry is exactly four lines, so an entry
// with empty addresses does not shift the ones after it. Texts are trimmed
// of spaces at both ends; a line may end in CR LF. The reader stops at the
// end of the text, at a malformed number line or at an overlong line, and
// keeps the whole entries read so far.
History ReadHistoryText(std::string_view text);

// A missing or unreadable file gives an empty history.
History LoadHistoryFile(const FileStore& files, const std::string& path);
bool SaveHistoryFile(FileStore& files, const std::string& path, const History& history);

} // namespace qlx::tray
