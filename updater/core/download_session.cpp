// The session's downloads: the working folder with room for them, the
// files already present in a look-up folder, the signed manifest, the
// download and verification of one file, and the clean-up at the end.
#include "updater/core/download_session.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

#include "common/core/text.h"
#include "updater/core/crc32.h"
#include "updater/core/download_plan.h"
#include "updater/core/return_codes.h"

namespace qlx::updater {

namespace {

constexpr uint32_t kBlockBytes = 2048;
constexpr size_t kChunkBytes = 32 * kBlockBytes;
constexpr uint32_t kChecksEveryBlocks = 16;
constexpr uint64_t kProgressEveryMs = 100;
constexpr uint32_t kEmptyReadPauseMs = 10;
constexpr uint32_t kAlreadyExists = 183;
constexpr int kNameAttempts = 16;

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

// The CRC, the SHA-256 and the file writes of a download, on a thread of
// their own: the reading thread fills one chunk of a ring while this one
// takes those filled before. Under Wine the hash is the slowest part of a
// download, and sets its pace; the reads go on beside it. The ring lets the
// reader go on while the other thread waits for a core.
class ChunkSink {
public:
    ChunkSink(OutputFile& file, Sha256Stream& hash) : file_(file), hash_(hash) {
        for (Chunk& chunk : ring_) {
            chunk.bytes.resize(kChunkBytes);
        }
        worker_ = std::thread([this] { Work(); });
    }
    ~ChunkSink() { Stop(); }
    ChunkSink(const ChunkSink&) = delete;
    ChunkSink& operator=(const ChunkSink&) = delete;

    // The chunk the reading thread fills, kChunkBytes long.
    char* Filling() { return ring_[filling_].bytes.data(); }
    // Hands the `size` bytes filled over and goes on with the next chunk,
    // once one is free; the error of a write that failed before (0 when none).
    uint32_t HandOver(size_t size) {
        std::unique_lock lock(mutex_);
        if (error_ == 0 && size != 0) {
            ring_[filling_].size = size;
            ++queued_;
            filling_ = (filling_ + 1) % ring_.size();
            changed_.notify_all();
        }
        changed_.wait(lock, [this] { return queued_ < ring_.size() || error_ != 0; });
        return error_;
    }
    // Waits for every chunk handed over; the first write error (0 when none).
    uint32_t Drain() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return queued_ == 0 || error_ != 0; });
        return error_;
    }
    // Ends the thread, dropping what is not taken yet; nothing of the file
    // or the hash is touched after.
    void Stop() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
            changed_.notify_all();
        }
        if (worker_.joinable()) {
            worker_.join();
        }
    }
    // The CRC-32 of every byte taken; only after `Drain` or `Stop`.
    uint32_t Crc() const { return crc_; }

private:
    struct Chunk {
        std::vector<char> bytes;
        size_t size = 0;
    };

    void Work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return queued_ != 0 || stopping_; });
            if (stopping_ || error_ != 0) {
                return;
            }
            const size_t first = (filling_ + ring_.size() - queued_) % ring_.size();
            const std::string_view bytes(ring_[first].bytes.data(), ring_[first].size);
            lock.unlock();
            crc_ = Crc32(crc_, bytes.data(), bytes.size());
            hash_.Add(bytes);
            // A full disk must not leave a short file that counts as downloaded.
            const uint32_t error = file_.Write(bytes);
            lock.lock();
            error_ = error;
            --queued_;
            changed_.notify_all();
        }
    }

    OutputFile& file_;
    Sha256Stream& hash_;
    std::array<Chunk, 8> ring_;
    std::mutex mutex_;
    std::condition_variable changed_;
    // Under the mutex: the reading thread's chunk, and how many chunks
    // before it wait to be taken (the first of them may be being taken).
    size_t filling_ = 0;
    size_t queued_ = 0;
    uint32_t error_ = 0;
    bool stopping_ = false;
    uint32_t crc_ = 0; // the worker's alone until it is drained
    std::thread worker_;
};

} // namespace

DownloadSession::DownloadSession(DownloadPlatform& platform, ServerExchange& exchange,
                                 SessionGuard& guard, LogSink& log, UpdaterNotifications& windows)
    : platform_(platform), exchange_(exchange), guard_(guard), log_(log), windows_(windows) {}

