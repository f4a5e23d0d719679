#include "updater/core/words.h"

#include "common/core/text.h"

namespace qlx::updater {

std::string_view TrimBlanks(std::string_view s) {
    return TrimAny(s, " \t");
}

namespace {

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

} // namespace

std::vector<std::string> SplitWords(std::string_view text) {
    std::vector<std::string> words;
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (char c : text) {
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
            } else {
                word += c;
            }
        } else if (IsQuote(c)) {
            quote = c;
            inWord = true;
        } else if (IsBlank(c)) {
            if (inWord) {
                words.push_back(std::move(word));
                word.clear();
                inWord = false;
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord) {
        words.push_back(std::move(word));
    }
    return words;
}

std::string Unquote(std::string_view text) {
    std::string out;
    char quote = 0;
    for (char c : text) {
        if (quote != 0 && c == quote) {
            quote = 0;
        } else if (quote == 0 && IsQuote(c)) {
            quote = c;
        } else {
            out += c;
        }
    }
    return out;
}

size_t FindUnquotedEquals(std::string_view text) {
    char quote = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
            }
        } else if (IsQuote(c)) {
            quote = c;
        } else if (c == '=') {
            return i;
        }
    }
    return std::string_view::npos;
}

Assignment SplitAssignment(std::string_view text) {
    Assignment a;
    const size_t eq = FindUnquotedEquals(text);
    a.hasEquals = eq != std::string_view::npos;
    a.name = Unquote(TrimBlanks(text.substr(0, eq)));
    if (a.hasEquals) {
        a.value = Unquote(TrimBlanks(text.substr(eq + 1)));
    }
    return a;
}

} // namespace qlx::updater
