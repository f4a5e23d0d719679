#pragma once
// Host names with letters beyond ASCII, as DNS carries them: each such label
// becomes "xn--" and its Punycode form, and back. Texts are UTF-8.
#include <optional>
#include <string>
#include <string_view>

namespace qlx::tray {

// "bücher.example" -> "xn--bcher-kva.example". Labels of ASCII only are kept
// as they are. Nothing for text that is not valid UTF-8 or a label whose
// encoding would not fit DNS (over 63 characters).
std::optional<std::string> HostToAscii(std::string_view utf8Host);

// The reverse, for showing a stored name: every "xn--" label decoded. A
// label that does not decode is shown as it is.
std::string HostToUnicode(std::string_view asciiHost);

// Lowers the letters of UTF-8 text whose case pairs are one code point
// apart or 32 apart (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic);
// other characters and invalid sequences stay as they are.
std::string LowerUtf8(std::string_view text);

} // namespace qlx::tray