bool DownloadSession::SelectWorkingDirectory(const std::string& base, uint64_t need) {
    // Always a folder this session made itself: one that existed already may
    // hold files planted by someone else, or be another session's.
    const std::string name = WorkingDirectoryName(platform_.Random());
    const auto create = [&](const std::string& parent) -> std::string {
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
            const std::string dir =
                parent + (attempt == 0 ? name : WorkingDirectoryName(platform_.Random()));
            const uint32_t error = platform_.CreateDirectory(dir);
            if (error == 0) {
                dirsToRemove_.push_back(dir);
                return dir;
            }
            if (error != kAlreadyExists) {
                Log("Warning: while creating directory " + dir +
                    " following error occured: " + std::to_string(error) + ".");
                return {};
            }
        }
        return {};
    };
    const auto roomy = [this, need](const std::string& dir) {
        uint32_t error = 0;
        const std::optional<uint64_t> free = platform_.FreeBytes(dir, &error);
        if (!free) {
            Log("Warning: can't get amount of free bytes for " + dir +
                ", error code: " + std::to_string(error) + ".");
        }
        return free && *free > need;
    };
    std::string chosen = create(base);
    if (chosen.empty() || !roomy(chosen)) {
        const std::string candidate = chosen.empty() ? base : chosen;
        chosen.clear();
        uint32_t error = 0;
        const auto drives = platform_.FixedDrives(&error);
        if (!drives) {
            Log("Warning: can't get list of logical drives, error code: " + std::to_string(error) +
                ". Working directory now is: " + candidate);
        }
        for (const std::string& root : drives.value_or(std::vector<std::string>{})) {
            if (roomy(root)) {
                chosen = create(root);
                if (!chosen.empty()) {
                    break;
                }
            }
        }
    }
    if (chosen.empty()) {
        return false;
    }
    workDir_ = chosen;
    Log("Working directory is set to " + workDir_);
    return true;
}

bool DownloadSession::NamesStayInside(const std::vector<DownloadFile>& files) {
    const std::optional<std::string> workFull = platform_.FullPath(workDir_);
    for (const DownloadFile& file : files) {
        // The name by its rules, then where the system itself puts it.
        const std::optional<std::string> full = platform_.FullPath(PathOf(file.name));
        if (!IsSafeFileName(file.name) || !workFull || !full ||
            !StartsWithNoCase(*full, *workFull + "\\")) {
            Log("Fatal error: file name out of the working directory in server's response: " +
                file.name + ". Exiting.");
            return false;
        }
    }
    return true;
}

void DownloadSession::BeginServer() {
    keys_.clear();
    manifest_.reset();
}

bool DownloadSession::LoadKeys(const std::string& programDir) {
    const auto text = platform_.ReadTextFile(programDir + kUpdateKeyFile, nullptr);
    std::vector<int> bad;
    keys_ = ParseUpdateKeys(text.value_or(""), &bad);
    for (int line : bad) {
        Log("Warning: line " + std::to_string(line) + " of " + kUpdateKeyFile +
            " is not a key, ignored.");
    }
    if (keys_.empty()) {
        Log("Fatal error: no update signing key (update.key); downloads are not trusted.");
        return false;
    }
    return true;
}

void DownloadSession::VerifyManifest(std::vector<DownloadFile>& files,
                                     const ManifestExpectation& expected) {
    const auto entry = std::find_if(files.begin(), files.end(), [](const DownloadFile& file) {
        return EqualsNoCase(file.name, kManifestFile);
    });
    if (!manifest_) {
        if (entry == files.end()) {
            Refuse(kManifestFile, "the server's answer names none");
        }
        if (entry->size > kMaxManifestBytes) {
            Refuse(kManifestFile, "it is larger than a manifest can be");
        }
        const std::string path = PathOf(kManifestFile);
        if (const int32_t failure = Download(*entry, path, nullptr); failure != 0) {
            throw UpdaterFailure{failure};
        }
        const auto text = platform_.ReadTextFile(path, nullptr);
        std::string reason = "it cannot be read";
        std::optional<Manifest> manifest;
        if (text) {
            manifest = ReadSignedManifest(*text, keys_, platform_.Verifier(), &reason);
        }
        if (manifest) {
            reason = CheckManifestIdentity(*manifest, expected.product, expected.responseVersion,
                                           expected.installedVersion, expected.mustBeNewer);
        }
        if (!reason.empty()) {
            Refuse(kManifestFile, reason);
        }
        Log("Verified signature of " + std::string(kManifestFile) + ": " + manifest->product + " " +
            manifest->version + ", " + std::to_string(manifest->files.size()) + " files.");
        manifest_ = std::move(manifest);
    }
    // Signed once; later rounds find it in the working directory.
    std::erase_if(files,
                  [](const DownloadFile& file) { return EqualsNoCase(file.name, kManifestFile); });
    for (const DownloadFile& file : files) {
        const ManifestFile* listed = FindManifestFile(*manifest_, file.name);
        if (!listed) {
            Refuse(file.name, std::string("it is not listed in ") + kManifestFile);
        }
        if (listed->size != file.size) {
            Refuse(file.name, "its size " + std::to_string(file.size) + " is not the size " +
                                  std::to_string(listed->size) + " of " + kManifestFile);
        }
    }
}

