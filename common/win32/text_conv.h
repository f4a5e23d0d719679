#pragma once
// Conversion between the narrow ANSI-code-page texts used inside the
// deliverables and the UTF-16 of COM boundaries.
#include <windows.h>

#include <string>
#include <string_view>

namespace qlx {

std::wstring AnsiToWide(std::string_view text);
// Characters the ANSI code page cannot hold become the code page's default
// character, as the system's own conversion makes them.
std::string WideToAnsi(std::wstring_view text);

} // namespace qlx
