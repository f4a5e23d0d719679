#include "tray/core/system_integration.h"

namespace qlx::tray {

namespace {

bool HasNonEmptyValue(const Registry& registry, RegRoot root, const std::string& name) {
    auto value = registry.GetValue(root, kRunKeyPath, name);
    return value && !value->bytes.empty() && value->bytes.front() != 0;
}

bool WriteRunValue(Registry& registry, RegRoot root, const std::string& name,
                   const std::string& exePath) {
    return registry.CreateKey(root, kRunKeyPath) &&
           registry.SetValue(root, kRunKeyPath, name, RegData::String("\"" + exePath + "\""));
}

} // namespace

void ApplyRunKey(Registry& registry, bool startWithWindows, const std::string& valueName,
                 const std::string& exePath) {
    if (startWithWindows) {
        if (HasNonEmptyValue(registry, RegRoot::LocalMachine, valueName)) {
            return;
        }
        if (!WriteRunValue(registry, RegRoot::LocalMachine, valueName, exePath)) {
            WriteRunValue(registry, RegRoot::CurrentUser, valueName, exePath);
        }
        return;
    }
    registry.DeleteValue(RegRoot::CurrentUser, kRunKeyPath, valueName);
    registry.DeleteValue(RegRoot::LocalMachine, kRunKeyPath, valueName);
}

void DisableBrowserPopupManager(Registry& registry) {
    if (!registry.KeyExists(RegRoot::CurrentUser, kBrowserNewWindowsPath)) {
        return;
    }
    for (const char* name : {"FirstTime", "BlockUserInit", "PopupMgr"}) {
        registry.SetValue(RegRoot::CurrentUser, kBrowserNewWindowsPath, name,
                          RegData::String("no"));
    }
}

} // namespace qlx::tray
