#pragma once
// What the update session needs from the system, behind one seam: the
// Win32 shell implements it for real, the unit tests with a fake.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "common/core/registry_model.h"

namespace qlx::updater {

struct OsVersion {
    uint32_t platformId = 2;
    uint32_t major = 0, minor = 0, build = 0;
    bool extended = false; // the service-pack numbers below are known
    uint32_t servicePackMajor = 0, servicePackMinor = 0;
};

// A process or a named event that can be waited for.
class Waitable {
public:
    virtual ~Waitable() = default;
    // True once it is signalled (or the process ended) within `ms`.
    virtual bool Wait(uint32_t ms) = 0;
};

class NamedEvent : public Waitable {
public:
    // 0, or the system's error code.
    virtual uint32_t Set(bool reset) = 0;
};

struct InstallResult {
    uint32_t error = 0; // 0 when the file was installed (or queued)
    bool inUse = false; // queued for the next restart because the target is in use
};

enum class InstanceEvent { Created, AlreadyExists, Failed };

class UpdaterPlatform {
public:
    virtual ~UpdaterPlatform() = default;

    // The process command line, when the system gives one.
    virtual std::optional<std::string> CommandLine() = 0;
    // The updater's own folder, ending with "\".
    virtual std::string ProgramDirectory() = 0;
    virtual qlx::Registry& SystemRegistry() = 0;

    // A referenced file: attributes set to normal first, then read whole.
    virtual std::optional<std::string> ReadReferencedFile(const std::string& path) = 0;
    // The whole file, or nothing and the system's error code in `*error`
    // (which may be null).
    virtual std::optional<std::string> ReadTextFile(const std::string& path, uint32_t* error) = 0;
    // Replaces the file's content whole, so that a crash leaves the old or
    // the new content: 0 or the system's error code.
    virtual uint32_t ReplaceTextFile(const std::string& path, std::string_view text) = 0;
    virtual bool FileExists(const std::string& path) = 0;
    // 0, or the system's error code.
    virtual uint32_t DeleteFile(const std::string& path) = 0;

    // The special-folder variables ("CSIDL_..." names) that resolve.
    virtual std::vector<std::pair<std::string, std::string>> FolderVariables() = 0;
    virtual OsVersion GetOsVersion() = 0;

    // The cross-process termination event: 0 or the error code.
    virtual uint32_t CreateTerminationEvent() = 0;
    virtual bool TerminationSignalled() = 0;
    // Waits up to `ms`; true as soon as the termination event is signalled.
    virtual bool WaitForTermination(uint32_t ms) = 0;

    // The per-product single-instance event and its registered message.
    virtual InstanceEvent CreateInstanceEvent(const std::string& name) = 0;
    virtual void RegisterMessage(const std::string& name) = 0;
    virtual void BroadcastMessage(const std::string& name, uintptr_t wParam, intptr_t lParam) = 0;

    virtual InstallResult InstallFile(const std::string& source, const std::string& target) = 0;
    // The started process (to wait for), or nothing with the error code.
    virtual std::unique_ptr<Waitable>
    StartProcess(const std::string& commandLine, const std::string& directory, uint32_t* error) = 0;
    virtual std::unique_ptr<NamedEvent> OpenEvent(const std::string& name) = 0;
    virtual uint32_t Random() = 0;
};

// The engine's calls to the windows of the user-interface thread.
class UpdaterNotifications {
public:
    virtual ~UpdaterNotifications() = default;
    virtual void Begin(const std::string& caption) = 0;
    virtual void End() = 0;
    virtual void SetText(const std::string& text, int number) = 0;
    virtual void HideConnecting() = 0;
    virtual void ShowConnecting() = 0;
    virtual void Progress(int overallPercent, int filePercent) = 0;
    virtual void HideProgress() = 0;
    virtual void OpenAddress(const std::string& address) = 0;
    virtual void SessionEnded(int32_t returnCode) = 0;
    virtual void SetProgressLines(const std::string& first, const std::string& second,
                                  const std::string& third) = 0;
    virtual void FinalMessage(int stringId) = 0;
    virtual void PhaseStarts(bool downloading) = 0;
    virtual void LanguageStepFinished() = 0;
    virtual void SetTitle(const std::string& title) = 0;
};

} // namespace qlx::updater
