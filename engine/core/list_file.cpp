#include "engine/core/list_file.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <future>

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

// Lists this long use a second core: a merged supplier list can hold a
// million names.
constexpr size_t kHalvesFrom = 1 << 20; // bytes of text

void MakeEntries(const std::vector<RawLine>& lines, std::vector<ListEntry>& entries, size_t from,
                 size_t to) {
    for (size_t i = from; i < to; ++i) {
        entries[i].name.assign(lines[i].name);
        entries[i].check = lines[i].check;
    }
}

// Lowers [begin, end), which starts at a line start (a character boundary:
// line breaks are never the second byte of a character).
void Fold(char* begin, char* end, const LeadBytes& lead) {
    if (lead.any()) {
        std::string part(begin, end); // rare: a double-byte code page
        FoldCaseInPlace(part, lead);
        std::copy(part.begin(), part.end(), begin);
        return;
    }
    for (char* c = begin; c != end; ++c) {
        *c = FoldCase(*c);
    }
}

// The lines of [begin, end); false when a line shorter than two characters
// ended the list there.
bool ScanLines(const char* p, const char* const end, std::vector<RawLine>& lines) {
    lines.reserve(static_cast<size_t>(std::count(p, end, '\n')));
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
            return false;
        }
        lines.push_back({0, line.substr(1), line[0] == '+' ? 1 : 0});
        p = q + 2;
        lineStart = p;
    }
    return true;
}

// Folds and scans a part of the text.
bool ReadPart(char* begin, char* end, const LeadBytes& lead, std::vector<RawLine>& lines) {
    Fold(begin, end, lead);
    return ScanLines(begin, end, lines);
}

size_t CommonPrefix(const std::vector<RawLine>& lines, std::string_view first, size_t common) {
    for (const RawLine& l : lines) {
        const size_t n = std::min(common, l.name.size());
        common = static_cast<size_t>(std::mismatch(first.begin(),
                                                   first.begin() + static_cast<std::ptrdiff_t>(n),
                                                   l.name.begin())
                                         .first -
                                     first.begin());
    }
    return common;
}

void KeyAndSort(std::vector<RawLine>& lines, size_t common) {
    for (RawLine& l : lines) {
        l.key = KeyOf(l.name.substr(std::min(common, l.name.size())));
    }
    // A stable sort keeps equal names in file order: the same order as
    // inserting each line after the equal entries already read.
    std::stable_sort(lines.begin(), lines.end(), LineLess);
}

} // namespace

std::vector<ListEntry> ParseListFile(std::string_view bytes, const LeadBytes& lead) {
    return ParseOwnedListFile(std::string(bytes), lead);
}

std::vector<ListEntry> ParseOwnedListFile(std::string&& text, const LeadBytes& lead) {
    // Lower the whole text once; lowered names then order by plain byte
    // comparison, which equals the case-insensitive order of the originals.
    char* const begin = text.data();
    char* const end = begin + text.size();
    std::vector<RawLine> first, second;
    if (text.size() < kHalvesFrom) {
        ReadPart(begin, end, lead, first);
    } else {
        // Two halves split at a line start, each folded, scanned, keyed and
        // sorted on its own core, then merged with the first half winning
        // ties: the order of one stable sort of all lines.
        const char* split =
            std::search(begin + text.size() / 2, end, std::begin("\r\n"), std::end("\r\n") - 1);
        char* const middle = split == end ? end : begin + (split - begin) + 2;
        auto firstPart =
            std::async(std::launch::async, [&] { return ReadPart(begin, middle, lead, first); });
        ReadPart(middle, end, lead, second);
        if (!firstPart.get()) {
            second.clear(); // the list ended in the first half
        }
    }
    // Lists of addresses share long prefixes ("http://www."): the keys start
    // after the prefix common to all names, where the names differ.
    const std::vector<RawLine>& any = first.empty() ? second : first;
    size_t common = any.empty() ? 0 : any[0].name.size();
    if (!any.empty()) {
        common = CommonPrefix(second, any[0].name, CommonPrefix(first, any[0].name, common));
    }
    std::vector<ListEntry> entries;
    if (second.empty()) {
        KeyAndSort(first, common);
        entries.resize(first.size());
        MakeEntries(first, entries, 0, first.size());
        return entries;
    }
    auto firstSorted = std::async(std::launch::async, [&] { KeyAndSort(first, common); });
    KeyAndSort(second, common);
    firstSorted.get();
    std::vector<RawLine> lines(first.size() + second.size());
    std::merge(first.begin(), first.end(), second.begin(), second.end(), lines.begin(), LineLess);
    first = std::vector<RawLine>();
    second = std::vector<RawLine>();
    entries.resize(lines.size());
    const size_t half = lines.size() / 2;
    auto firstEntries =
        std::async(std::launch::async, [&] { MakeEntries(lines, entries, 0, half); });
    MakeEntries(lines, entries, half, lines.size());
    firstEntries.get();
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
