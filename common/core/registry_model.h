#pragma once
// A small seam over the Windows registry: the portable cores read and write
// values through `Registry`, the Win32 shell backs it with the real registry
// and the unit tests with `MemoryRegistry`. Values keep their raw bytes and
// type, so the rules about sizes, types and terminators live in the cores.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/core/text.h"

namespace qlx {

enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine, Users };

// Registry value types, numbered as Windows numbers them.
enum class RegType : uint32_t { None = 0, String = 1, ExpandString = 2, Binary = 3, Dword = 4 };

struct RegData {
    RegType type = RegType::None;
    std::vector<uint8_t> bytes;

    static RegData Dword(uint32_t v);
    // A REG_SZ (or expandable) value including its terminating zero byte.
    static RegData String(std::string_view s, RegType type = RegType::String);
    bool operator==(const RegData&) const = default;
};

class Registry {
public:
    virtual ~Registry() = default;
    // Paths are backslash-separated subkey paths below the root; "" is the root.
    virtual bool CreateKey(RegRoot root, std::string_view path) = 0;
    virtual bool KeyExists(RegRoot root, std::string_view path) const = 0;
    // Removes the key with all its subkeys and values; false if it did not exist.
    virtual bool DeleteTree(RegRoot root, std::string_view path) = 0;
    // An empty name is the key's default value. The key must exist.
    virtual bool SetValue(RegRoot root, std::string_view path, std::string_view name,
                          const RegData& data) = 0;
    virtual std::optional<RegData> GetValue(RegRoot root, std::string_view path,
                                            std::string_view name) const = 0;
    virtual bool DeleteValue(RegRoot root, std::string_view path, std::string_view name) = 0;
    // Whether the key has no subkeys and no values.
    virtual bool IsKeyEmpty(RegRoot root, std::string_view path) const = 0;
};

// An in-memory registry with Windows' case-insensitive key and value names.
class MemoryRegistry final : public Registry {
public:
    bool CreateKey(RegRoot root, std::string_view path) override;
    bool KeyExists(RegRoot root, std::string_view path) const override;
    bool DeleteTree(RegRoot root, std::string_view path) override;
    bool SetValue(RegRoot root, std::string_view path, std::string_view name,
                  const RegData& data) override;
    std::optional<RegData> GetValue(RegRoot root, std::string_view path,
                                    std::string_view name) const override;
    bool DeleteValue(RegRoot root, std::string_view path, std::string_view name) override;
    bool IsKeyEmpty(RegRoot root, std::string_view path) const override;

    // Makes every later write fail, as a key without write access does.
    void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }

private:
    struct Key {
        std::map<std::string, std::unique_ptr<Key>, LessNoCase> subkeys;
        std::map<std::string, RegData, LessNoCase> values;
    };
    Key* Find(RegRoot root, std::string_view path) const;

    std::map<RegRoot, std::unique_ptr<Key>> roots_;
    bool readOnly_ = false;
};

// Splits "A\\B\\C" into its non-empty parts.
std::vector<std::string> SplitKeyPath(std::string_view path);

} // namespace qlx
