#pragma once
// `DownloadSession`: the downloads of one update session. It makes the
// working folder, downloads each file of an answer to the declared size,
// verifies it against its CRC and the signed manifest, and stages it there
// for the script; at the end it removes every file and folder it made.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "updater/core/log_line.h"
#include "updater/core/platform.h"
#include "updater/core/server_exchange.h"
#include "updater/core/server_response.h"
#include "updater/core/session_guard.h"
#include "updater/core/update_manifest.h"

namespace qlx::updater {

// What the signed manifest must say of the session.
struct ManifestExpectation {
    std::string product;          // `ProductAbbreviation`
    std::string responseVersion;  // the answer's "ProductVersion"
    std::string installedVersion; // `ProductVersion`
    bool mustBeNewer = false;     // an update, which never goes back
};

class DownloadSession {
public:
    // Requests go through `exchange`, which keeps to the TLS rules.
    DownloadSession(DownloadPlatform& platform, ServerExchange& exchange, SessionGuard& guard,
                    LogSink& log, UpdaterNotifications& windows);
    DownloadSession(const DownloadSession&) = delete;
    DownloadSession& operator=(const DownloadSession&) = delete;

    // Run on every file downloaded and verified; it may throw to refuse it.
    void SetFileCheck(std::function<void(const std::string& path)> check) {
        fileCheck_ = std::move(check);
    }

    // A new folder under `base`, or else on a fixed drive, with more than
    // `need` bytes free; false when none could be made.
    bool SelectWorkingDirectory(const std::string& base, uint64_t need);
    // No trailing "\", empty until one is chosen.
    const std::string& WorkingDirectory() const { return workDir_; }
    std::string PathOf(const std::string& name) const { return workDir_ + "\\" + name; }
    // Whether every name stays inside the working folder, by its rules and
    // where the system puts it; false (logged) for the first that leaves it.
    bool NamesStayInside(const std::vector<DownloadFile>& files);

    // Forgets the keys and the manifest of the last server.
    void BeginServer();
    // The keys of "update.key" in `programDir`; false (logged) when none.
    bool LoadKeys(const std::string& programDir);
    // The answer's signed manifest, downloaded and checked in the first
    // round; then every other file must be listed in it with its size. The
    // manifest leaves `files`. A refusal throws.
    void VerifyManifest(std::vector<DownloadFile>& files, const ManifestExpectation& expected);
    const Manifest* VerifiedManifest() const { return manifest_ ? &*manifest_ : nullptr; }

    // A round of `totalBytes`, for the overall progress.
    void StartRound(uint64_t totalBytes);
    // Drops the files found in a look-up folder with the manifest's hash,
    // copying them into the working folder.
    void DropFilesPresent(std::vector<DownloadFile>& files,
                          const std::vector<std::string>& lookupDirs);
    // One file into `path`. The body must be exactly the declared size with
    // the declared CRC and, when given, this SHA-256. 0 when it is; -13 or
    // -14 (logged), or 26 when cancelled. Throws -11, -16, or -18 for a
    // refusal, and whatever the file check throws.
    int32_t Download(const DownloadFile& file, const std::string& path, const Sha256Digest* sha256);
    // Logs why a file is not trusted, removes the downloads and throws -18.
    [[noreturn]] void Refuse(const std::string& file, const std::string& reason);
    void DeleteDownloads();
    // The downloads, then every folder made for the session.
    void CleanUp();

private:
    void Log(std::string_view message) { log_.Write(message); }
    int32_t WriteFailed(const std::string& path, uint32_t error);

    DownloadPlatform& platform_;
    ServerExchange& exchange_;
    SessionGuard& guard_;
    LogSink& log_;
    UpdaterNotifications& windows_;
    std::function<void(const std::string&)> fileCheck_;

    std::string workDir_;
    std::vector<std::string> filesToDelete_;
    std::vector<std::string> dirsToRemove_;
    uint64_t roundTotal_ = 0;
    uint64_t roundBytes_ = 0;
    std::vector<P256PublicKey> keys_;
    // The verified manifest of the server being asked.
    std::optional<Manifest> manifest_;
};

} // namespace qlx::updater
