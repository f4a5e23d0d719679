#pragma once
// The registry seam of the portable cores, backed by the real registry.
// Failures are reported as false or nullopt, never thrown, so that callers
// can fall back to their defaults silently.
#include <windows.h>

#include <string>

#include "common/core/registry_model.h"

namespace qlx {

HKEY RootKey(RegRoot root) noexcept;

class Win32Registry final : public Registry {
public:
    // `access` may add KEY_WOW64_64KEY or KEY_WOW64_32KEY to pick a view.
    // Paths, names and string values are narrow text in `codePage` (the
    // ANSI code page unless given; CP_UTF8 reaches any name or path); the
    // registry is always reached through its wide functions.
    explicit Win32Registry(REGSAM viewFlags = 0, UINT codePage = CP_ACP) noexcept
        : view_(viewFlags), codePage_(codePage) {}

    bool CreateKey(RegRoot root, std::string_view path) override;
    bool KeyExists(RegRoot root, std::string_view path) const override;
    bool DeleteTree(RegRoot root, std::string_view path) override;
    bool SetValue(RegRoot root, std::string_view path, std::string_view name,
                  const RegData& data) override;
    std::optional<RegData> GetValue(RegRoot root, std::string_view path,
                                    std::string_view name) const override;
    bool DeleteValue(RegRoot root, std::string_view path, std::string_view name) override;
    bool IsKeyEmpty(RegRoot root, std::string_view path) const override;

private:
    std::wstring Wide(std::string_view text) const;
    REGSAM view_;
    UINT codePage_;
};

} // namespace qlx
