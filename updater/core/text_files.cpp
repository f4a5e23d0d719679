#include "updater/core/text_files.h"

#include "updater/core/words.h"

namespace qlx::updater {

namespace {

// Calls `line(text, end)` for every line, with the offset in `text` where
// its text (without line end) ends.
template <typename F> void ForEachLine(std::string_view text, F&& line) {
    size_t begin = 0;
    while (begin <= text.size()) {
        size_t end = text.find_first_of("\r\n", begin);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        line(text.substr(begin, end - begin), end);
        begin = end + 1;
    }
}

bool IsComment(std::string_view trimmed) {
    return trimmed.starts_with(';') || trimmed.starts_with("//");
}

bool IsSection(std::string_view trimmed) {
    return trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']';
}

bool IsGeneralSection(std::string_view trimmed) {
    return EqualsNoCase(trimmed, "[general]");
}

// A "name=value" line: an "=" outside quotes with a single word before it.
bool IsAssignment(std::string_view trimmed) {
    const size_t eq = FindUnquotedEquals(trimmed);
    return eq != std::string_view::npos && SplitWords(trimmed.substr(0, eq)).size() == 1;
}

constexpr int kMaxSubstitutionRounds = 16;
constexpr size_t kMaxSubstitutedSize = 32768;

} // namespace

std::vector<VariableLine> ParseVariablesText(std::string_view text) {
    std::vector<VariableLine> lines;
    bool general = false;
    ForEachLine(text, [&](std::string_view line, size_t) {
        const std::string_view trimmed = TrimBlanks(line);
        if (trimmed.empty() || IsComment(trimmed)) {
            return;
        }
        if (IsSection(trimmed)) {
            general = IsGeneralSection(trimmed);
            return;
        }
        Assignment a = SplitAssignment(trimmed);
        if (a.hasEquals && !a.name.empty()) {
            lines.push_back({general, std::move(a.name), std::move(a.value)});
        }
    });
    return lines;
}

std::string SubstituteVariables(std::string_view word, const ScriptVariables& variables) {
    std::string current(word);
    for (int round = 0; round < kMaxSubstitutionRounds; ++round) {
        std::string next;
        bool changed = false;
        size_t pos = 0;
        while (pos < current.size()) {
            const size_t open = current.find('%', pos);
            const size_t close =
                open == std::string::npos ? std::string::npos : current.find('%', open + 1);
            if (close == std::string::npos) {
                next.append(current, pos);
                break;
            }
            next.append(current, pos, open - pos);
            auto it = variables.find(std::string_view(current).substr(open + 1, close - open - 1));
            if (it != variables.end()) {
                next += it->second;
                changed = true;
                pos = close + 1;
            } else {
                // The closing "%" may open the next pair.
                next += '%';
                pos = open + 1;
                next.append(current, pos, close - pos);
                pos = close;
            }
        }
        if (next.size() > kMaxSubstitutedSize) {
            break;
        }
        current = std::move(next);
        if (!changed) {
            break;
        }
    }
    return current;
}

std::vector<ScriptLine> ParseScriptText(std::string_view text, const ScriptVariables& variables) {
    std::vector<ScriptLine> lines;
    ForEachLine(text, [&](std::string_view line, size_t) {
        const std::string_view trimmed = TrimBlanks(line);
        if (trimmed.empty() || IsComment(trimmed) || IsSection(trimmed) || IsAssignment(trimmed)) {
            return;
        }
        ScriptLine words = SplitWords(trimmed);
        for (std::string& w : words) {
            w = SubstituteVariables(w, variables);
        }
        if (!words.empty()) {
            lines.push_back(std::move(words));
        }
    });
    return lines;
}

std::string JoinWords(const ScriptLine& words) {
    std::string out;
    for (const std::string& w : words) {
        if (!out.empty()) {
            out += ' ';
        }
        out += w;
    }
    return out;
}

WriteResult WriteVariableText(std::string_view text, std::string_view name, std::string_view value,
                              bool isOption) {
    bool general = false;
    bool invalid = false;
    size_t valueBegin = std::string_view::npos;
    size_t valueEnd = 0;
    ForEachLine(text, [&](std::string_view line, size_t end) {
        if (valueBegin != std::string_view::npos || invalid) {
            return;
        }
        const std::string_view trimmed = TrimBlanks(line);
        if (IsComment(trimmed)) {
            return;
        }
        if (IsSection(trimmed)) {
            general = IsGeneralSection(trimmed);
            return;
        }
        if ((isOption && !general) || trimmed.size() < name.size() ||
            !EqualsNoCase(trimmed.substr(0, name.size()), name)) {
            return;
        }
        std::string_view rest = trimmed.substr(name.size());
        // A longer name that merely begins with this one is another variable.
        if (!rest.empty() && !IsBlank(rest.front()) && rest.front() != '=') {
            return;
        }
        rest = TrimBlanks(rest);
        if (rest.empty() || rest.front() != '=') {
            invalid = true;
            return;
        }
        valueBegin = static_cast<size_t>(rest.data() + 1 - text.data());
        valueEnd = end;
    });
    if (invalid) {
        return {WriteOutcome::InvalidFormat, std::string(text)};
    }
    if (valueBegin != std::string_view::npos) {
        std::string out(text.substr(0, valueBegin));
        out += value;
        out += text.substr(valueEnd);
        return {WriteOutcome::Replaced, std::move(out)};
    }
    std::string out(text);
    // An option appended under "[Variables]" would come back as a script
    // variable, so it gets a "[general]" section of its own.
    out += isOption ? "\r\n[general]\r\n" : "\r\n[Variables]\r\n";
    out += name;
    out += '=';
    out += value;
    return {WriteOutcome::Appended, std::move(out)};
}

} // namespace qlx::updater
