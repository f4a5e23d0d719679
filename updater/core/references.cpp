#include "updater/core/references.h"

#include <algorithm>
#include <array>
#include <utility>

#include "common/core/text.h"

namespace qlx::updater {

std::optional<RegistryReference> ParseRegistryReference(std::string_view text) {
    static constexpr std::array<std::pair<std::string_view, RegRoot>, 3> kHives = {{
        {"HKCU\\", RegRoot::CurrentUser},
        {"HKLM\\", RegRoot::LocalMachine},
        {"HKU\\", RegRoot::Users},
    }};
    RegistryReference ref;
    for (const auto& [prefix, root] : kHives) {
        if (text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix)) {
            ref.root = root;
            text.remove_prefix(prefix.size());
            break;
        }
    }
    const size_t slash = text.rfind('\\');
    if (slash == std::string_view::npos || slash == 0 || slash + 1 == text.size()) {
        return std::nullopt;
    }
    ref.keyPath = std::string(text.substr(0, slash));
    ref.valueName = std::string(text.substr(slash + 1));
    return ref;
}

std::optional<std::string> ReadRegistryString(const Registry& registry,
                                              const RegistryReference& ref, std::string* reason) {
    auto fail = [&](const char* text) -> std::optional<std::string> {
        if (reason) {
            *reason = text;
        }
        return std::nullopt;
    };
    if (!registry.KeyExists(ref.root, ref.keyPath)) {
        return fail("Can't open registry key.");
    }
    auto data = registry.GetValue(ref.root, ref.keyPath, ref.valueName);
    if (!data) {
        return fail("Can't read registry value.");
    }
    if (data->type != RegType::String) {
        return fail("Incorrect type. Not a REG_SZ.");
    }
    // Stored strings carry their terminator; a value written without one
    // ends at its last byte.
    std::string value(data->bytes.begin(), data->bytes.end());
    return value.substr(0, value.find('\0'));
}

std::string TrimFileValue(std::string_view content) {
    size_t end = content.size();
    while (end > 0 && static_cast<unsigned char>(content[end - 1]) <= 32) {
        --end;
    }
    return std::string(content.substr(0, end));
}

std::string ResolvePath(std::string_view baseDir, std::string_view path) {
    if (path.find(':') != std::string_view::npos) {
        return std::string(path);
    }
    std::string out(baseDir);
    if (!out.empty() && out.back() != '\\' && (path.empty() || path.front() != '\\')) {
        out += '\\';
    } else if (!out.empty() && out.back() == '\\' && !path.empty() && path.front() == '\\') {
        path.remove_prefix(1);
    }
    return out + std::string(path);
}

} // namespace qlx::updater
