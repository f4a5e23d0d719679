#pragma once
// Shortening a text to a control's width.
#include <windows.h>

#include <string>

namespace qlx::skin {

// `text` shortened with an ellipsis in the middle to fit the width of
// `control` in its font (the shell's path compaction).
std::string CompactToWidth(HWND control, const std::string& text);

} // namespace qlx::skin
