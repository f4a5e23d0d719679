// The session's downloads: the working directory with room for them, the
// files already present in a look-up directory, the download of one file
// with the version file's check, and the clean-up at the end.
#include <utility>

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
constexpr uint32_t kEmptyReadPauseMs = 10;
constexpr uint32_t kAlreadyExists = 183;

} // namespace

bool UpdateEngine::SelectWorkingDirectory(uint64_t need) {
    const std::string name = WorkingDirectoryName(platform_.Random());
    const auto create = [this](const std::string& dir) {
        const uint32_t error = platform_.CreateDirectory(dir);
        if (error == 0) {
            dirsToRemove_.push_back(dir);
        } else if (error != kAlreadyExists) {
            Log("Warning: while creating directory " + dir +
                " following error occured: " + std::to_string(error) + ".");
        }
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
    const std::string candidate = WorkingBase(options_.Value("TargetDir"), programDir_) + name;
    create(candidate);
    std::string chosen;
    if (roomy(candidate)) {
        chosen = candidate;
    } else {
        uint32_t error = 0;
        const auto drives = platform_.FixedDrives(&error);
        if (!drives) {
            Log("Warning: can't get list of logical drives, error code: " + std::to_string(error) +
                ". Working directory now is: " + candidate);
        }
        for (const std::string& root : drives.value_or(std::vector<std::string>{})) {
            if (roomy(root)) {
                chosen = root + name;
                create(chosen);
                break;
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
            if (*crc == file.crc) {
                return true;
            }
        }
        return false;
    });
}

bool UpdateEngine::Download(const std::string& address, const std::string& path, uint64_t size) {
    std::unique_ptr<HttpRequest> request;
    try {
        request = OpenRequest(address);
    } catch (const UpdaterFailure&) {
    }
    if (!request) {
        Log("Unable to open url " + address + " while downloading file " + path);
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
    uint64_t fileBytes = 0;
    int failures = 0;
    // The windows hear of a change only: a notification crosses threads and
    // costs more than reading a block.
    std::pair<int, int> shown{-1, -1};
    char block[kBlockBytes];
    for (;;) {
        uint32_t read = 0;
        const bool ok = request->Read(block, kBlockBytes, &read, &error);
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
        if (ok && read == 0) {
            break;
        }
        platform_.PumpMessages();
        if (!ok && ++failures >= kReadFailuresLimit) {
            Log("ERROR: InternetReadFile keeps failing during file download, error code: " +
                std::to_string(error) + ".");
            throw UpdaterFailure{kNetworkFailure};
        }
        if (!ok || read == 0) {
            platform_.Sleep(kEmptyReadPauseMs);
        } else {
            failures = 0;
            fileBytes += read;
            roundBytes_ += read;
            const std::pair<int, int> percent{Percent(roundBytes_, sessionTotal_),
                                              Percent(fileBytes, size)};
            if (percent != shown) {
                shown = percent;
                windows_.Progress(percent.first, percent.second);
            }
            // A full disk must not leave a short file that counts as downloaded.
            if (const uint32_t failure = file->Write(std::string_view(block, read)); failure != 0) {
                Log("Fatal error: can't write file: " + path +
                    ", error code: " + std::to_string(failure));
                returnCode_ = kLocalFileNotCreated;
                return false;
            }
        }
        if (platform_.TerminationSignalled()) {
            cancelled_ = true;
            break;
        }
    }
    request.reset();
    file.reset();
    if (cancelled_) {
        Log("Update canceled by user while downloading files.");
        return false;
    }
    Log("Downloaded file: " + path);
    CheckVersionFile(path);
    return true;
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
    for (const std::string& file : filesToDelete_) {
        if (platform_.DeleteFile(file) != 0) {
            platform_.DebugOutput("File not deleted: " + file + "\r\n");
        }
    }
    filesToDelete_.clear();
    for (const std::string& dir : dirsToRemove_) {
        platform_.RemoveDirectory(dir);
    }
    dirsToRemove_.clear();
}

} // namespace qlx::updater
