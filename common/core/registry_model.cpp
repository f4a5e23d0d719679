#include "common/core/registry_model.h"

namespace qlx {

RegData RegData::Dword(uint32_t v) {
    RegData d;
    d.type = RegType::Dword;
    d.bytes = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
               static_cast<uint8_t>(v >> 24)};
    return d;
}

RegData RegData::String(std::string_view s, RegType type) {
    RegData d;
    d.type = type;
    d.bytes.assign(s.begin(), s.end());
    d.bytes.push_back(0);
    return d;
}

std::vector<std::string> SplitKeyPath(std::string_view path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        if (end > start) {
            parts.emplace_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return parts;
}

MemoryRegistry::Key* MemoryRegistry::Find(RegRoot root, std::string_view path) const {
    auto it = roots_.find(root);
    if (it == roots_.end()) {
        return nullptr;
    }
    Key* key = it->second.get();
    for (const auto& part : SplitKeyPath(path)) {
        auto sub = key->subkeys.find(part);
        if (sub == key->subkeys.end()) {
            return nullptr;
        }
        key = sub->second.get();
    }
    return key;
}

bool MemoryRegistry::CreateKey(RegRoot root, std::string_view path) {
    if (readOnly_) {
        return KeyExists(root, path);
    }
    auto& top = roots_[root];
    if (!top) {
        top = std::make_unique<Key>();
    }
    Key* key = top.get();
    for (const auto& part : SplitKeyPath(path)) {
        auto& sub = key->subkeys[part];
        if (!sub) {
            sub = std::make_unique<Key>();
        }
        key = sub.get();
    }
    return true;
}

bool MemoryRegistry::KeyExists(RegRoot root, std::string_view path) const {
    return Find(root, path) != nullptr;
}

bool MemoryRegistry::DeleteTree(RegRoot root, std::string_view path) {
    auto parts = SplitKeyPath(path);
    if (readOnly_ || parts.empty()) {
        return false;
    }
    const std::string leaf = parts.back();
    parts.pop_back();
    std::string parentPath;
    for (const auto& p : parts) {
        parentPath += p + "\\";
    }
    Key* parent = Find(root, parentPath);
    return parent != nullptr && parent->subkeys.erase(leaf) > 0;
}

bool MemoryRegistry::SetValue(RegRoot root, std::string_view path, std::string_view name,
                              const RegData& data) {
    Key* key = Find(root, path);
    if (readOnly_ || key == nullptr) {
        return false;
    }
    key->values[std::string(name)] = data;
    return true;
}

std::optional<RegData> MemoryRegistry::GetValue(RegRoot root, std::string_view path,
                                                std::string_view name) const {
    const Key* key = Find(root, path);
    if (key == nullptr) {
        return std::nullopt;
    }
    auto it = key->values.find(name);
    if (it == key->values.end()) {
        return std::nullopt;
    }
    return it->second;
}

bool MemoryRegistry::DeleteValue(RegRoot root, std::string_view path, std::string_view name) {
    Key* key = Find(root, path);
    if (readOnly_ || key == nullptr) {
        return false;
    }
    auto it = key->values.find(name);
    if (it == key->values.end()) {
        return false;
    }
    key->values.erase(it);
    return true;
}

bool MemoryRegistry::IsKeyEmpty(RegRoot root, std::string_view path) const {
    const Key* key = Find(root, path);
    return key != nullptr && key->subkeys.empty() && key->values.empty();
}

} // namespace qlx
