// The session's downloads: the working directory with room for them, the
// files already present in a look-up directory, the download of one file
// with the version file's check, and the clean-up at the end.
#include <algorithm>
#include <utility>
#include <vector>

#include "common/core/text.h"
#include "updater/core/crc32.h"
#include "updater/core/download_plan.h"
#include "updater/core/return_codes.h"
#include "updater/core/text_files.h"
#include "updater/core/update_engine.h"
#include "updater/core/version_check.h"

namespace qlx::updater {

namespace {

constexpr uint32_t kBlockBytes = 2048;
constexpr size_t kChunkBytes = 32 * kBlockBytes;
constexpr uint32_t kChecksEveryBlocks = 16;
constexpr uint64_t kProgressEveryMs = 100;
constexpr uint32_t kEmptyReadPauseMs = 10;
constexpr uint32_t kAlreadyExists = 183;
constexpr int kNameAttempts = 16;

} // namespace

bool UpdateEngine::SelectWorkingDirectory(uint64_t need) {
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
    const std::string base = WorkingBase(options_.Value("TargetDir"), programDir_);
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

void UpdateEngine::DropFilesPresent(std::vector<DownloadFile>& files) {
    const std::vector<std::string> dirs = options_.Values("LookupDir");
    std::erase_if(files, [&](const DownloadFile& file) {
        const ManifestFile* listed = manifest_ ? FindManifestFile(*manifest_, file.name) : nullptr;
        for (const std::string& dir : dirs) {
            const std::string path = LookupPath(SubstituteVariables(dir, variables_), file.name);
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
                const std::string local = workDir_ + "\\" + file.name;
                if (!EqualsNoCase(path, local) && platform_.CopyFile(path, local) == 0) {
                    filesToDelete_.push_back(local);
                }
                return true;
            }
        }
        return false;
    });
}

bool UpdateEngine::Download(const DownloadFile& want, const std::string& path,
                            const Sha256Digest* sha256) {
    std::unique_ptr<HttpRequest> request;
    try {
        request = OpenRequest(want.address);
    } catch (const UpdaterFailure&) {
    }
    if (!request) {
        Log("Unable to open url " + want.address + " while downloading file " + path);
        returnCode_ = kFileUrlNotOpened;
        return false;
    }
    uint32_t error = 0;
    std::unique_ptr<OutputFile> file = platform_.CreateOutputFile(path, &error);
    if (!file) {
        Log("Fatal error: can't create file: " + path + ", error code: " + std::to_string(error));
        returnCode_ = kLocalFileNotCreated;
        return false;
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
    uint32_t crc = 0;
    int failures = 0;
    // The blocks are read 2048 bytes at a time, but hashed and written a
    // chunk at a time: under Wine each hash or write call costs as much as
    // the read itself.
    std::vector<char> chunk(kChunkBytes);
    size_t pending = 0;
    const auto flush = [&]() -> uint32_t {
        const std::string_view bytes(chunk.data(), pending);
        pending = 0;
        crc = Crc32(crc, bytes.data(), bytes.size());
        hash->Add(bytes);
        // A full disk must not leave a short file that counts as downloaded.
        return file->Write(bytes);
    };
    // The windows hear of a change only, and a few times a second: a
    // notification crosses threads and costs more than reading a block.
    std::pair<int, int> shown{-1, -1};
    uint64_t shownAt = 0;
    const auto progress = [&](bool last) {
        const std::pair<int, int> percent{Percent(roundBytes_, sessionTotal_),
                                          Percent(fileBytes, want.size)};
        const uint64_t now = platform_.Milliseconds();
        if (percent != shown && (last || shown.first < 0 || now - shownAt >= kProgressEveryMs)) {
            shown = percent;
            shownAt = now;
            windows_.Progress(percent.first, percent.second);
        }
    };
    for (uint32_t blocks = 0;; ++blocks) {
        // Never more than the declared size; once it is reached, one byte
        // more tells a longer body from a whole one.
        const uint64_t left = want.size - fileBytes;
        const uint32_t ask =
            left == 0 ? 1 : static_cast<uint32_t>(std::min<uint64_t>(kBlockBytes, left));
        if (pending + ask > chunk.size()) {
            if (const uint32_t failure = flush(); failure != 0) {
                return WriteFailed(path, failure);
            }
        }
        uint32_t read = 0;
        const bool ok = request->Read(chunk.data() + pending, ask, &read, &error);
        if (ok && read == 0) {
            break;
        }
        if (ok && left == 0) {
            // Closed first, so that the refusal can remove the file.
            request.reset();
            file.reset();
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
            platform_.PumpMessages();
            progress(false);
            CheckSessionTime();
            if (platform_.TerminationSignalled()) {
                cancelled_ = true;
                break;
            }
        }
        if (!gotBytes) {
            platform_.Sleep(kEmptyReadPauseMs);
        }
    }
    if (!cancelled_) {
        if (const uint32_t failure = flush(); failure != 0) {
            return WriteFailed(path, failure);
        }
        progress(true);
    }
    request.reset();
    file.reset();
    if (cancelled_) {
        Log("Update canceled by user while downloading files.");
        return false;
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
    CheckVersionFile(path);
    return true;
}

bool UpdateEngine::WriteFailed(const std::string& path, uint32_t error) {
    Log("Fatal error: can't write file: " + path + ", error code: " + std::to_string(error));
    returnCode_ = kLocalFileNotCreated;
    return false;
}

void UpdateEngine::Refuse(const std::string& file, const std::string& reason) {
    Log("Update refused: " + file + ": " + reason + ".");
    DeleteDownloads();
    throw UpdaterFailure{kGeneralFailure};
}

void UpdateEngine::DeleteDownloads() {
    for (const std::string& file : filesToDelete_) {
        if (platform_.DeleteFile(file) != 0) {
            platform_.DebugOutput("File not deleted: " + file + "\r\n");
        }
    }
    filesToDelete_.clear();
}

void UpdateEngine::CheckVersionFile(const std::string& path) {
    const std::string versionFile = options_.Value("VersionFile");
    if (!IsVersionFile(path, versionFile)) {
        return;
    }
    const std::string original = options_.Value("ProductVersion");
    const std::string server = newVersion_.value_or("");
    const std::optional<std::string> text = platform_.ReadTextFile(path, nullptr);
    const std::optional<Version> downloaded =
        text ? ParseVersionText(*text) : std::optional<Version>();
    if (VersionCheckPasses(ParseVersionText(original), ParseVersionText(server), downloaded)) {
        return;
    }
    Log("Version check failure: original version is " + original +
        ", version in server response is " + server + ", version in downloaded " + versionFile +
        " is " + (downloaded ? FormatVersion(*downloaded) : std::string()));
    throw UpdaterFailure{kVersionCheckFailed};
}

void UpdateEngine::CleanUp() {
    DeleteDownloads();
    for (const std::string& dir : dirsToRemove_) {
        platform_.RemoveDirectory(dir);
    }
    dirsToRemove_.clear();
}

} // namespace qlx::updater
