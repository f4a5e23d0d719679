#pragma once
// An in-memory system for the updater core's tests: files, registry, named
// events and processes, and recorders for the log and the windows.
#include <map>
#include <set>
#include <string>
#include <vector>

#include "common/core/text.h"
#include "updater/core/log_line.h"
#include "updater/core/platform.h"

namespace qlx::updater::testing {

struct FakeEvent {
    int triesBeforeCreated = 0; // failed opens before it exists
    int waitsBeforeSignalled = 0;
    std::vector<bool> sets; // true for "reset"
    uint32_t setError = 0;
};

// An address of the fake network; addresses are looked up without their
// query ("?..." part).
struct FakeServer {
    uint32_t status = 200;
    std::string body;
    bool opens = true;                 // false: no mode reaches it
    bool secure = true;                // the secure mode reaches it
    bool plain = true;                 // the plain mode reaches it
    std::optional<uint32_t> readError; // every read fails with this code
    bool statusUnknown = false;
};

class FakeNetwork final : public NetworkProbe {
public:
    std::map<std::string, uint32_t> names; // resolvable host names
    bool traceTimesOut = false;
    std::vector<std::string> pinged;
    std::optional<uint32_t> Resolve(const std::string& host) override;
    std::optional<std::vector<TraceHop>> Trace(uint32_t address, uint32_t limitMs) override;
    void Ping(const std::vector<std::pair<std::string, uint32_t>>& targets,
              LogSink& report) override;
};

// Signatures without cryptography: a key signs a digest with its digest
// followed by the key's first 32 coordinate bytes.
class FakeVerifier final : public SignatureVerifier {
public:
    int verified = 0;
    static Sha256Digest Digest(std::string_view bytes);
    static P256Signature Sign(const P256PublicKey& key, const Sha256Digest& digest);
    std::unique_ptr<Sha256Stream> NewSha256() override;
    std::optional<Sha256Digest> Hash(std::string_view bytes) override { return Digest(bytes); }
    bool Verify(const P256PublicKey& key, const Sha256Digest& digest,
                const P256Signature& signature) override;
};

class FakePlatform final : public UpdaterPlatform {
public:
    std::optional<std::string> commandLine = "update.exe";
    std::string programDir = "C:\\prog\\";
    MemoryRegistry registry;
    std::map<std::string, std::string, LessNoCase> files;
    std::map<std::string, InstallResult, LessNoCase> installResults; // by target
    std::set<std::string, LessNoCase> failingPrograms;
    std::set<std::string, LessNoCase> readOnlyFiles;
    std::vector<std::pair<std::string, std::string>> folders;
    std::map<std::string, FakeEvent, LessNoCase> events;
    std::set<std::string> existingInstances;
    int processWaits = 0;            // waits before a started process ends
    int terminationAfterChecks = -1; // signalled from this check on; -1 never
    uint32_t terminationError = 0;

    // What happened.
    std::vector<std::string> started;   // command lines
    std::vector<std::string> installed; // "source>target"
    std::vector<std::string> deleted;
    std::vector<std::string> broadcasts;
    std::vector<std::string> registered;
    std::vector<std::string> normalised; // files whose attributes were reset
    int terminationChecks = 0;

    std::optional<std::string> CommandLine() override { return commandLine; }
    std::string ProgramDirectory() override { return programDir; }
    qlx::Registry& SystemRegistry() override { return registry; }
    std::optional<std::string> ReadReferencedFile(const std::string& path) override;
    std::optional<std::string> ReadTextFile(const std::string& path, uint32_t* error) override;
    uint32_t ReplaceTextFile(const std::string& path, std::string_view text) override;
    bool FileExists(const std::string& path) override { return files.count(path) != 0; }
    uint32_t DeleteFile(const std::string& path) override;
    std::vector<std::pair<std::string, std::string>> FolderVariables() override { return folders; }
    OsVersion GetOsVersion() override { return {2, 6, 1, 7601, true, 1, 0}; }
    uint32_t CreateTerminationEvent() override { return terminationError; }
    bool TerminationSignalled() override;
    // A pause: answers as the last check did, without counting as one.
    bool WaitForTermination(uint32_t ms) override {
        clock += ms;
        return terminationAfterChecks >= 0 && terminationChecks >= terminationAfterChecks;
    }
    InstanceEvent CreateInstanceEvent(const std::string& name) override;
    void RegisterMessage(const std::string& name) override { registered.push_back(name); }
    void BroadcastMessage(const std::string& name, uintptr_t wParam, intptr_t) override {
        broadcasts.push_back(name + ":" + std::to_string(wParam));
    }
    InstallResult InstallFile(const std::string& source, const std::string& target) override;
    std::set<std::string, LessNoCase> lockedFiles;             // cannot be moved
    std::map<std::string, std::string, LessNoCase> copiedFrom; // copy target -> source
    uint32_t CopyFile(const std::string& source, const std::string& target) override;
    uint32_t MoveFile(const std::string& source, const std::string& target) override;
    std::unique_ptr<Waitable> StartProcess(const std::string& commandLine,
                                           const std::string& directory, uint32_t* error) override;
    std::unique_ptr<NamedEvent> OpenEvent(const std::string& name) override;
    // 0xbeef, then 0xbef0...
    uint32_t randomCalls = 0;
    uint32_t Random() override { return 0xbeef + randomCalls++; }

