// "history.lst" is read at every start. Two checks:
// - any content reads without a crash, and what was read writes and reads
//   back equal;
// - a history written by the program, with stray blank and space-only lines
//   put between its fields (a hand-edited file), reads back as written, and
//   agrees with a plain reader of the file's format (counted entries of
//   numbers and non-blank lines) wherever that reader can tell the fields
//   apart (no entry with empty addresses).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "tray/core/command_line.h"
#include "tray/core/history.h"

namespace {

using qlx::tray::CHistoryEntry;
using qlx::tray::History;

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// The C library's way: numbers are whitespace-separated tokens (line breaks
// included), each text is the next line that is not blank once trimmed.
class ReferenceReader {
public:
    explicit ReferenceReader(std::string_view text) : text_(text) {}

    History Read() {
        History history;
        long long count = 0;
        if (!Number(count)) {
            return history;
        }
        for (long long i = 0; i < count; ++i) {
            long long n[4];
            if (!Number(n[0]) || !Number(n[1]) || !Number(n[2]) || !Number(n[3])) {
                break;
            }
            CHistoryEntry e;
            e.left = static_cast<uint32_t>(n[0]);
            e.top = static_cast<uint32_t>(n[1]);
            e.width = static_cast<uint32_t>(n[2]);
            e.height = static_cast<uint32_t>(n[3]);
            if (!Text(e.siteAddress) || !Text(e.popupAddress) || !Text(e.time)) {
                break;
            }
            history.push_back(std::move(e));
        }
        return history;
    }

private:
    bool Number(long long& out) {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) {
            ++pos_;
        }
        size_t end = pos_;
        while (end < text_.size() && text_[end] >= '0' && text_[end] <= '9' && end - pos_ < 12) {
            ++end;
        }
        if (end == pos_) {
            return false;
        }
        out = std::stoll(std::string(text_.substr(pos_, end - pos_)));
        pos_ = end;
        return true;
    }
    bool Text(std::string& out) {
        while (pos_ < text_.size()) {
            size_t end = text_.find('\n', pos_);
            if (end == std::string_view::npos) {
                end = text_.size();
            }
            std::string_view line = qlx::tray::TrimBlanks(text_.substr(pos_, end - pos_));
            pos_ = end + 1;
            if (!line.empty()) {
                out = line;
                return true;
            }
        }
        return false;
    }

    std::string_view text_;
    size_t pos_ = 0;
};

std::string Blanks(FuzzedDataProvider& data, int most) {
    static const char* const kBlank[] = {"\n", " \n", "\t\n", "\r\n", "  \t \r\n"};
    std::string out;
    for (int n = data.ConsumeIntegralInRange(0, most); n > 0; --n) {
        out += kBlank[data.ConsumeIntegralInRange<size_t>(0, 4)];
    }
    return out;
}

std::string Field(FuzzedDataProvider& data) {
    std::string text = data.ConsumeRandomLengthString(40);
    for (char& c : text) {
        if (c == '\n' || c == '\r' || c == '\0') {
            c = '_';
        }
    }
    text = qlx::tray::TrimBlanks(text);
    return text.empty() ? "x" : text;
}

void CheckHandEditedFile(FuzzedDataProvider& data) {
    History written;
    bool anyEmpty = false;
    std::string text;
    for (size_t n = data.ConsumeIntegralInRange<size_t>(0, 6); n > 0; --n) {
        CHistoryEntry e;
        e.left = data.ConsumeIntegral<uint32_t>();
        e.top = data.ConsumeIntegral<uint32_t>();
        e.width = data.ConsumeIntegral<uint32_t>();
        e.height = data.ConsumeIntegral<uint32_t>();
        const bool empty = data.ConsumeBool();
        anyEmpty |= empty;
        if (!empty) {
            e.siteAddress = Field(data);
            e.popupAddress = Field(data);
        }
        e.time = Field(data);
        text += Blanks(data, 3) + std::to_string(e.left) + " " + std::to_string(e.top) + " " +
                std::to_string(e.width) + " " + std::to_string(e.height) + "\n";
        // One stray blank line after the numbers at most: two there are
        // what the program writes for empty addresses.
        text += empty ? "\n\n" + Blanks(data, 3)
                      : Blanks(data, 1) + e.siteAddress + "\n" + Blanks(data, 3) + e.popupAddress +
                            "\n" + Blanks(data, 3);
        text += e.time + "\n";
        written.push_back(std::move(e));
    }
    text = Blanks(data, 2) + std::to_string(written.size()) + "\n" + text + Blanks(data, 2);

    const qlx::tray::HistoryReading reading = qlx::tray::ReadHistory(text);
    if (reading.entries != written || !reading.whole) {
        std::abort();
    }
    if (!anyEmpty && ReferenceReader(text).Read() != written) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0 && data[0] == 'H') {
        FuzzedDataProvider provider(data + 1, size - 1);
        CheckHandEditedFile(provider);
        return 0;
    }
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const History first = qlx::tray::ReadHistoryText(text);
    const History second = qlx::tray::ReadHistoryText(qlx::tray::WriteHistoryText(first));
    if (second != first) {
        std::abort();
    }
    qlx::tray::ParseCommandLine(text);
    return 0;
}
