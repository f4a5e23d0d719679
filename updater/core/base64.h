#pragma once
// Standard base64 (RFC 4648, with "=" padding) as keys and signatures of an
// update are written.
#include <optional>
#include <string>
#include <string_view>

namespace qlx::updater {

// The bytes, or nothing when `text` is not canonical base64: a character
// outside the alphabet, a length that is not a multiple of 4, misplaced
// padding or padding bits that are not zero.
std::optional<std::string> DecodeBase64(std::string_view text);

} // namespace qlx::updater
