#pragma once
// `CSettings`: the tray program's options, counters, minibar position and
// pop-up history. Values live under "Software\Quellix\Options" of the
// current user; the history in "history.lst" of the data folder.
#include <cstdint>
#include <string>

#include "common/core/registry_model.h"
#include "tray/core/history.h"
#include "tray/core/os_version.h"

namespace qlx::tray {

class Clock;
class FileStore;

inline constexpr const char* kOptionsKeyPath = "Software\\Quellix\\Options";
inline constexpr const char* kHistoryFileName = "history.lst";

// Where the program runs, as the Win32 shell computes it at load.
struct SettingsPlace {
    std::string programFolder;   // with its trailing backslash
    std::string programFileName; // e.g. "QLX.exe"
    std::string dataFolder;
    std::string historyFile; // "history.lst" inside the data folder
    OsVersion os;
};

class CSettings {
public:
    // Factory values; `soundFile` is the default `SoundFileName`.
    static CSettings FactoryDefaults(std::string soundFile);

    // Blocking on, minibar shown and not compact, every other option from
    // `defaults`, ready flag clear.
    void Construct(const CSettings& defaults);
    // Every option back to its default; the blocking and minibar switches,
    // the counters and `today_time` keep their values.
    void ResetToDefaults(const CSettings& defaults);
    // Creates or opens the options key; later reads and writes go there.
    bool Open(Registry& registry, RegRoot root, std::string path);
    // Takes the folders, reads every value (the default where a value is
    // missing or malformed) and reads the history file.
    void Load(const CSettings& defaults, const SettingsPlace& place, FileStore& files);
    void Save();
    void ApplyRunKey();
    void SaveAndApply();
    // Only after a full start (ready flag): values, Run entry, history file.
    // A history file that could not be read whole is left as it was.
    void SaveOnExit();
    // Every persisted field; not the history, key, folders or ready flag.
    void CopyFrom(const CSettings& other);
    // The day roll-over, then the blocked-today counter.
    uint32_t TodayCount(const Clock& clock);
    uint32_t TotalCount() const { return PopupBlockedTotal_Count; }

    void SetReady(bool ready) { ready_ = ready; }
    bool IsReady() const { return ready_; }
    bool IsHistoryWritable() const { return historyWritable_; }
    const SettingsPlace& Place() const { return place_; }

    // The options, in declaration order.
    bool BlockPopup = true;
    bool StartWithStartup = true;
    bool BlinkTrayIcon = true;
    bool ShowToolTip = true;
    uint32_t ShowToolTip_Time = 5;
    bool BeepViaPCSpeaker = false;
    bool PlaySoundFile = false;
    std::string SoundFileName;
    bool AllowPopup_PressButton = true;
    uint32_t AllowButtonNumber = 3; // 1 Alt, 2 Shift, 3 Ctrl, 0 off
    bool UpdateOnStartup = true;
    bool AllowRequestedPopup = false; // notifications suppressed
    bool Normalization = true;
    bool AddMenu = true;
    bool AddBorder = true;
    bool FitPopup = true;
    bool BlockDomain = true;
    uint32_t BlockDomain_Count = 2;
    bool StartBlocking = true;
    uint32_t StartBlocking_Count = 2;
    bool ShowMiniBar = true;
    bool MiniBarCompact = false;
    uint32_t PopupBlockedTotal_Count = 0;
    uint32_t PopupBlockedToday_Count = 0;
    std::string today_time;
    uint32_t minibar_dx = 352;
    uint32_t minibar_dy = 0;
    History history;

    // Calls f(name, member pointer) for every registry value, in the order
    // in which they are read and saved.
    template <typename F> static void ForEachValue(F&& f) {
        f("StartWithStartup", &CSettings::StartWithStartup);
        f("BlinkTrayIcon", &CSettings::BlinkTrayIcon);
        f("ShowToolTip", &CSettings::ShowToolTip);
        f("ShowToolTip_Time", &CSettings::ShowToolTip_Time);
        f("BeepViaPCSpeaker", &CSettings::BeepViaPCSpeaker);
        f("PlaySoundFile", &CSettings::PlaySoundFile);
        f("SoundFileName", &CSettings::SoundFileName);
        f("AllowPopup_PressButton", &CSettings::AllowPopup_PressButton);
        f("AllowButtonNumber", &CSettings::AllowButtonNumber);
        f("UpdateOnStartup", &CSettings::UpdateOnStartup);
        f("AllowRequestedPopup", &CSettings::AllowRequestedPopup);
        f("Normalization", &CSettings::Normalization);
        f("AddMenu", &CSettings::AddMenu);
        f("AddBorder", &CSettings::AddBorder);
        f("FitPopup", &CSettings::FitPopup);
        f("BlockDomain", &CSettings::BlockDomain);
        f("BlockDomain_Count", &CSettings::BlockDomain_Count);
        f("StartBlocking", &CSettings::StartBlocking);
        f("StartBlocking_Count", &CSettings::StartBlocking_Count);
        f("BlockPopup", &CSettings::BlockPopup);
        f("ShowMiniBar", &CSettings::ShowMiniBar);
        f("MiniBarCompact", &CSettings::MiniBarCompact);
        f("PopupBlockedTotal_Count", &CSettings::PopupBlockedTotal_Count);
        f("PopupBlockedToday_Count", &CSettings::PopupBlockedToday_Count);
        f("today_time", &CSettings::today_time);
        f("minibar_dx", &CSettings::minibar_dx);
        f("minibar_dy", &CSettings::minibar_dy);
    }

private:
    bool ready_ = false;
    Registry* registry_ = nullptr;
    RegRoot root_ = RegRoot::CurrentUser;
    std::string keyPath_;
    bool keyOpen_ = false;
    FileStore* files_ = nullptr;
    SettingsPlace place_;
    bool historyWritable_ = true;
};

// Value rules, shared with the tests: a DWORD of exactly 4 bytes; a string
// of at most 260 bytes, REG_SZ or expandable, ending with a zero byte.
bool ReadBoolValue(const std::optional<RegData>& data, bool fallback);
uint32_t ReadNumberValue(const std::optional<RegData>& data, uint32_t fallback);
std::string ReadStringValue(const std::optional<RegData>& data, const std::string& fallback);

inline constexpr size_t kMaxStringValueBytes = 260;
inline constexpr const char* kProductName = "Quellix";

} // namespace qlx::tray
