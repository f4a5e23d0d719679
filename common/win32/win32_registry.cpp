#include "common/win32/win32_registry.h"

#include <string>

#include "common/win32/unique_handle.h"

namespace qlx {

namespace {

UniqueHKey OpenKey(RegRoot root, std::string_view path, REGSAM access) {
    UniqueHKey key;
    const std::string p(path);
    if (::RegOpenKeyExA(RootKey(root), p.c_str(), 0, access, key.put()) != ERROR_SUCCESS) {
        key.reset();
    }
    return key;
}

} // namespace

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
    const std::string p(path);
    return ::RegCreateKeyExA(RootKey(root), p.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                             KEY_READ | KEY_WRITE | view_, nullptr, key.put(),
                             nullptr) == ERROR_SUCCESS;
}

bool Win32Registry::KeyExists(RegRoot root, std::string_view path) const {
    return static_cast<bool>(OpenKey(root, path, KEY_READ | view_));
}

bool Win32Registry::DeleteTree(RegRoot root, std::string_view path) {
    if (path.empty()) {
        return false;
    }
    const std::string p(path);
    // RegDeleteTree removes the contents; the key itself goes separately.
    UniqueHKey key = OpenKey(root, path, KEY_ALL_ACCESS | view_);
    if (!key) {
        return false;
    }
    ::RegDeleteTreeA(key.get(), nullptr);
    key.reset();
    return ::RegDeleteKeyExA(RootKey(root), p.c_str(), view_, 0) == ERROR_SUCCESS;
}

bool Win32Registry::SetValue(RegRoot root, std::string_view path, std::string_view name,
                             const RegData& data) {
    UniqueHKey key = OpenKey(root, path, KEY_SET_VALUE | view_);
    if (!key) {
        return false;
    }
    const std::string n(name);
    return ::RegSetValueExA(key.get(), n.empty() ? nullptr : n.c_str(), 0,
                            static_cast<DWORD>(data.type), data.bytes.data(),
                            static_cast<DWORD>(data.bytes.size())) == ERROR_SUCCESS;
}

std::optional<RegData> Win32Registry::GetValue(RegRoot root, std::string_view path,
                                               std::string_view name) const {
    UniqueHKey key = OpenKey(root, path, KEY_QUERY_VALUE | view_);
    if (!key) {
        return std::nullopt;
    }
    const std::string n(name);
    const char* valueName = n.empty() ? nullptr : n.c_str();
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (::RegQueryValueExA(key.get(), valueName, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        RegData data;
        data.bytes.resize(size);
        LONG rc =
            ::RegQueryValueExA(key.get(), valueName, nullptr, &type, data.bytes.data(), &size);
        if (rc == ERROR_MORE_DATA) {
            continue; // the value grew between the two calls
        }
        if (rc != ERROR_SUCCESS) {
            return std::nullopt;
        }
        data.bytes.resize(size);
        data.type = static_cast<RegType>(type);
        return data;
    }
    return std::nullopt;
}

bool Win32Registry::DeleteValue(RegRoot root, std::string_view path, std::string_view name) {
    UniqueHKey key = OpenKey(root, path, KEY_SET_VALUE | view_);
    const std::string n(name);
    return key && ::RegDeleteValueA(key.get(), n.c_str()) == ERROR_SUCCESS;
}

bool Win32Registry::IsKeyEmpty(RegRoot root, std::string_view path) const {
    UniqueHKey key = OpenKey(root, path, KEY_READ | view_);
    DWORD subkeys = 0;
    DWORD values = 0;
    return key &&
           ::RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                              &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subkeys == 0 && values == 0;
}

} // namespace qlx
