#include "tray/core/history.h"

#include <charconv>
#include <optional>
#include <type_traits>

#include "common/core/text.h"
#include "tray/core/file_store.h"

namespace qlx::tray {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    // The next non-blank line, trimmed; nothing at the end of the text or
    // at an overlong line (which stays unread).
    std::optional<std::string_view> NextNonBlank() {
        while (auto line = Next()) {
            if (!line->empty()) {
                return line;
            }
        }
        return std::nullopt;
    }

    // Takes the next two lines if both are blank.
    bool SkipTwoBlankLines() {
        const size_t start = pos_;
        auto first = Next();
        auto second = first && first->empty() ? Next() : std::nullopt;
        if (second && second->empty()) {
            return true;
        }
        pos_ = start;
        return false;
    }

    bool RestIsBlank() const {
        return text_.find_first_not_of(" \t\r\n", pos_) == std::string_view::npos;
    }

private:
    // The next line without its line break, trimmed.
    std::optional<std::string_view> Next() {
        if (pos_ >= text_.size()) {
            return std::nullopt;
        }
        size_t end = text_.find('\n', pos_);
        const size_t next = end == std::string_view::npos ? text_.size() : end + 1;
        if (end == std::string_view::npos) {
            end = text_.size();
        }
        std::string_view line = text_.substr(pos_, end - pos_);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.size() > kMaxHistoryLine) {
            return std::nullopt;
        }
        pos_ = next;
        return TrimBlanks(line);
    }

    std::string_view text_;
    size_t pos_ = 0;
};

// Parses whitespace-separated decimal numbers; all of `out` must be filled.
// Without `rest` nothing may follow them; with it, the trimmed text after
// them is handed back there.
template <typename T, size_t N>
bool ParseNumbers(std::string_view line, T (&out)[N], std::string_view* rest = nullptr) {
    for (size_t i = 0; i < N; ++i) {
        line = TrimBlanks(line);
        const char* first = line.data();
        const char* last = line.data() + line.size();
        bool negative = false;
        if (first != last && *first == '+') {
            ++first;
        } else if constexpr (std::is_unsigned_v<T>) {
            // An unsigned number written signed (a window left of the
            // screen) reads wrapped, as the C library's unsigned reading does.
            if (first != last && *first == '-') {
                negative = true;
                ++first;
            }
        }
        auto [ptr, ec] = std::from_chars(first, last, out[i]);
        if (ec != std::errc() || (ptr != last && !IsBlank(*ptr))) {
            return false;
        }
        if (negative) {
            out[i] = static_cast<T>(T{0} - out[i]);
        }
        line.remove_prefix(static_cast<size_t>(ptr - line.data()));
    }
    line = TrimBlanks(line);
    if (rest != nullptr) {
        *rest = line;
        return true;
    }
    return line.empty();
}

} // namespace

std::string_view TrimBlanks(std::string_view s) {
    return TrimAny(s, " \t\r");
}

std::string WriteHistoryText(const History& history) {
    std::string text = std::to_string(history.size()) + "\n";
    for (const auto& e : history) {
        text += std::to_string(e.left) + " " + std::to_string(e.top) + " " +
                std::to_string(e.width) + " " + std::to_string(e.height);
        if (!e.process.empty()) {
            text += " ";
            text += e.process;
        }
        text += "\n";
        text += e.siteAddress + "\n";
        text += e.popupAddress + "\n";
        text += e.time + "\n";
    }
    return text;
}

HistoryReading ReadHistory(std::string_view text) {
    HistoryReading reading;
    LineReader lines(text);
    // Wherever the reading stops, it has taken the whole file only if
    // nothing but blank text is left.
    const auto stop = [&] {
        reading.whole = lines.RestIsBlank();
        return reading;
    };
    int64_t count[1] = {0};
    auto countLine = lines.NextNonBlank();
    if (!countLine || !ParseNumbers(*countLine, count) || count[0] < 0) {
        return stop();
    }
    for (int64_t i = 0; i < count[0]; ++i) {
        auto numbers = lines.NextNonBlank();
        uint32_t geometry[4] = {0, 0, 0, 0};
        std::string_view process;
        if (!numbers || !ParseNumbers(*numbers, geometry, &process)) {
            return stop();
        }
        CHistoryEntry entry;
        entry.left = geometry[0];
        entry.top = geometry[1];
        entry.width = geometry[2];
        entry.height = geometry[3];
        entry.process = process;
        if (!lines.SkipTwoBlankLines()) {
            auto site = lines.NextNonBlank();
            auto popup = site ? lines.NextNonBlank() : std::nullopt;
            if (!popup) {
                return stop();
            }
            entry.siteAddress = *site;
            entry.popupAddress = *popup;
        }
        auto time = lines.NextNonBlank();
        if (!time) {
            return stop();
        }
        entry.time = *time;
        reading.entries.push_back(std::move(entry));
    }
    return stop();
}

HistoryReading LoadHistoryFile(const FileStore& files, const std::string& path) {
    FileRead file = files.Read(path);
    switch (file.status) {
    case FileRead::Status::Read:
        return ReadHistory(file.content);
    case FileRead::Status::Missing:
        return {};
    case FileRead::Status::Failed:
        break;
    }
    return {History{}, false};
}

bool SaveHistoryFile(FileStore& files, const std::string& path, const History& history) {
    return files.WriteReplacing(path, WriteHistoryText(history));
}

} // namespace qlx::tray