void DownloadSession::StartRound(uint64_t totalBytes) {
    roundTotal_ = totalBytes;
    roundBytes_ = 0;
}

void DownloadSession::DropFilesPresent(std::vector<DownloadFile>& files,
                                       const std::vector<std::string>& lookupDirs) {
    std::erase_if(files, [&](const DownloadFile& file) {
        const ManifestFile* listed = manifest_ ? FindManifestFile(*manifest_, file.name) : nullptr;
        for (const std::string& dir : lookupDirs) {
            const std::string path = LookupPath(dir, file.name);
            if (!platform_.FileExists(path)) {
                continue;
            }
            const std::optional<uint32_t> crc = platform_.FileCrc(path);
            if (!crc) {
                continue;
            }
            platform_.DebugOutput(std::to_string(*crc) + " " + std::to_string(file.crc));
            // A file found by its CRC is used only when its SHA-256 is the
            // manifest's too: a CRC is easily forged.
            if (*crc == file.crc && listed && platform_.FileSha256(path) == listed->sha256) {
                // The script finds its files in the working directory.
                const std::string local = PathOf(file.name);
                if (!EqualsNoCase(path, local) && platform_.CopyFile(path, local) == 0) {
                    filesToDelete_.push_back(local);
                }
                return true;
            }
        }
        return false;
    });
}

