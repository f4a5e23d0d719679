#include "updater/win32/win32_platform.h"

#include <setupapi.h>
#include <shlobj.h>

#include <array>

#include "common/win32/file_replace.h"
#include <random>

namespace qlx::updater {

namespace {

// Referenced and variables files are small; anything larger is not one.
constexpr LONGLONG kMaxTextFile = 16 * 1024 * 1024;
constexpr DWORD kNetworkTimeoutMs = 30000;

class ProcessWait final : public Waitable {
public:
    explicit ProcessWait(HANDLE process) : process_(process) {}
    bool Wait(uint32_t ms) override {
        return ::WaitForSingleObject(process_.get(), ms) == WAIT_OBJECT_0;
    }

private:
    UniqueHandle process_;
};

class Win32NamedEvent final : public NamedEvent {
public:
    explicit Win32NamedEvent(HANDLE event) : event_(event) {}
    bool Wait(uint32_t ms) override {
        return ::WaitForSingleObject(event_.get(), ms) == WAIT_OBJECT_0;
    }
    uint32_t Set(bool reset) override {
        const BOOL ok = reset ? ::ResetEvent(event_.get()) : ::SetEvent(event_.get());
        return ok ? 0 : ::GetLastError();
    }

private:
    UniqueHandle event_;
};

struct FolderVariable {
    const char* name;
    int csidl;
};

constexpr std::array<FolderVariable, 32> kFolderVariables = {{
    {"CSIDL_ADMINTOOLS", CSIDL_ADMINTOOLS},
    {"CSIDL_ALTSTARTUP", CSIDL_ALTSTARTUP},
    {"CSIDL_APPDATA", CSIDL_APPDATA},
    {"CSIDL_COMMON_ADMINTOOLS", CSIDL_COMMON_ADMINTOOLS},
    {"CSIDL_COMMON_APPDATA", CSIDL_COMMON_APPDATA},
    {"CSIDL_COMMON_DESKTOPDIRECTORY", CSIDL_COMMON_DESKTOPDIRECTORY},
    {"CSIDL_COMMON_DOCUMENTS", CSIDL_COMMON_DOCUMENTS},
    {"CSIDL_COMMON_FAVORITES", CSIDL_COMMON_FAVORITES},
    {"CSIDL_COMMON_PROGRAMS", CSIDL_COMMON_PROGRAMS},
    {"CSIDL_COMMON_STARTMENU", CSIDL_COMMON_STARTMENU},
    {"CSIDL_COMMON_STARTUP", CSIDL_COMMON_STARTUP},
    {"CSIDL_COMMON_TEMPLATES", CSIDL_COMMON_TEMPLATES},
    {"CSIDL_COOKIES", CSIDL_COOKIES},
    {"CSIDL_DESKTOPDIRECTORY", CSIDL_DESKTOPDIRECTORY},
    {"CSIDL_FAVORITES", CSIDL_FAVORITES},
    {"CSIDL_FONTS", CSIDL_FONTS},
    {"CSIDL_HISTORY", CSIDL_HISTORY},
    {"CSIDL_INTERNET_CACHE", CSIDL_INTERNET_CACHE},
    {"CSIDL_LOCAL_APPDATA", CSIDL_LOCAL_APPDATA},
    {"CSIDL_MYPICTURES", CSIDL_MYPICTURES},
    {"CSIDL_NETHOOD", CSIDL_NETHOOD},
    {"CSIDL_PROFILE", CSIDL_PROFILE},
    {"CSIDL_PROGRAM_FILES", CSIDL_PROGRAM_FILES},
    {"CSIDL_PROGRAM_FILES_COMMON", CSIDL_PROGRAM_FILES_COMMON},
    {"CSIDL_PROGRAMS", CSIDL_PROGRAMS},
    {"CSIDL_RECENT", CSIDL_RECENT},
    {"CSIDL_SENDTO", CSIDL_SENDTO},
    {"CSIDL_STARTMENU", CSIDL_STARTMENU},
    {"CSIDL_STARTUP", CSIDL_STARTUP},
    {"CSIDL_SYSTEM", CSIDL_SYSTEM},
    {"CSIDL_TEMPLATES", CSIDL_TEMPLATES},
    {"CSIDL_WINDOWS", CSIDL_WINDOWS},
}};

} // namespace

Win32Platform::Win32Platform(std::atomic<UINT>& instanceMessage, std::atomic<UINT>& trayMessage)
    : instanceMessage_(instanceMessage), trayMessage_(trayMessage),
      internet_(
          ::InternetOpenA("Tarvel Updater", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0)) {
    // A server that stops answering ends its request instead of holding the
    // session: every request and download inherits these from the session.
    if (internet_) {
        for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                             INTERNET_OPTION_RECEIVE_TIMEOUT}) {
            DWORD ms = kNetworkTimeoutMs;
            ::InternetSetOptionA(internet_.get(), option, &ms, sizeof ms);
        }
    }
}

std::optional<std::string> Win32Platform::CommandLine() {
    const char* line = ::GetCommandLineA();
    if (line == nullptr || *line == '\0') {
        return std::nullopt;
    }
    return std::string(line);
}

std::string Win32Platform::ProgramDirectory() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) {
            return {};
        }
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return path.substr(0, path.find_last_of("\\/") + 1);
}

std::optional<std::string> Win32Platform::ReadReferencedFile(const std::string& path) {
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ReadTextFile(path, nullptr);
}

