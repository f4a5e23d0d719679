#include "engine/core/list_file.h"

#include <algorithm>
#include <cstring>

#include "common/core/text.h"

namespace qlx::engine {

namespace {

struct RawLine {
    std::string_view name; // lowered, into the working copy
    int32_t check;
};

} // namespace

std::vector<ListEntry> ParseListFile(std::string_view bytes) {
    // Lower the whole text once; lowered names then order by plain byte
    // comparison, which equals the case-insensitive order of the originals.
    std::string text = ToLower(bytes);
    std::vector<RawLine> lines;
    const char* p = text.data();
    const char* const end = p + text.size();
    const char* lineStart = p;
    while (p < end) {
        const void* cr = std::memchr(p, '\r', static_cast<size_t>(end - p));
        if (cr == nullptr) {
            break; // an unterminated last line is ignored
        }
        const char* q = static_cast<const char*>(cr);
        if (q + 1 >= end) {
            break;
        }
        if (q[1] != '\n') {
            p = q + 1; // a lone CR belongs to the line
            continue;
        }
        const std::string_view line(lineStart, static_cast<size_t>(q - lineStart));
        if (line.size() < 2) {
            break;
        }
        lines.push_back({line.substr(1), line[0] == '+' ? 1 : 0});
        p = q + 2;
        lineStart = p;
    }
    // A stable sort keeps equal names in file order: the same order as
    // inserting each line after the equal entries already read.
    std::stable_sort(lines.begin(), lines.end(),
                     [](const RawLine& a, const RawLine& b) { return a.name < b.name; });
    std::vector<ListEntry> entries;
    entries.reserve(lines.size());
    for (const RawLine& l : lines) {
        entries.push_back(ListEntry{std::string(l.name), l.check});
    }
    return entries;
}

std::string FormatListFile(const NameList& list) {
    size_t total = 0;
    for (const ListEntry& e : list.entries()) {
        total += e.name.size() + 3;
    }
    std::string out;
    out.reserve(total);
    for (const ListEntry& e : list.entries()) {
        if (e.name.empty()) {
            continue;
        }
        out.push_back(e.check != 0 ? '+' : '-');
        out += e.name;
        out += "\r\n";
    }
    return out;
}

} // namespace qlx::engine
