#pragma once
// Registry and file references: an option or variable value that begins
// with "#" names a registry value, one that begins with "@" a file whose
// content is the value.
#include <optional>
#include <string>
#include <string_view>

#include "common/core/registry_model.h"

namespace qlx::updater {

struct RegistryReference {
    RegRoot root = RegRoot::LocalMachine;
    std::string keyPath;
    std::string valueName;
};

// `text` without its "#": an optional "HKCU\", "HKLM\" or "HKU\" (any case;
// HKEY_LOCAL_MACHINE without one), the key path, "\" and the value name.
// Nothing when there is no key path or no value name.
std::optional<RegistryReference> ParseRegistryReference(std::string_view text);

// Reads a REG_SZ value; any other type, a missing key or value fails with
// the registry layer's text as `reason`.
std::optional<std::string> ReadRegistryString(const Registry& registry,
                                              const RegistryReference& ref, std::string* reason);

// A referenced file's content without its trailing bytes of code 32 or below
// (blanks, line breaks, control characters).
std::string TrimFileValue(std::string_view content);

// A path without ":" lies in `baseDir` (which ends with "\" or is empty).
std::string ResolvePath(std::string_view baseDir, std::string_view path);

} // namespace qlx::updater
