#pragma once
// The update session's view of the real system.
#include <windows.h>

#include <atomic>

#include "common/win32/unique_handle.h"
#include "common/win32/win32_registry.h"
#include "updater/core/platform.h"

namespace qlx::updater {

class Win32Platform final : public UpdaterPlatform {
public:
    // `instanceMessage` receives the number of the registered message by
    // which a second updater for the same product speaks to this one.
    explicit Win32Platform(std::atomic<UINT>& instanceMessage);

    std::optional<std::string> CommandLine() override;
    std::string ProgramDirectory() override;
    qlx::Registry& SystemRegistry() override { return registry_; }
    std::optional<std::string> ReadReferencedFile(const std::string& path) override;
    std::optional<std::string> ReadTextFile(const std::string& path, uint32_t* error) override;
    uint32_t ReplaceTextFile(const std::string& path, std::string_view text) override;
    bool FileExists(const std::string& path) override;
    uint32_t DeleteFile(const std::string& path) override;
    std::vector<std::pair<std::string, std::string>> FolderVariables() override;
    OsVersion GetOsVersion() override;
    uint32_t CreateTerminationEvent() override;
    bool TerminationSignalled() override;
    bool WaitForTermination(uint32_t ms) override;
    InstanceEvent CreateInstanceEvent(const std::string& name) override;
    void RegisterMessage(const std::string& name) override;
    void BroadcastMessage(const std::string& name, uintptr_t wParam, intptr_t lParam) override;
    InstallResult InstallFile(const std::string& source, const std::string& target) override;
    std::unique_ptr<Waitable> StartProcess(const std::string& commandLine,
                                           const std::string& directory, uint32_t* error) override;
    std::unique_ptr<NamedEvent> OpenEvent(const std::string& name) override;
    uint32_t Random() override;

private:
    Win32Registry registry_;
    std::atomic<UINT>& instanceMessage_;
    UniqueHandle termination_;
    UniqueHandle instance_;
};

} // namespace qlx::updater
