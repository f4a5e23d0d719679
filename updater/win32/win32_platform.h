#pragma once
// The update session's view of the real system.
#include <windows.h>
#include <wininet.h>

#include <atomic>

#include "common/win32/unique_handle.h"
#include "common/win32/win32_registry.h"
#include "updater/core/platform.h"
#include "updater/win32/cng_verifier.h"
#include "updater/win32/network_probe.h"

namespace qlx::updater {

struct InternetTraits {
    static HINTERNET Invalid() noexcept { return nullptr; }
    static bool IsValid(HINTERNET h) noexcept { return h != nullptr; }
    static void Close(HINTERNET h) noexcept { ::InternetCloseHandle(h); }
};
using UniqueInternet = UniqueResource<HINTERNET, InternetTraits>;

class Win32Platform final : public UpdaterPlatform {
public:
    // `instanceMessage` receives the number of the registered message by
    // which a second updater for the same product speaks to this one, and
    // `trayMessage` that of the message posted when the user cancels.
    Win32Platform(std::atomic<UINT>& instanceMessage, std::atomic<UINT>& trayMessage);

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
    uint32_t CopyFile(const std::string& source, const std::string& target) override;
    uint32_t MoveFile(const std::string& source, const std::string& target) override;
    std::unique_ptr<Waitable> StartProcess(const std::string& commandLine,
                                           const std::string& directory, uint32_t* error) override;
    std::unique_ptr<NamedEvent> OpenEvent(const std::string& name) override;
    uint32_t Random() override;

    // The server exchange and the downloads (win32_internet.cpp).
    bool SplitsAddress(const std::string& address) override;
    std::unique_ptr<HttpRequest> OpenHttp(const std::string& address, HttpMode mode,
                                          uint32_t* error) override;
    std::unique_ptr<HttpRequest> OpenAddress(const std::string& address, HttpMode mode,
                                             uint32_t* error) override;
    uint64_t Milliseconds() override { return ::GetTickCount64(); }
    void Sleep(uint32_t ms) override { ::Sleep(ms); }
    void PumpMessages() override;
    void DebugOutput(const std::string& text) override { ::OutputDebugStringA(text.c_str()); }
    uint32_t CreateDirectory(const std::string& path) override;
    uint32_t RemoveDirectory(const std::string& path) override;
    std::optional<uint64_t> FreeBytes(const std::string& path, uint32_t* error) override;
    std::optional<std::vector<std::string>> FixedDrives(uint32_t* error) override;
    std::optional<std::string> FullPath(const std::string& path) override;
    std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path, uint32_t* error) override;
    std::optional<uint32_t> FileCrc(const std::string& path) override;
    std::optional<Sha256Digest> FileSha256(const std::string& path) override;
    SignatureVerifier& Verifier() override { return verifier_; }
    std::unique_ptr<LogSink> OpenReport(const std::string& path) override;
    NetworkProbe& Network() override { return network_; }

private:
    Win32Registry registry_;
    std::atomic<UINT>& instanceMessage_;
    std::atomic<UINT>& trayMessage_;
    UniqueHandle termination_;
    UniqueHandle instance_;
    // One Internet session for the whole process.
    UniqueInternet internet_;
    Win32NetworkProbe network_;
    CngVerifier verifier_;
};

} // namespace qlx::updater
