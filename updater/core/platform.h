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
#include "updater/core/language_packs.h"
#include "updater/core/log_line.h"
#include "updater/core/signature_verifier.h"

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

// How a request reaches its server: over TLS (port 443 unless the address
// names one) or plain (port 80 unless the address names one).
enum class HttpMode { Secure, Plain };

// A sent HTTP request whose answer is read.
class HttpRequest {
public:
    virtual ~HttpRequest() = default;
    // The numeric status, or nothing when the system cannot tell it.
    virtual std::optional<uint32_t> Status() = 0;
    // Up to `size` bytes: true with `*read` (0 at the end of the answer), or
    // false with the system's error code in `*error`.
    virtual bool Read(char* buffer, uint32_t size, uint32_t* read, uint32_t* error) = 0;
};

// A file being written: 0 or the system's error code.
class OutputFile {
public:
    virtual ~OutputFile() = default;
    virtual uint32_t Write(std::string_view bytes) = 0;
};

struct TraceHop {
    uint32_t responder = 0; // host-order IPv4 address
    uint32_t ms = 0;
};

// The network as the diagnostic report sees it.
class NetworkProbe {
public:
    virtual ~NetworkProbe() = default;
    // A host name's IPv4 address (host order), or nothing when it is unknown.
    virtual std::optional<uint32_t> Resolve(const std::string& host) = 0;
    // The hops to `address` from a worker that may run at most `limitMs`;
    // nothing when it had to be stopped.
    virtual std::optional<std::vector<TraceHop>> Trace(uint32_t address, uint32_t limitMs) = 0;
    // Pings every target in rounds and writes each result line to `report`.
    virtual void Ping(const std::vector<std::pair<std::string, uint32_t>>& targets,
                      LogSink& report) = 0;
};

// The clock and the termination event, which every long step of a session
// watches, and the engine thread's window messages.
class SessionClock {
public:
    virtual ~SessionClock() = default;
    // Milliseconds since the system started.
    virtual uint64_t Milliseconds() = 0;
    virtual void Sleep(uint32_t ms) = 0;
    virtual bool TerminationSignalled() = 0;
    // Dispatches the engine thread's pending window messages.
    virtual void PumpMessages() = 0;
};

// What a server exchange needs: HTTP requests and their answers.
class ExchangePlatform {
public:
    virtual ~ExchangePlatform() = default;
    // Whether the system can split `address` into host and path.
    virtual bool SplitsAddress(const std::string& address) = 0;
    // Connects, opens a GET request (HTTP/1.0, no cache) and sends it. In
    // the secure mode the server's certificate must be valid: no error of it
    // is ever let through. Null, with the system's error code in `*error`,
    // when any step fails.
    virtual std::unique_ptr<HttpRequest> OpenHttp(const std::string& address, HttpMode mode,
                                                  uint32_t* error) = 0;
    // The whole address opened in one call: the last resort.
    virtual std::unique_ptr<HttpRequest> OpenAddress(const std::string& address, HttpMode mode,
                                                     uint32_t* error) = 0;
};

// What the downloads of a session need: their folder, their files and the
// hashes that verify them.
class DownloadPlatform {
public:
    virtual ~DownloadPlatform() = default;
    // The whole file, or nothing and the system's error code in `*error`
    // (which may be null).
    virtual std::optional<std::string> ReadTextFile(const std::string& path, uint32_t* error) = 0;
    virtual bool FileExists(const std::string& path) = 0;
    // 0, or the system's error code.
    virtual uint32_t DeleteFile(const std::string& path) = 0;
    // A copy of `source` at `target` (replaced): 0 or the system's error code.
    virtual uint32_t CopyFile(const std::string& source, const std::string& target) = 0;
    virtual uint32_t Random() = 0;
    virtual void DebugOutput(const std::string& text) = 0;
    // A new folder that only the current user, SYSTEM and the
    // Administrators may enter: 0, 183 when it existed already, or the
    // system's error code.
    virtual uint32_t CreateDirectory(const std::string& path) = 0;
    virtual uint32_t RemoveDirectory(const std::string& path) = 0;
    // Bytes free for this user on the drive of `path`.
    virtual std::optional<uint64_t> FreeBytes(const std::string& path, uint32_t* error) = 0;
    // The absolute path the system makes of `path`, or nothing.
    virtual std::optional<std::string> FullPath(const std::string& path) = 0;
    // The roots ("C:\") of the fixed drives, in the system's order.
    virtual std::optional<std::vector<std::string>> FixedDrives(uint32_t* error) = 0;
    // A new, empty file (any old one replaced).
    virtual std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path,
                                                         uint32_t* error) = 0;
    // The CRC-32 of a whole file, or nothing when it cannot be read.
    virtual std::optional<uint32_t> FileCrc(const std::string& path) = 0;
    // The SHA-256 of a whole file, or nothing when it cannot be read.
    virtual std::optional<Sha256Digest> FileSha256(const std::string& path) = 0;
    // The system's hashes and signature checks.
    virtual SignatureVerifier& Verifier() = 0;
};