    // Network, clock and disks.
    std::map<std::string, FakeServer> servers;
    std::vector<std::string> requests; // "plain|secure|direct address"
    uint64_t clock = 1000;
    uint64_t msPerRead = 0;
    std::map<std::string, uint64_t> freeBytes; // by drive root "C:\"
    std::optional<std::vector<std::string>> drives = std::vector<std::string>{"C:\\"};
    std::set<std::string, LessNoCase> dirs;
    std::vector<std::string> removedDirs;
    std::vector<std::string> debug;
    std::vector<std::string> report; // lines of the last diagnostic report
    int reports = 0;
    FakeNetwork network;

    bool SplitsAddress(const std::string& address) override;
    std::unique_ptr<HttpRequest> OpenHttp(const std::string& address, HttpMode mode,
                                          uint32_t* error) override;
    std::unique_ptr<HttpRequest> OpenAddress(const std::string& address, HttpMode mode,
                                             uint32_t* error) override;
    uint64_t Milliseconds() override { return clock; }
    void Sleep(uint32_t ms) override { clock += ms; }
    void PumpMessages() override {}
    void DebugOutput(const std::string& text) override { debug.push_back(text); }
    uint32_t CreateDirectory(const std::string& path) override;
    uint32_t RemoveDirectory(const std::string& path) override;
    std::optional<uint64_t> FreeBytes(const std::string& path, uint32_t* error) override;
    std::optional<std::vector<std::string>> FixedDrives(uint32_t* error) override;
    std::map<std::string, std::string> fullPaths; // other answers than the path itself
    std::optional<std::string> FullPath(const std::string& path) override {
        const auto it = fullPaths.find(path);
        return it == fullPaths.end() ? path : it->second;
    }
    uint64_t diskRoom = UINT64_MAX; // bytes that may still be written; then error 112
    std::unique_ptr<OutputFile> CreateOutputFile(const std::string& path, uint32_t* error) override;
    std::optional<uint32_t> FileCrc(const std::string& path) override;
    std::optional<Sha256Digest> FileSha256(const std::string& path) override;
    FakeVerifier verifier;
    SignatureVerifier& Verifier() override { return verifier; }
    std::unique_ptr<LogSink> OpenReport(const std::string& path) override;
    NetworkProbe& Network() override { return network; }

private:
    std::unique_ptr<HttpRequest> Open(const std::string& address, const char* how, bool reaches);
};

class RecordingLog final : public LogSink {
public:
    std::vector<std::string> lines;
    void Write(std::string_view message) override { lines.emplace_back(message); }
    bool Has(std::string_view line) const;
};

// Every notification as a short text, in order.
class RecordingWindows final : public UpdaterNotifications {
public:
    std::vector<std::string> calls;
    void Begin(const std::string& caption) override { calls.push_back("begin " + caption); }
    void SetAppearance(int a) override { calls.push_back("appearance " + std::to_string(a)); }
    void End() override { calls.push_back("end"); }
    void SetText(const std::string& text, int) override { calls.push_back("text " + text); }
    void HideConnecting() override { calls.push_back("hide connecting"); }
    void ShowConnecting() override { calls.push_back("show connecting"); }
    void Progress(int overall, int) override {
        calls.push_back("progress " + std::to_string(overall));
    }
    void HideProgress() override { calls.push_back("hide progress"); }
    void OpenAddress(const std::string& a) override { calls.push_back("open " + a); }
    void SessionEnded(int32_t code) override { calls.push_back("ended " + std::to_string(code)); }
    void SetProgressLines(const std::string&, const std::string&, const std::string&) override {
        calls.push_back("lines");
    }
    void FinalMessage(int id) override { calls.push_back("final " + std::to_string(id)); }
    void PhaseStarts(bool downloading) override {
        calls.push_back(downloading ? "downloading" : "installing");
    }
    void LanguageStepFinished() override { calls.push_back("language done"); }
    void SetTitle(const std::string& title) override { calls.push_back("title " + title); }
    void ShowMessage(const std::string& title, const std::string& message) override {
        calls.push_back("message " + title + "|" + message);
    }
    std::string chosenLanguage; // what the user picks
    std::vector<LanguagePack> offeredPacks;
    std::string ChooseLanguage(const std::string& title, const std::vector<LanguagePack>& packs,
                               const std::string& current) override {
        offeredPacks = packs;
        calls.push_back("choose language " + current + " in " + title);
        return chosenLanguage;
    }
    void LanguageChanged() override { calls.push_back("language changed"); }
};

} // namespace qlx::updater::testing