int32_t DownloadSession::Download(const DownloadFile& want, const std::string& path,
                                  const Sha256Digest* sha256) {
    SessionClock& clock = guard_.Clock();
    const uint64_t opened = clock.Milliseconds();
    std::unique_ptr<HttpRequest> request;
    try {
        request = exchange_.Open(want.address);
    } catch (const UpdaterFailure&) {
    }
    if (!request) {
        Log("Unable to open url " + want.address + " while downloading file " + path);
        return kFileUrlNotOpened;
    }
    uint32_t error = 0;
    std::unique_ptr<OutputFile> file = platform_.CreateOutputFile(path, &error);
    if (!file) {
        Log("Fatal error: can't create file: " + path + ", error code: " + std::to_string(error));
        return kLocalFileNotCreated;
    }
    filesToDelete_.push_back(path);
    // The status is that of the answer's head, known before its body.
    const std::optional<uint32_t> status = request->Status();
    if (!status) {
        Log("ERROR: HttpQueryInfo returns FALSE during file download. Can't determinet HTTP "
            "status code.");
        throw UpdaterFailure{kNetworkFailure};
    }
    if (*status != 200) {
        Log("ERROR: file download HTTP status code " + std::to_string(*status) + ".");
        throw UpdaterFailure{kDownloadStatus};
    }
    std::unique_ptr<Sha256Stream> hash = platform_.Verifier().NewSha256();
    if (!hash) {
        Refuse(want.name, "the system computes no SHA-256");
    }
    uint64_t fileBytes = 0;
    int failures = 0;
    bool cancelled = false;
    // The blocks are read 2048 bytes at a time, and handed on to be hashed
    // and written a chunk at a time: under Wine each hash or write call
    // costs as much as the read itself.
    ChunkSink sink(*file, *hash);
    size_t pending = 0;
    const auto handOver = [&]() -> uint32_t {
        const size_t size = pending;
        pending = 0;
        return sink.HandOver(size);
    };
    // The windows hear of a change only, and a few times a second: a
    // notification crosses threads and costs more than reading a block.
    std::pair<int, int> shown{-1, -1};
    uint64_t shownAt = 0;
    const auto progress = [&](bool last) {
        const std::pair<int, int> percent{Percent(roundBytes_, roundTotal_),
                                          Percent(fileBytes, want.size)};
        const uint64_t now = clock.Milliseconds();
        if (percent != shown && (last || shown.first < 0 || now - shownAt >= kProgressEveryMs)) {
            shown = percent;
            shownAt = now;
            windows_.Progress(percent.first, percent.second);
        }
    };
    const auto closeAll = [&] {
        sink.Stop();
        request.reset();
        file.reset();
    };
    for (uint32_t blocks = 0;; ++blocks) {
        // Never more than the declared size; once it is reached, one byte
        // more tells a longer body from a whole one.
        const uint64_t left = want.size - fileBytes;
        const uint32_t ask =
            left == 0 ? 1 : static_cast<uint32_t>(std::min<uint64_t>(kBlockBytes, left));
        if (pending + ask > kChunkBytes) {
            if (const uint32_t failure = handOver(); failure != 0) {
                closeAll();
                return WriteFailed(path, failure);
            }
        }
        uint32_t read = 0;
        const bool ok = request->Read(sink.Filling() + pending, ask, &read, &error);
        if (ok && read == 0) {
            break;
        }
        if (ok && left == 0) {
            // Closed first, so that the refusal can remove the file.
            closeAll();
            Refuse(want.name, "the server sends more than the declared " +
                                  std::to_string(want.size) + " bytes");
        }
        if (!ok && ++failures >= kReadFailuresLimit) {
            Log("ERROR: InternetReadFile keeps failing during file download, error code: " +
                std::to_string(error) + ".");
            throw UpdaterFailure{kNetworkFailure};
        }
        const bool gotBytes = ok && read != 0;
        if (gotBytes) {
            read = std::min(read, ask);
            failures = 0;
            pending += read;
            fileBytes += read;
            roundBytes_ += read;
        }
        // The messages, the clock and the termination event every few
        // blocks, and at once when a read brought nothing: under Wine each
        // of them is a call to the Wine server.
        if (!gotBytes || blocks % kChecksEveryBlocks == 0) {
            clock.PumpMessages();
            progress(false);
            guard_.CheckTime();
            if (guard_.Terminating()) {
                cancelled = true;
                break;
            }
        }
        if (!gotBytes) {
            clock.Sleep(kEmptyReadPauseMs);
        }
    }
    if (!cancelled) {
        uint32_t failure = handOver();
        if (failure == 0) {
            failure = sink.Drain();
        }
        if (failure != 0) {
            closeAll();
            return WriteFailed(path, failure);
        }
        progress(true);
    }
    closeAll();
    const uint32_t crc = sink.Crc();
    if (cancelled) {
        Log("Update canceled by user while downloading files.");
        return kCancelled;
    }
    if (fileBytes != want.size) {
        Refuse(want.name, "the server sent " + std::to_string(fileBytes) + " of the declared " +
                              std::to_string(want.size) + " bytes");
    }
    if (crc != want.crc) {
        Refuse(want.name, "its CRC-32 is " + std::to_string(crc) + ", not the declared " +
                              std::to_string(want.crc));
    }
    const Sha256Digest digest = hash->Finish();
    if (sha256 && digest != *sha256) {
        Refuse(want.name,
               "its SHA-256 " + HexDigest(digest) + " is not the one of " + kManifestFile);
    }
    Log("Downloaded file: " + path);
    if (sha256) {
        Log("Verified file: " + want.name + ", " + std::to_string(want.size) + " bytes, SHA-256 " +
            HexDigest(digest));
    }
    // For whoever wonders why an update is slow: from the request to the
    // verified file.
    platform_.DebugOutput("Download time of " + want.name + ": " +
                          std::to_string(clock.Milliseconds() - opened) + " ms for " +
                          std::to_string(want.size) + " bytes\r\n");
    if (fileCheck_) {
        fileCheck_(path);
    }
    return 0;
}

int32_t DownloadSession::WriteFailed(const std::string& path, uint32_t error) {
    Log("Fatal error: can't write file: " + path + ", error code: " + std::to_string(error));
    return kLocalFileNotCreated;
}

void DownloadSession::Refuse(const std::string& file, const std::string& reason) {
    Log("Update refused: " + file + ": " + reason + ".");
    DeleteDownloads();
    throw UpdaterFailure{kGeneralFailure};
}

void DownloadSession::DeleteDownloads() {
    for (const std::string& file : filesToDelete_) {
        if (platform_.DeleteFile(file) != 0) {
            platform_.DebugOutput("File not deleted: " + file + "\r\n");
        }
    }
    filesToDelete_.clear();
}

void DownloadSession::CleanUp() {
    DeleteDownloads();
    for (const std::string& dir : dirsToRemove_) {
        platform_.RemoveDirectory(dir);
    }
    dirsToRemove_.clear();
}

} // namespace qlx::updater
