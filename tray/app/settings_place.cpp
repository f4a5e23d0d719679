#include "tray/app/settings_place.h"

#include <windows.h>
#include <shlobj.h>

#include "common/win32/registrar.h"

namespace qlx::tray {

namespace {

bool EnsureFolder(const std::string& folder) {
    if (::CreateDirectoryA(folder.c_str(), nullptr)) {
        return true;
    }
    const DWORD attributes = ::GetFileAttributesA(folder.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

OsVersion ReadOsVersion() {
    OsVersion version; // the 9x family when it cannot be read
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (::GetVersionExA(&info)) {
        version.major = info.dwMajorVersion;
        version.minor = info.dwMinorVersion;
        version.build = info.dwBuildNumber;
        version.platform = static_cast<OsPlatform>(info.dwPlatformId);
        version.servicePack = info.szCSDVersion;
    }
    return version;
}

} // namespace

SettingsPlace ComputeSettingsPlace(const std::string& productName) {
    SettingsPlace place;
    const std::string exe = ModulePath(nullptr);
    const size_t slash = exe.rfind('\\');
    place.programFolder = slash == std::string::npos ? std::string() : exe.substr(0, slash + 1);
    place.programFileName = slash == std::string::npos ? exe : exe.substr(slash + 1);

    char appData[MAX_PATH] = {};
    if (::SHGetSpecialFolderPathA(nullptr, appData, CSIDL_APPDATA, TRUE) &&
        EnsureFolder(std::string(appData) + "\\" + productName)) {
        place.dataFolder = std::string(appData) + "\\" + productName;
    } else if (EnsureFolder(place.programFolder + "Settings")) {
        place.dataFolder = place.programFolder + "Settings";
    } else {
        place.dataFolder = place.programFolder;
    }
    if (!place.dataFolder.empty() && place.dataFolder.back() == '\\') {
        place.dataFolder.pop_back();
    }
    place.historyFile = place.dataFolder + "\\" + kHistoryFileName;
    place.os = ReadOsVersion();
    return place;
}

std::string DefaultSoundFile() {
    char windows[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryA(windows, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return {};
    }
    const std::string path = std::string(windows) + "\\Media\\ding.wav";
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES ? path : std::string();
}

} // namespace qlx::tray
