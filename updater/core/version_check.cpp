#include "updater/core/version_check.h"

#include <charconv>

namespace qlx::updater {

std::optional<Version> ParseVersionText(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return std::nullopt;
    }
    text = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    int32_t groups[5] = {};
    size_t count = 0;
    for (;;) {
        const size_t dot = text.find('.');
        const std::string_view group = text.substr(0, dot);
        if (count == 5 || group.empty()) {
            return std::nullopt;
        }
        const auto [end, ec] =
            std::from_chars(group.data(), group.data() + group.size(), groups[count]);
        if (ec != std::errc() || end != group.data() + group.size() || groups[count] < 0) {
            return std::nullopt;
        }
        ++count;
        if (dot == std::string_view::npos) {
            break;
        }
        text.remove_prefix(dot + 1);
    }
    if (count < 4) {
        return std::nullopt;
    }
    const int32_t* last = groups + count - 4;
    return Version{last[0], last[1], last[2], last[3]};
}

std::string FormatVersion(const Version& v) {
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]) + "." +
           std::to_string(v[3]);
}

bool VersionCheckPasses(const std::optional<Version>& original,
                        const std::optional<Version>& server,
                        const std::optional<Version>& downloaded) {
    if (!original || !server || !downloaded) {
        return true;
    }
    return *downloaded == *server && *server > *original;
}

bool IsVersionFile(std::string_view path, std::string_view versionFile) {
    return !versionFile.empty() && path.size() >= versionFile.size() &&
           path.substr(path.size() - versionFile.size()) == versionFile;
}

} // namespace qlx::updater
