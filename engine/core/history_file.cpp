#include "engine/core/history_file.h"

#include <charconv>
#include <cstring>
#include <optional>

#include "engine/core/time_text.h"

namespace qlx::engine {

namespace {

bool NeedsCleaning(std::string_view text) {
    for (char c : {'\t', '\r', '\n'}) {
        if (std::memchr(text.data(), c, text.size()) != nullptr) {
            return true;
        }
    }
    return false;
}

void AppendField(std::string& out, std::string_view text) {
    if (!NeedsCleaning(text)) {
        out += text;
    } else {
        out += MakeFieldSafe(text);
    }
}

void AppendNumber(std::string& out, int32_t value) {
    char buf[16];
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out.append(buf, r.ptr);
}

// Cuts fields at tabs from the left.
class FieldReader {
public:
    explicit FieldReader(std::string_view line) : rest_(line) {}

    std::optional<std::string_view> Next() {
        if (done_) {
            return std::nullopt;
        }
        const size_t tab = rest_.find('\t');
        std::string_view field = rest_.substr(0, tab);
        if (tab == std::string_view::npos) {
            done_ = true;
        } else {
            rest_.remove_prefix(tab + 1);
        }
        return field;
    }

    std::optional<std::string_view> Rest() {
        if (done_) {
            return std::nullopt;
        }
        done_ = true;
        return rest_;
    }

private:
    std::string_view rest_;
    bool done_ = false;
};

std::string TextOrUnknown(std::optional<std::string_view> field) {
    return (field && !field->empty()) ? std::string(*field) : std::string(kUnknown);
}

int32_t NumberOrZero(std::optional<std::string_view> field) {
    return field ? ReadDecimal(*field) : 0;
}

HistoryRecord ParseLine(std::string_view line) {
    FieldReader fields(line);
    HistoryRecord r;
    r.time = TextOrUnknown(fields.Next());
    r.siteCount = NumberOrZero(fields.Next());
    r.addressCount = NumberOrZero(fields.Next());
    r.processCount = NumberOrZero(fields.Next());
    r.left = NumberOrZero(fields.Next());
    r.top = NumberOrZero(fields.Next());
    r.width = NumberOrZero(fields.Next());
    r.height = NumberOrZero(fields.Next());
    r.title = TextOrUnknown(fields.Next());
    r.site = TextOrUnknown(fields.Next());
    r.popup = TextOrUnknown(fields.Next());
    r.process = TextOrUnknown(fields.Rest());
    return r;
}

} // namespace

void MakeFieldSafeInPlace(std::string& text) {
    if (!NeedsCleaning(text)) {
        return;
    }
    for (char& c : text) {
        if (c == '\t' || c == '\r' || c == '\n') {
            c = ' ';
        }
    }
}

std::string MakeFieldSafe(std::string_view text) {
    std::string out(text);
    MakeFieldSafeInPlace(out);
    return out;
}

std::deque<HistoryRecord> ParseHistoryFile(std::string_view bytes) {
    std::deque<HistoryRecord> history;
    size_t start = 0;
    size_t from = 0;
    while (true) {
        const size_t cr = bytes.find("\r\n", from);
        if (cr == std::string_view::npos) {
            break;
        }
        history.push_back(ParseLine(bytes.substr(start, cr - start)));
        start = from = cr + 2;
    }
    return history;
}

std::string FormatHistoryFile(const std::deque<HistoryRecord>& history) {
    std::string out;
    FormatHistoryFile(history, out);
    return out;
}

void FormatHistoryLine(const HistoryRecord& r, std::string& out) {
    AppendField(out, r.time);
    for (int32_t n :
         {r.siteCount, r.addressCount, r.processCount, r.left, r.top, r.width, r.height}) {
        out.push_back('\t');
        AppendNumber(out, n);
    }
    for (const std::string* text : {&r.title, &r.site, &r.popup, &r.process}) {
        out.push_back('\t');
        AppendField(out, *text);
    }
    out += "\r\n";
}

void FormatHistoryFile(const std::deque<HistoryRecord>& history, std::string& out) {
    size_t estimate = out.size();
    for (const HistoryRecord& r : history) {
        estimate += r.time.size() + r.title.size() + r.site.size() + r.popup.size() +
                    r.process.size() + 7 * 12 + 13;
    }
    out.reserve(estimate);
    for (const HistoryRecord& r : history) {
        FormatHistoryLine(r, out);
    }
}

} // namespace qlx::engine
