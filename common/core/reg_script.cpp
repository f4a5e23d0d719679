#include "common/core/reg_script.h"

#include <cctype>
#include <cstdlib>

namespace qlx {

namespace {

struct Token {
    enum Kind { Word, Quoted, Equals, Open, Close, End } kind = End;
    std::string text;
    int line = 0;
};

class Lexer {
public:
    explicit Lexer(std::string_view text) : text_(text) {}

    Token Next() {
        SkipSpace();
        Token t;
        t.line = line_;
        if (pos_ >= text_.size()) {
            return t;
        }
        const char c = text_[pos_];
        if (c == '{' && !LooksLikeGuid()) {
            ++pos_;
            t.kind = Token::Open;
            return t;
        }
        if (c == '}') {
            ++pos_;
            t.kind = Token::Close;
            return t;
        }
        if (c == '=') {
            ++pos_;
            t.kind = Token::Equals;
            return t;
        }
        if (c == '\'') {
            t.kind = Token::Quoted;
            ++pos_;
            while (pos_ < text_.size()) {
                if (text_[pos_] == '\'') {
                    // '' inside a quoted text is one quote.
                    if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '\'') {
                        t.text += '\'';
                        pos_ += 2;
                        continue;
                    }
                    ++pos_;
                    return t;
                }
                if (text_[pos_] == '\n') {
                    ++line_;
                }
                t.text += text_[pos_++];
            }
            t.kind = Token::End; // unterminated
            t.text = "unterminated quoted text";
            unterminated_ = true;
            return t;
        }
        t.kind = Token::Word;
        while (pos_ < text_.size()) {
            const char w = text_[pos_];
            if (std::isspace(static_cast<unsigned char>(w)) || w == '=' || w == '\'' ||
                (w == '{' && !t.text.empty()) || (w == '}' && !InGuid(t.text))) {
                break;
            }
            t.text += w;
            ++pos_;
            if (w == '}') {
                break;
            }
        }
        return t;
    }

    bool unterminated() const { return unterminated_; }

private:
    void SkipSpace() {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c == '\n') {
                ++line_;
            }
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++pos_;
            } else if (c == '/' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/') {
                while (pos_ < text_.size() && text_[pos_] != '\n') {
                    ++pos_;
                }
            } else {
                break;
            }
        }
    }
    // A bare GUID key name such as {3C58D447-43A1-40D1-890A-C4240FDCC404}.
    bool LooksLikeGuid() const {
        return pos_ + 38 <= text_.size() && text_[pos_ + 37] == '}' && text_[pos_ + 9] == '-';
    }
    static bool InGuid(const std::string& word) { return !word.empty() && word[0] == '{'; }

    std::string_view text_;
    size_t pos_ = 0;
    int line_ = 1;
    bool unterminated_ = false;
};

std::string Substitute(std::string_view in, const Replacements& table, bool* ok) {
    std::string out;
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            out += in[i];
            continue;
        }
        const size_t end = in.find('%', i + 1);
        if (end == std::string_view::npos) {
            *ok = false;
            return out;
        }
        const std::string_view name = in.substr(i + 1, end - i - 1);
        if (name.empty()) {
            out += '%';
        } else {
            auto it = table.find(name);
            if (it == table.end()) {
                *ok = false;
                return out;
            }
            out += it->second;
        }
        i = end;
    }
    return out;
}

class Parser {
public:
    Parser(std::string_view text, const Replacements& table) : lex_(text), table_(table) {
        Advance();
    }

    std::optional<RegScript> Parse(RegScriptError* error) {
        RegScript script;
        while (cur_.kind != Token::End && ok_) {
            RegScriptRoot root;
            if (!ParseRootName(root.root)) {
                break;
            }
            if (!Expect(Token::Open, "'{' after the root key")) {
                break;
            }
            ParseKeyList(root.keys, true);
            if (!ok_) {
                break;
            }
            script.roots.push_back(std::move(root));
        }
        if (ok_ && lex_.unterminated()) {
            Fail("unterminated quoted text");
        }
        if (!ok_) {
            if (error) {
                *error = error_;
            }
            return std::nullopt;
        }
        return script;
    }

private:
    void Advance() { cur_ = lex_.Next(); }

    void Fail(std::string message) {
        if (ok_) {
            ok_ = false;
            error_.line = cur_.line;
            error_.message = std::move(message);
        }
    }

    bool Expect(Token::Kind kind, const char* what) {
        if (cur_.kind != kind) {
            Fail(std::string("expected ") + what);
            return false;
        }
        Advance();
        return true;
    }

