#pragma once
// Product versions in the download check: the version the request named
// (O), the one the server's answer names (S) and the one in the downloaded
// version file (D).
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qlx::updater {

// Major, minor, release, build.
using Version = std::array<int32_t, 4>;

// Dotted decimal with 3 or 4 dots, read from the right: "1.2.3.4" and
// "7.1.2.3.4" are both 1.2.3.4. Blanks and line breaks around the text are
// ignored; anything else (another number of dots, an empty or non-decimal
// group, a number too large) gives no version.
std::optional<Version> ParseVersionText(std::string_view text);

// "a.b.c.d".
std::string FormatVersion(const Version& v);

// Passes when D equals S and S is newer than O, compared component by
// component (major, minor, release, build). A version that cannot be read
// skips the check: the download counts as good.
bool VersionCheckPasses(const std::optional<Version>& original,
                        const std::optional<Version>& server,
                        const std::optional<Version>& downloaded);

// Whether a downloaded path is the version file: its name ends the path,
// compared character by character from the end. An empty name never matches.
bool IsVersionFile(std::string_view path, std::string_view versionFile);

} // namespace qlx::updater
