#pragma once
// Where a session's downloads go and how their progress is counted.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qlx::updater {

// Eight lower-case letters drawn from a generator seeded with `seed` (the
// caller mixes the clock into it): the name of the session's working
// directory.
std::string WorkingDirectoryName(uint32_t seed);

// `TargetDir` with a trailing "\", or the program directory when
// `TargetDir` names no drive (no ":" in it: relative or empty).
std::string WorkingBase(std::string_view targetDir, std::string_view programDir);

// A look-up directory entry, trimmed of blanks, with a trailing "\", and
// the file name after it.
std::string LookupPath(std::string_view entry, std::string_view fileName);

// Whether a file name of the server's list stays inside the working
// directory: relative, without drive and without a ".." step.
bool IsSafeFileName(std::string_view name);

// The port an address names in its authority ("host:port"), after any
// "user:password@" and around an IPv6 "[...]"; nothing when it names none,
// and 0 when the port written is no number from 1 to 65535.
std::optional<uint16_t> ExplicitPort(std::string_view address);

// Whole percent of `done` in `total`, truncated; 0 for an empty total, at
// most 100.
int Percent(uint64_t done, uint64_t total);

} // namespace qlx::updater
