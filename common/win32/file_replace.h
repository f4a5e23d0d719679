#pragma once
// Writing a file so that a crash or a full disk never leaves it truncated:
// the new content goes to a temporary file in the same folder, which then
// takes the old file's place in one move.
#include <string>
#include <string_view>

namespace qlx {

// True when `path` holds exactly `bytes` afterwards; on false the old file
// (if any) is untouched and no temporary file is left behind.
bool ReplaceFileContents(const std::string& path, std::string_view bytes);

} // namespace qlx
