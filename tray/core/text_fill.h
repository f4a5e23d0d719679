#pragma once
// Fills the one "%s" of a string-table text. Texts come from resources, so
// they are never used as printf formats.
#include <string>
#include <string_view>

namespace qlx::tray {

// Replaces the first "%s" of `format` with `value` (`format` unchanged
// when it has none).
std::string FillPlaceholder(std::string_view format, std::string_view value);

// The first whitespace-delimited word of a text ("" when there is none):
// the program version in "version.dat".
std::string FirstWord(std::string_view text);

} // namespace qlx::tray
