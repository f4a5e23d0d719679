#pragma once
// Conversion between the narrow ANSI-code-page texts used inside the
// deliverables and the UTF-16 of COM boundaries.
#include <windows.h>

#include <string>
#include <string_view>

namespace qlx {

// `codePage` is the system's ANSI code page unless given (CP_UTF8 carries
// any text, such as a path outside the ANSI code page).
std::wstring AnsiToWide(std::string_view text, UINT codePage = CP_ACP);
// Characters the code page cannot hold become its default character, as the
// system's own conversion makes them.
std::string WideToAnsi(std::wstring_view text, UINT codePage = CP_ACP);

} // namespace qlx