    bool ParseRootName(RegRoot& root) {
        if (cur_.kind != Token::Word) {
            Fail("expected a root key");
            return false;
        }
        static const struct {
            const char* name;
            RegRoot root;
        } kRoots[] = {
            {"HKCR", RegRoot::ClassesRoot},  {"HKEY_CLASSES_ROOT", RegRoot::ClassesRoot},
            {"HKCU", RegRoot::CurrentUser},  {"HKEY_CURRENT_USER", RegRoot::CurrentUser},
            {"HKLM", RegRoot::LocalMachine}, {"HKEY_LOCAL_MACHINE", RegRoot::LocalMachine},
            {"HKU", RegRoot::Users},         {"HKEY_USERS", RegRoot::Users}};
        for (const auto& r : kRoots) {
            if (EqualsNoCase(cur_.text, r.name)) {
                root = r.root;
                Advance();
                return true;
            }
        }
        Fail("unknown root key '" + cur_.text + "'");
        return false;
    }

    std::string Text(const Token& t) {
        bool ok = true;
        std::string s = Substitute(t.text, table_, &ok);
        if (!ok) {
            Fail("unknown replacement in '" + t.text + "'");
        }
        return s;
    }

    // "= type value" after a key or value name.
    bool ParseValue(RegData& data) {
        if (!Expect(Token::Equals, "'='")) {
            return false;
        }
        if (cur_.kind != Token::Word || cur_.text.size() != 1) {
            Fail("expected a value type (s, e or d)");
            return false;
        }
        const char type = FoldCase(cur_.text[0]);
        if (type != 's' && type != 'e' && type != 'd') {
            Fail(std::string("unknown value type '") + type + "'");
            return false;
        }
        Advance();
        if (cur_.kind != Token::Quoted && cur_.kind != Token::Word) {
            Fail("expected a value");
            return false;
        }
        const std::string text = Text(cur_);
        Advance();
        switch (type) {
        case 's':
            data = RegData::String(text);
            return true;
        case 'e':
            data = RegData::String(text, RegType::ExpandString);
            return true;
        case 'd': {
            const std::optional<uint32_t> v = ReadNumber(text);
            if (!v) {
                Fail("bad number '" + text + "'");
                return false;
            }
            data = RegData::Dword(*v);
            return true;
        }
        default:
            return false;
        }
    }

    // Decimal, also with leading zeros (never octal), or hexadecimal after
    // "0x"; nothing else, no sign.
    static std::optional<uint32_t> ReadNumber(std::string_view text) {
        int base = 10;
        if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
            base = 16;
            text.remove_prefix(2);
        }
        if (text.empty()) {
            return std::nullopt;
        }
        uint64_t v = 0;
        for (char c : text) {
            int digit;
            if (c >= '0' && c <= '9') {
                digit = c - '0';
            } else if (base == 16 && FoldCase(c) >= 'a' && FoldCase(c) <= 'f') {
                digit = FoldCase(c) - 'a' + 10;
            } else {
                return std::nullopt;
            }
            v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
            if (v > 0xFFFFFFFFull) {
                return std::nullopt;
            }
        }
        return static_cast<uint32_t>(v);
    }

    void ParseKeyList(std::vector<RegScriptKey>& keys, bool atRoot = false) {
        while (ok_ && cur_.kind != Token::Close) {
            if (cur_.kind == Token::End) {
                Fail("missing '}'");
                return;
            }
            if (atRoot && cur_.kind == Token::Word && EqualsNoCase(cur_.text, "val")) {
                Fail("a value cannot stand at the root");
                return;
            }
            ParseKey(keys);
        }
        if (ok_) {
            Advance(); // '}'
        }
    }

    void ParseKey(std::vector<RegScriptKey>& keys) {
        RegScriptKey key;
        if (cur_.kind == Token::Word && EqualsNoCase(cur_.text, "NoRemove")) {
            key.noRemove = true;
            Advance();
        } else if (cur_.kind == Token::Word && EqualsNoCase(cur_.text, "ForceRemove")) {
            key.forceRemove = true;
            Advance();
        } else if (cur_.kind == Token::Word && EqualsNoCase(cur_.text, "val")) {
            Advance();
            ParseNamedValue(keys);
            return;
        }
        if (cur_.kind != Token::Word && cur_.kind != Token::Quoted) {
            Fail("expected a key name");
            return;
        }
        key.name = Text(cur_);
        if (key.name.empty() || key.name.find('\\') != std::string::npos) {
            Fail("bad key name '" + key.name + "'");
            return;
        }
        const Token name = cur_;
        Advance();
        // A bare word followed by another name on its line was meant as a
        // flag ("Delete", a misspelt "NoRemove"): never take it for a key.
        if (name.kind == Token::Word && cur_.line == name.line &&
            (cur_.kind == Token::Word || cur_.kind == Token::Quoted)) {
            cur_ = name;
            Fail("unknown flag '" + name.text + "'");
            return;
        }
        if (cur_.kind == Token::Equals) {
            RegScriptValue def;
            if (!ParseValue(def.data)) {
                return;
            }
            key.values.push_back(std::move(def));
        }
        if (cur_.kind == Token::Open) {
            Advance();
            std::vector<RegScriptKey> children;
            ParseKeyList(children);
            for (auto& child : children) {
                if (child.name.empty() && !child.values.empty()) {
                    // named values parsed inside this key
                    for (auto& v : child.values) {
                        key.values.push_back(std::move(v));
                    }
                } else {
                    key.subkeys.push_back(std::move(child));
                }
            }
        }
        keys.push_back(std::move(key));
    }

    // A named value is carried to the enclosing key through a nameless holder.
    void ParseNamedValue(std::vector<RegScriptKey>& keys) {
        if (cur_.kind != Token::Word && cur_.kind != Token::Quoted) {
            Fail("expected a value name after 'val'");
            return;
        }
        RegScriptValue value;
        value.name = Text(cur_);
        Advance();
        if (!ParseValue(value.data)) {
            return;
        }
        if (value.name.empty()) {
            Fail("empty value name");
            return;
        }
        RegScriptKey holder;
        holder.values.push_back(std::move(value));
        keys.push_back(std::move(holder));
    }

    Lexer lex_;
    const Replacements& table_;
    Token cur_;
    bool ok_ = true;
    RegScriptError error_;
};

