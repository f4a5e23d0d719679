#include "engine/core/list_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/core/text.h"

namespace qlx::engine {

namespace {

struct RawLine {
    uint64_t key;          // eight bytes after the common prefix, big-endian, zero-padded
    std::string_view name; // lowered, into the working text
    int32_t check;
};

// Most comparisons are decided by the key, without touching the text.
uint64_t KeyOf(std::string_view name) {
    uint64_t key = 0;
    for (size_t i = 0; i < 8; ++i) {
        key = (key << 8) | (i < name.size() ? static_cast<unsigned char>(name[i]) : 0u);
    }
    return key;
}

bool LineLess(const RawLine& a, const RawLine& b) {
    if (a.key != b.key) {
        return a.key < b.key;
    }
    return a.name < b.name;
}

} // namespace

std::vector<ListEntry> ParseListFile(std::string_view bytes, const LeadBytes& lead) {
    return ParseOwnedListFile(std::string(bytes), lead);
}

std::vector<ListEntry> ParseOwnedListFile(std::string&& text, const LeadBytes& lead) {
    // Lower the whole text once; lowered names then order by plain byte
    // comparison, which equals the case-insensitive order of the originals.
    if (lead.any()) {
        FoldCaseInPlace(text, lead);
    } else {
        for (char& c : text) {
            c = FoldCase(c);
        }
    }
    std::vector<RawLine> lines;
    lines.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), '\n')));
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
        lines.push_back({0, line.substr(1), line[0] == '+' ? 1 : 0});
        p = q + 2;
        lineStart = p;
    }
    // Lists of addresses share long prefixes ("http://www."): the keys start
    // after the prefix common to all names, where the names differ.
    size_t common = lines.empty() ? 0 : lines[0].name.size();
    for (const RawLine& l : lines) {
        const std::string_view first = lines[0].name;
        size_t n = std::min(common, l.name.size());
        common = static_cast<size_t>(std::mismatch(first.begin(),
                                                   first.begin() + static_cast<std::ptrdiff_t>(n),
                                                   l.name.begin())
                                         .first -
                                     first.begin());
    }
    for (RawLine& l : lines) {
        l.key = KeyOf(l.name.substr(std::min(common, l.name.size())));
    }
    // A stable sort keeps equal names in file order: the same order as
    // inserting each line after the equal entries already read.
    std::stable_sort(lines.begin(), lines.end(), LineLess);
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
