#pragma once
// Address trimming as the tray program and the engine both apply it to the
// addresses of a pop-up: browsers hand over addresses that may carry a
// prefix of other text, separated by a character of code 1 or a line break.
#include <string>
#include <string_view>

namespace qlx {

// Keeps only the text after the last character of code 1, then after the
// last line feed, then after the last carriage return.
std::string TrimAddress(std::string_view address);

// Cuts a site address before the first "/" that follows its first ".",
// leaving scheme and host ("http://www.example.com/a/b" -> "http://www.example.com").
// Without such a "." and "/" the address stays whole.
std::string CutToSite(std::string_view address);

} // namespace qlx
