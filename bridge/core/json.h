#pragma once
// The JSON the browser and the bridge exchange: a strict reader (RFC 8259, no
// duplicate keys, bounded nesting, valid UTF-8) and a writer. Strings stay
// UTF-8; numbers are kept as doubles, which holds every integer the messages
// carry exactly.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qlx::bridge {

struct JsonValue;
using JsonObject = std::map<std::string, JsonValue, std::less<>>;
using JsonArray = std::vector<JsonValue>;

struct JsonValue {
    std::variant<std::nullptr_t, bool, double, std::string, JsonArray, JsonObject> data;

    bool IsNull() const { return std::holds_alternative<std::nullptr_t>(data); }
    const bool* Bool() const { return std::get_if<bool>(&data); }
    const double* Number() const { return std::get_if<double>(&data); }
    const std::string* String() const { return std::get_if<std::string>(&data); }
    const JsonObject* Object() const { return std::get_if<JsonObject>(&data); }
};

inline constexpr int kMaxJsonDepth = 32;

// The value, or nullopt with `error` saying what is wrong and where.
std::optional<JsonValue> ParseJson(std::string_view text, std::string& error);

// A JSON string literal, quotes included; control characters escaped.
std::string JsonQuote(std::string_view text);

} // namespace qlx::bridge