std::string Join(const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + "\\" + name;
}

bool ApplyKey(RegRoot root, const std::string& parent, const RegScriptKey& key, Registry& reg,
              RegJournal& journal) {
    const std::string path = Join(parent, key.name);
    if (key.forceRemove) {
        reg.DeleteTree(root, path);
    }
    const bool existed = reg.KeyExists(root, path);
    if (!reg.CreateKey(root, path)) {
        return false;
    }
    if (!existed) {
        journal.changes.push_back({root, path, {}, true, std::nullopt});
    }
    for (const auto& v : key.values) {
        journal.changes.push_back({root, path, v.name, false, reg.GetValue(root, path, v.name)});
        if (!reg.SetValue(root, path, v.name, v.data)) {
            return false;
        }
    }
    for (const auto& sub : key.subkeys) {
        if (!ApplyKey(root, path, sub, reg, journal)) {
            return false;
        }
    }
    return true;
}

bool UndoKey(RegRoot root, const std::string& parent, const RegScriptKey& key, Registry& reg) {
    const std::string path = Join(parent, key.name);
    if (!reg.KeyExists(root, path)) {
        return true;
    }
    if (!key.noRemove) {
        return reg.DeleteTree(root, path);
    }
    bool ok = true;
    for (const auto& sub : key.subkeys) {
        ok = UndoKey(root, path, sub, reg) && ok;
    }
    for (const auto& v : key.values) {
        if (!v.name.empty()) {
            reg.DeleteValue(root, path, v.name);
        }
    }
    return ok;
}

} // namespace

std::optional<RegScript> ParseRegScript(std::string_view text, const Replacements& replacements,
                                        RegScriptError* error) {
    return Parser(text, replacements).Parse(error);
}

bool ApplyRegScript(const RegScript& script, Registry& registry, RegJournal* journal) {
    RegJournal local;
    RegJournal& changes = journal != nullptr ? *journal : local;
    for (const auto& root : script.roots) {
        for (const auto& key : root.keys) {
            if (!ApplyKey(root.root, "", key, registry, changes)) {
                return false;
            }
        }
    }
    return true;
}

void RollBack(const RegJournal& journal, Registry& registry) {
    for (auto it = journal.changes.rbegin(); it != journal.changes.rend(); ++it) {
        if (it->createdKey) {
            registry.DeleteTree(it->root, it->path);
        } else if (it->previous) {
            registry.SetValue(it->root, it->path, it->valueName, *it->previous);
        } else {
            registry.DeleteValue(it->root, it->path, it->valueName);
        }
    }
}

bool UndoRegScript(const RegScript& script, Registry& registry) {
    bool ok = true;
    for (const auto& root : script.roots) {
        for (const auto& key : root.keys) {
            ok = UndoKey(root.root, "", key, registry) && ok;
        }
    }
    return ok;
}

} // namespace qlx
