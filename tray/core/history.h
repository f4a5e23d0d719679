#pragma once
// The tray program's record of blocked pop-ups and its file "history.lst":
// the entry count on the first line, then four lines per entry, oldest
// first: "left top width height", the site address, the pop-up address and
// the time. The browser's process name, when known, follows the four
// numbers on their line ("10 20 300 200 chrome.exe").
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
    std::string process = {}; // the browser's program file name; empty when unknown

    bool operator==(const CHistoryEntry&) const = default;
};

using History = std::vector<CHistoryEntry>;

// Longest line the reader accepts; a longer one ends the reading (the
// entries read before it are kept).
inline constexpr size_t kMaxHistoryLine = 64 * 1024;

// The file keeps no spaces or tabs around its texts; the recorder trims
// addresses the same way, so what is recorded reads back equal.
std::string_view TrimBlanks(std::string_view s);

std::string WriteHistoryText(const History& history);

struct HistoryReading {
    History entries;
    // False when the reading stopped at damage (a malformed number line, an
    // overlong line) with more text after it, or when the file could not be
    // read at all: the file then holds more than `entries`, and must not be
    // written over with them.
    bool whole = true;
};

// Blank and space-only lines between fields are skipped and texts trimmed
// of spaces at both ends, so stray blank lines never shift later entries:
// - the number line is the next non-blank line;
// - if the two lines after it are both blank, they are the two empty
//   addresses this program writes, and the time is the next non-blank line;
// - otherwise each of the three texts is the next non-blank line.
// A line may end in CR LF. The reader stops at the end of the text, after
// the announced number of entries, or at damage, keeping the whole entries
// read so far.
HistoryReading ReadHistory(std::string_view text);
inline History ReadHistoryText(std::string_view text) {
    return ReadHistory(text).entries;
}

// A missing file gives an empty history that may be written; a file that
// exists but cannot be read gives an empty one that may not.
HistoryReading LoadHistoryFile(const FileStore& files, const std::string& path);
bool SaveHistoryFile(FileStore& files, const std::string& path, const History& history);

} // namespace qlx::tray