// The whole system as a session sees it: the narrow parts above, and the
// rest for the options, the script and the diagnostics.
class UpdaterPlatform : public SessionClock, public ExchangePlatform, public DownloadPlatform {
public:
    // The process command line, when the system gives one.
    virtual std::optional<std::string> CommandLine() = 0;
    // The updater's own folder, ending with "\".
    virtual std::string ProgramDirectory() = 0;
    virtual qlx::Registry& SystemRegistry() = 0;

    // A referenced file: attributes set to normal first, then read whole.
    virtual std::optional<std::string> ReadReferencedFile(const std::string& path) = 0;
    // Replaces the file's content whole, so that a crash leaves the old or
    // the new content: 0 or the system's error code.
    virtual uint32_t ReplaceTextFile(const std::string& path, std::string_view text) = 0;

    // The special-folder variables ("CSIDL_..." names) that resolve.
    virtual std::vector<std::pair<std::string, std::string>> FolderVariables() = 0;
    virtual OsVersion GetOsVersion() = 0;

    // The cross-process termination event: 0 or the error code.
    virtual uint32_t CreateTerminationEvent() = 0;
    // Waits up to `ms`; true as soon as the termination event is signalled.
    virtual bool WaitForTermination(uint32_t ms) = 0;

    // The per-product single-instance event and its registered message.
    virtual InstanceEvent CreateInstanceEvent(const std::string& name) = 0;
    virtual void RegisterMessage(const std::string& name) = 0;
    virtual void BroadcastMessage(const std::string& name, uintptr_t wParam, intptr_t lParam) = 0;

    virtual InstallResult InstallFile(const std::string& source, const std::string& target) = 0;
    // Renames `source` to `target` in one step, replacing it: 0 or the error.
    virtual uint32_t MoveFile(const std::string& source, const std::string& target) = 0;
    // The started process (to wait for), or nothing with the error code.
    virtual std::unique_ptr<Waitable>
    StartProcess(const std::string& commandLine, const std::string& directory, uint32_t* error) = 0;
    virtual std::unique_ptr<NamedEvent> OpenEvent(const std::string& name) = 0;

    // The diagnostic report's file and network.
    virtual std::unique_ptr<LogSink> OpenReport(const std::string& path) = 0;
    virtual NetworkProbe& Network() = 0;
};

// The engine's calls to the windows of the user-interface thread.
class UpdaterNotifications {
public:
    virtual ~UpdaterNotifications() = default;
    virtual void Begin(const std::string& caption) = 0;
    // The session's appearance (0 normal, 1 invisible, 2 stealth), once the
    // options are read.
    virtual void SetAppearance(int appearance) = 0;
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
    // A message of the server's answer ("Text" line), shown at the end.
    virtual void ShowMessage(const std::string& title, const std::string& message) = 0;
    // The user's choice among `packs` (its code), or empty when none was
    // chosen; `current` is the code of the language in use.
    virtual std::string ChooseLanguage(const std::string& title,
                                       const std::vector<LanguagePack>& packs,
                                       const std::string& current) = 0;
    // The notice that the chosen language is installed.
    virtual void LanguageChanged() = 0;
};

} // namespace qlx::updater
