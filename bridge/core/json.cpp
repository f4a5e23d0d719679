#include "bridge/core/json.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace qlx::bridge {

namespace {

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    std::optional<JsonValue> Document(std::string& error) {
        auto value = Value(0);
        if (value) {
            SkipSpace();
            if (pos_ != text_.size()) {
                Fail("text after the value");
                value.reset();
            }
        }
        if (!value) {
            error = error_ + " at offset " + std::to_string(pos_);
        }
        return value;
    }

private:
    std::optional<JsonValue> Fail(const char* what) {
        if (error_.empty()) {
            error_ = what;
        }
        return std::nullopt;
    }

    void SkipSpace() {
        while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                       text_[pos_] == '\n' || text_[pos_] == '\r')) {
            ++pos_;
        }
    }

    bool Literal(std::string_view word) {
        if (text_.substr(pos_, word.size()) != word) {
            return false;
        }
        pos_ += word.size();
        return true;
    }

    std::optional<JsonValue> Value(int depth) {
        SkipSpace();
        if (pos_ >= text_.size()) {
            return Fail("unexpected end");
        }
        const char c = text_[pos_];
        if (c == '{' || c == '[') {
            if (depth >= kMaxJsonDepth) {
                return Fail("nested too deeply");
            }
            return c == '{' ? ObjectValue(depth + 1) : ArrayValue(depth + 1);
        }
        if (c == '"') {
            auto s = StringValue();
            if (!s) {
                return std::nullopt;
            }
            return JsonValue{std::move(*s)};
        }
        if (Literal("true")) {
            return JsonValue{true};
        }
        if (Literal("false")) {
            return JsonValue{false};
        }
        if (Literal("null")) {
            return JsonValue{nullptr};
        }
        return NumberValue();
    }

    std::optional<JsonValue> ObjectValue(int depth) {
        ++pos_; // '{'
        JsonObject object;
        SkipSpace();
        if (pos_ < text_.size() && text_[pos_] == '}') {
            ++pos_;
            return JsonValue{std::move(object)};
        }
        for (;;) {
            SkipSpace();
            if (pos_ >= text_.size() || text_[pos_] != '"') {
                return Fail("expected a member name");
            }
            auto name = StringValue();
            if (!name) {
                return std::nullopt;
            }
            SkipSpace();
            if (pos_ >= text_.size() || text_[pos_] != ':') {
                return Fail("expected ':'");
            }
            ++pos_;
            auto value = Value(depth);
            if (!value) {
                return std::nullopt;
            }
            if (!object.emplace(std::move(*name), std::move(*value)).second) {
                return Fail("duplicate member name");
            }
            SkipSpace();
            if (pos_ < text_.size() && text_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < text_.size() && text_[pos_] == '}') {
                ++pos_;
                return JsonValue{std::move(object)};
            }
            return Fail("expected ',' or '}'");
        }
    }

    std::optional<JsonValue> ArrayValue(int depth) {
        ++pos_; // '['
        JsonArray array;
        SkipSpace();
        if (pos_ < text_.size() && text_[pos_] == ']') {
            ++pos_;
            return JsonValue{std::move(array)};
        }
        for (;;) {
            auto value = Value(depth);
            if (!value) {
                return std::nullopt;
            }
            array.push_back(std::move(*value));
            SkipSpace();
            if (pos_ < text_.size() && text_[pos_] == ',') {
                ++pos_;
                continue;
            }
            if (pos_ < text_.size() && text_[pos_] == ']') {
                ++pos_;
                return JsonValue{std::move(array)};
            }
            return Fail("expected ',' or ']'");
        }
    }

    bool Digits() {
        const size_t start = pos_;
        while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
            ++pos_;
        }
        return pos_ > start;
    }

    std::optional<JsonValue> NumberValue() {
        const size_t start = pos_;
        if (text_[pos_] == '-') {
            ++pos_;
        }
        if (pos_ < text_.size() && text_[pos_] == '0') {
            ++pos_;
        } else if (!Digits()) {
            return Fail("unexpected character");
        }
        if (pos_ < text_.size() && text_[pos_] == '.') {
            ++pos_;
            if (!Digits()) {
                return Fail("digits expected after '.'");
            }
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            ++pos_;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-')) {
                ++pos_;
            }
            if (!Digits()) {
                return Fail("digits expected in the exponent");
            }
        }
        const std::string literal(text_.substr(start, pos_ - start));
        const double value = std::strtod(literal.c_str(), nullptr);
        if (!std::isfinite(value)) {
            return Fail("number out of range");
        }
        return JsonValue{value};
    }

    std::optional<unsigned> Hex4() {
        if (text_.size() - pos_ < 4) {
            return std::nullopt;
        }
        unsigned value = 0;
        for (int i = 0; i < 4; ++i) {
            const char c = text_[pos_++];
            value <<= 4;
            if (c >= '0' && c <= '9') {
                value |= static_cast<unsigned>(c - '0');
            } else if (c >= 'a' && c <= 'f') {
                value |= static_cast<unsigned>(c - 'a' + 10);
            } else if (c >= 'A' && c <= 'F') {
                value |= static_cast<unsigned>(c - 'A' + 10);
            } else {
                return std::nullopt;
            }
        }
        return value;
    }

    static void AppendUtf8(std::string& out, uint32_t cp) {
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }

    // One UTF-8 sequence copied as it is, if it is well formed (no overlong
    // forms, no surrogates, nothing above U+10FFFF).
    bool CopyUtf8(std::string& out) {
        const auto lead = static_cast<unsigned char>(text_[pos_]);
        size_t length = 0;
        uint32_t cp = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            cp = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            cp = lead & 0x0F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            cp = lead & 0x07;
        } else {
            return false;
        }
        if (text_.size() - pos_ < length) {
            return false;
        }
        for (size_t i = 1; i < length; ++i) {
            const auto c = static_cast<unsigned char>(text_[pos_ + i]);
            if ((c & 0xC0) != 0x80) {
                return false;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        if ((length == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
            (length == 4 && (cp < 0x10000 || cp > 0x10FFFF))) {
            return false;
        }
        out.append(text_.substr(pos_, length));
        pos_ += length;
        return true;
    }

    std::optional<std::string> StringValue() {
        ++pos_; // '"'
        std::string out;
        for (;;) {
            if (pos_ >= text_.size()) {
                Fail("unterminated string");
                return std::nullopt;
            }
            const auto c = static_cast<unsigned char>(text_[pos_]);
            if (c == '"') {
                ++pos_;
                return out;
            }
            if (c < 0x20) {
                Fail("control character in a string");
                return std::nullopt;
            }
            if (c >= 0x80) {
                if (!CopyUtf8(out)) {
                    Fail("invalid UTF-8");
                    return std::nullopt;
                }
                continue;
            }
            ++pos_;
            if (c != '\\') {
                out.push_back(static_cast<char>(c));
                continue;
            }
            if (pos_ >= text_.size()) {
                Fail("unterminated string");
                return std::nullopt;
            }
            const char e = text_[pos_++];
            switch (e) {
            case '"':
                out.push_back('"');
                break;
            case '\\':
                out.push_back('\\');
                break;
            case '/':
                out.push_back('/');
                break;
            case 'b':
                out.push_back('\b');
                break;
            case 'f':
                out.push_back('\f');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 't':
                out.push_back('\t');
                break;
            case 'u': {
                auto unit = Hex4();
                if (!unit) {
                    Fail("bad \\u escape");
                    return std::nullopt;
                }
                uint32_t cp = *unit;
                if (cp >= 0xD800 && cp <= 0xDBFF) {
                    std::optional<unsigned> low;
                    if (Literal("\\u")) {
                        low = Hex4();
                    }
                    if (!low || *low < 0xDC00 || *low > 0xDFFF) {
                        Fail("unpaired surrogate");
                        return std::nullopt;
                    }
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (*low - 0xDC00);
                } else if (cp >= 0xDC00 && cp <= 0xDFFF) {
                    Fail("unpaired surrogate");
                    return std::nullopt;
                }
                AppendUtf8(out, cp);
                break;
            }
            default:
                Fail("bad escape");
                return std::nullopt;
            }
        }
    }

    std::string_view text_;
    size_t pos_ = 0;
    std::string error_;
};

} // namespace

std::optional<JsonValue> ParseJson(std::string_view text, std::string& error) {
    return Reader(text).Document(error);
}

std::string JsonQuote(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out.push_back(kHex[c >> 4]);
                out.push_back(kHex[c & 0xF]);
            } else {
                out.push_back(ch);
            }
        }
    }
    out.push_back('"');
    return out;
}

} // namespace qlx::bridge