std::optional<std::string> Win32Platform::ReadTextFile(const std::string& path, uint32_t* error) {
    auto fail = [error](DWORD code) -> std::optional<std::string> {
        if (error) {
            *error = code;
        }
        return std::nullopt;
    };
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !::GetFileSizeEx(file.get(), &size)) {
        return fail(::GetLastError());
    }
    if (size.QuadPart > kMaxTextFile) {
        return fail(ERROR_FILE_TOO_LARGE);
    }
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!text.empty() &&
        !::ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &got, nullptr)) {
        return fail(::GetLastError());
    }
    text.resize(got);
    return text;
}

uint32_t Win32Platform::ReplaceTextFile(const std::string& path, std::string_view text) {
    if (ReplaceFileContents(path, text)) {
        return 0;
    }
    const DWORD error = ::GetLastError();
    return error != 0 ? error : static_cast<uint32_t>(ERROR_WRITE_FAULT);
}

bool Win32Platform::FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

uint32_t Win32Platform::DeleteFile(const std::string& path) {
    return ::DeleteFileA(path.c_str()) ? 0 : ::GetLastError();
}

std::vector<std::pair<std::string, std::string>> Win32Platform::FolderVariables() {
    std::vector<std::pair<std::string, std::string>> folders;
    for (const auto& folder : kFolderVariables) {
        char path[MAX_PATH] = {};
        if (::SHGetSpecialFolderPathA(nullptr, path, folder.csidl, FALSE)) {
            folders.emplace_back(folder.name, path);
        }
    }
    return folders;
}

OsVersion Win32Platform::GetOsVersion() {
    OsVersion os;
    OSVERSIONINFOEXA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info))) {
        os.extended = true;
        os.servicePackMajor = info.wServicePackMajor;
        os.servicePackMinor = info.wServicePackMinor;
    } else {
        info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
        ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&info));
    }
    os.platformId = info.dwPlatformId;
    os.major = info.dwMajorVersion;
    os.minor = info.dwMinorVersion;
    os.build = info.dwBuildNumber;
    return os;
}

uint32_t Win32Platform::CreateTerminationEvent() {
    termination_.reset(::CreateEventA(nullptr, TRUE, FALSE, "TarvelUpdaterTerminationEvent"));
    return termination_ ? 0 : ::GetLastError();
}

bool Win32Platform::TerminationSignalled() {
    return termination_ && ::WaitForSingleObject(termination_.get(), 0) == WAIT_OBJECT_0;
}

bool Win32Platform::WaitForTermination(uint32_t ms) {
    if (!termination_) {
        ::Sleep(ms);
        return false;
    }
    return ::WaitForSingleObject(termination_.get(), ms) == WAIT_OBJECT_0;
}

InstanceEvent Win32Platform::CreateInstanceEvent(const std::string& name) {
    instance_.reset(::CreateEventA(nullptr, FALSE, FALSE, name.c_str()));
    if (!instance_) {
        return InstanceEvent::Failed;
    }
    return ::GetLastError() == ERROR_ALREADY_EXISTS ? InstanceEvent::AlreadyExists
                                                    : InstanceEvent::Created;
}

void Win32Platform::RegisterMessage(const std::string& name) {
    const UINT message = ::RegisterWindowMessageA(name.c_str());
    if (name.ends_with("Updater")) {
        instanceMessage_ = message;
    } else if (name.ends_with(" Tray Message")) {
        trayMessage_ = message;
    }
}

void Win32Platform::BroadcastMessage(const std::string& name, uintptr_t wParam, intptr_t lParam) {
    ::PostMessageA(HWND_BROADCAST, ::RegisterWindowMessageA(name.c_str()), wParam, lParam);
}

InstallResult Win32Platform::InstallFile(const std::string& source, const std::string& target) {
    BOOL inUse = FALSE;
    if (!::SetupInstallFileExA(nullptr, nullptr, source.c_str(), nullptr, target.c_str(),
                               SP_COPY_SOURCE_ABSOLUTE, nullptr, nullptr, &inUse)) {
        const DWORD error = ::GetLastError();
        return {error != 0 ? error : static_cast<uint32_t>(ERROR_GEN_FAILURE), false};
    }
    return {0, inUse != FALSE};
}

uint32_t Win32Platform::CopyFile(const std::string& source, const std::string& target) {
    // Its bytes on the disk before it takes a target's place.
    if (!::CopyFileA(source.c_str(), target.c_str(), FALSE)) {
        return ::GetLastError();
    }
    UniqueHandle file(::CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        ::FlushFileBuffers(file.get());
    }
    return 0;
}

uint32_t Win32Platform::MoveFile(const std::string& source, const std::string& target) {
    return ::MoveFileExA(source.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : ::GetLastError();
}

std::unique_ptr<Waitable> Win32Platform::StartProcess(const std::string& commandLine,
                                                      const std::string& directory,
                                                      uint32_t* error) {
    std::string line = commandLine;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          directory.empty() ? nullptr : directory.c_str(), &startup, &process)) {
        *error = ::GetLastError();
        return nullptr;
    }
    ::CloseHandle(process.hThread);
    return std::make_unique<ProcessWait>(process.hProcess);
}

std::unique_ptr<NamedEvent> Win32Platform::OpenEvent(const std::string& name) {
    HANDLE event = ::OpenEventA(EVENT_ALL_ACCESS, FALSE, name.c_str());
    return event ? std::make_unique<Win32NamedEvent>(event) : nullptr;
}

uint32_t Win32Platform::Random() {
    std::random_device device;
    return device();
}

} // namespace qlx::updater
