#pragma once
// The small text rules every updater input shares: blanks, quotes, and the
// words of a command line or a script line.
#include <string>
#include <string_view>
#include <vector>

namespace qlx::updater {

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view TrimBlanks(std::string_view s);

// Splits at blanks outside quotes. Double and single quotes group text and
// are removed; the other kind of quote inside a group is plain text. A word
// made of quotes only ("") is kept as an empty word.
std::vector<std::string> SplitWords(std::string_view text);

// Removes the quotes that group text, with the same rules.
std::string Unquote(std::string_view text);

// Position of the first "=" outside quotes, or npos.
size_t FindUnquotedEquals(std::string_view text);

// "name=value" split at the first unquoted "=", both parts trimmed, then
// unquoted. `hasEquals` tells "name" from "name=".
struct Assignment {
    std::string name;
    std::string value;
    bool hasEquals = false;
};
Assignment SplitAssignment(std::string_view text);

} // namespace qlx::updater
