#include "common/win32/win32_registry.h"

#include <algorithm>
#include <string>

#include "common/win32/text_conv.h"
#include "common/win32/unique_handle.h"

namespace qlx {

namespace {

UniqueHKey OpenKey(RegRoot root, const std::wstring& path, REGSAM access) {
    UniqueHKey key;
    if (::RegOpenKeyExW(RootKey(root), path.c_str(), 0, access, key.put()) != ERROR_SUCCESS) {
        key.reset();
    }
    return key;
}

bool IsText(RegType type) {
    return type == RegType::String || type == RegType::ExpandString;
}

} // namespace

std::wstring Win32Registry::Wide(std::string_view text) const {
    return AnsiToWide(text, codePage_);
}

HKEY RootKey(RegRoot root) noexcept {
    switch (root) {
    case RegRoot::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    case RegRoot::CurrentUser:
        return HKEY_CURRENT_USER;
    case RegRoot::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    case RegRoot::Users:
        return HKEY_USERS;
    }
    return HKEY_CURRENT_USER;
}

bool Win32Registry::CreateKey(RegRoot root, std::string_view path) {
    UniqueHKey key;
    const std::wstring p = Wide(path);
    return ::RegCreateKeyExW(RootKey(root), p.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_READ | KEY_WRITE | view_, nullptr, key.put(),
                             nullptr) == ERROR_SUCCESS;
}

bool Win32Registry::KeyExists(RegRoot root, std::string_view path) const {
    return static_cast<bool>(OpenKey(root, Wide(path), KEY_READ | view_));
}

bool Win32Registry::DeleteTree(RegRoot root, std::string_view path) {
    if (path.empty()) {
        return false;
    }
    const std::wstring p = Wide(path);
    // RegDeleteTree removes the contents; the key itself goes separately.
    UniqueHKey key = OpenKey(root, p, KEY_ALL_ACCESS | view_);
    if (!key) {
        return false;
    }
    ::RegDeleteTreeW(key.get(), nullptr);
    key.reset();
    return ::RegDeleteKeyExW(RootKey(root), p.c_str(), view_, 0) == ERROR_SUCCESS;
}

bool Win32Registry::SetValue(RegRoot root, std::string_view path, std::string_view name,
                             const RegData& data) {
    UniqueHKey key = OpenKey(root, Wide(path), KEY_SET_VALUE | view_);
    if (!key) {
        return false;
    }
    const std::wstring n = Wide(name);
    const BYTE* bytes = data.bytes.data();
    size_t size = data.bytes.size();
    std::wstring text;
    if (IsText(data.type)) {
        // The narrow bytes (terminator included, when there is one) in UTF-16.
        text = AnsiToWide(std::string_view(reinterpret_cast<const char*>(bytes), size), codePage_);
        bytes = reinterpret_cast<const BYTE*>(text.data());
        size = text.size() * sizeof(wchar_t);
    }
    return ::RegSetValueExW(key.get(), n.empty() ? nullptr : n.c_str(), 0,
                            static_cast<DWORD>(data.type), bytes,
                            static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

std::optional<RegData> Win32Registry::GetValue(RegRoot root, std::string_view path,
                                               std::string_view name) const {
    UniqueHKey key = OpenKey(root, Wide(path), KEY_QUERY_VALUE | view_);
    if (!key) {
        return std::nullopt;
    }
    const std::wstring n = Wide(name);
    const wchar_t* valueName = n.empty() ? nullptr : n.c_str();
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (::RegQueryValueExW(key.get(), valueName, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        RegData data;
        data.bytes.resize(size);
        LONG rc =
            ::RegQueryValueExW(key.get(), valueName, nullptr, &type, data.bytes.data(), &size);
        if (rc == ERROR_MORE_DATA) {
            continue; // the value grew between the two calls
        }
        if (rc != ERROR_SUCCESS) {
            return std::nullopt;
        }
        data.bytes.resize(size);
        data.type = static_cast<RegType>(type);
        if (IsText(data.type)) {
            // Back to narrow text, terminator (if stored) included.
            std::wstring text(size / sizeof(wchar_t), L'\0');
            std::copy_n(data.bytes.data(), text.size() * sizeof(wchar_t),
                        reinterpret_cast<BYTE*>(text.data()));
            const std::string narrow = WideToAnsi(text, codePage_);
            data.bytes.assign(narrow.begin(), narrow.end());
        }
        return data;
    }
    return std::nullopt;
}

bool Win32Registry::DeleteValue(RegRoot root, std::string_view path, std::string_view name) {
    UniqueHKey key = OpenKey(root, Wide(path), KEY_SET_VALUE | view_);
    const std::wstring n = Wide(name);
    return key && ::RegDeleteValueW(key.get(), n.c_str()) == ERROR_SUCCESS;
}

bool Win32Registry::IsKeyEmpty(RegRoot root, std::string_view path) const {
    UniqueHKey key = OpenKey(root, Wide(path), KEY_READ | view_);
    DWORD subkeys = 0;
    DWORD values = 0;
    return key &&
           ::RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                              &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys == 0 && values == 0;
}

} // namespace qlx
