#include "tray/core/settings.h"

#include <type_traits>

#include "tray/core/local_clock.h"
#include "tray/core/system_integration.h"

namespace qlx::tray {

namespace {

std::optional<uint32_t> DwordOf(const std::optional<RegData>& data) {
    if (!data || data->type != RegType::Dword || data->bytes.size() != 4) {
        return std::nullopt;
    }
    const auto& b = data->bytes;
    return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}

} // namespace

bool ReadBoolValue(const std::optional<RegData>& data, bool fallback) {
    auto v = DwordOf(data);
    return v ? *v != 0 : fallback;
}

uint32_t ReadNumberValue(const std::optional<RegData>& data, uint32_t fallback) {
    return DwordOf(data).value_or(fallback);
}

std::string ReadStringValue(const std::optional<RegData>& data, const std::string& fallback) {
    if (!data || (data->type != RegType::String && data->type != RegType::ExpandString)) {
        return fallback;
    }
    const auto& b = data->bytes;
    if (b.empty() || b.size() > kMaxStringValueBytes || b.back() != 0) {
        return fallback;
    }
    std::string text(b.begin(), b.end() - 1);
    return text.substr(0, text.find('\0'));
}

CSettings CSettings::FactoryDefaults(std::string soundFile) {
    CSettings defaults;
    defaults.SoundFileName = std::move(soundFile);
    return defaults;
}

void CSettings::Construct(const CSettings& defaults) {
    BlockPopup = true;
    ShowMiniBar = true;
    MiniBarCompact = false;
    ResetToDefaults(defaults);
    ready_ = false;
}

void CSettings::ResetToDefaults(const CSettings& defaults) {
    const bool blockPopup = BlockPopup;
    const bool showMiniBar = ShowMiniBar;
    const bool miniBarCompact = MiniBarCompact;
    const uint32_t total = PopupBlockedTotal_Count;
    const uint32_t today = PopupBlockedToday_Count;
    std::string day = today_time;
    CopyFrom(defaults);
    BlockPopup = blockPopup;
    ShowMiniBar = showMiniBar;
    MiniBarCompact = miniBarCompact;
    PopupBlockedTotal_Count = total;
    PopupBlockedToday_Count = today;
    today_time = std::move(day);
}

bool CSettings::Open(Registry& registry, RegRoot root, std::string path) {
    registry_ = &registry;
    keyOpen_ = false;
    if (!registry.CreateKey(root, path)) {
        return false;
    }
    root_ = root;
    keyPath_ = std::move(path);
    keyOpen_ = true;
    return true;
}

void CSettings::Load(const CSettings& defaults, const SettingsPlace& place, FileStore& files) {
    place_ = place;
    files_ = &files;
    ForEachValue([&](const char* name, auto member) {
        using T = std::remove_reference_t<decltype(this->*member)>;
        std::optional<RegData> data;
        if (keyOpen_) {
            data = registry_->GetValue(root_, keyPath_, name);
        }
        if constexpr (std::is_same_v<T, bool>) {
            this->*member = ReadBoolValue(data, defaults.*member);
        } else if constexpr (std::is_same_v<T, uint32_t>) {
            this->*member = ReadNumberValue(data, defaults.*member);
        } else {
            this->*member = ReadStringValue(data, defaults.*member);
        }
    });
    HistoryReading reading = LoadHistoryFile(files, place_.historyFile);
    history = std::move(reading.entries);
    historyWritable_ = reading.whole;
}

void CSettings::Save() {
    if (!keyOpen_) {
        return;
    }
    ForEachValue([&](const char* name, auto member) {
        using T = std::remove_reference_t<decltype(this->*member)>;
        if constexpr (std::is_same_v<T, bool>) {
            registry_->SetValue(root_, keyPath_, name, RegData::Dword(this->*member ? 1 : 0));
        } else if constexpr (std::is_same_v<T, uint32_t>) {
            registry_->SetValue(root_, keyPath_, name, RegData::Dword(this->*member));
        } else {
            registry_->SetValue(root_, keyPath_, name, RegData::String(this->*member));
        }
    });
}

void CSettings::ApplyRunKey() {
    if (registry_ == nullptr || place_.programFileName.empty()) {
        return;
    }
    tray::ApplyRunKey(*registry_, StartWithStartup, kProductName,
                      place_.programFolder + place_.programFileName);
}

void CSettings::SaveAndApply() {
    ApplyRunKey();
    Save();
}

void CSettings::SaveOnExit() {
    if (!ready_) {
        return;
    }
    Save();
    ApplyRunKey();
    if (files_ != nullptr && !place_.historyFile.empty() && historyWritable_) {
        SaveHistoryFile(*files_, place_.historyFile, history);
    }
}

void CSettings::CopyFrom(const CSettings& other) {
    ForEachValue([&](const char*, auto member) { this->*member = other.*member; });
}

uint32_t CSettings::TodayCount(const Clock& clock) {
    const std::string today = FormatDate(clock.Now());
    if (today != today_time) {
        today_time = today;
        PopupBlockedToday_Count = 0;
    }
    return PopupBlockedToday_Count;
}

} // namespace qlx::tray
