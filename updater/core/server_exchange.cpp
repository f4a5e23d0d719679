// The update server exchange: opening a request in the secure or plain
// mode, reading and parsing the answer, the rounds of an update answer and
// the write-back of the product's new identity.
#include <algorithm>

#include "common/core/text.h"
#include "updater/core/download_plan.h"
#include "updater/core/network_report.h"
#include "updater/core/references.h"
#include "updater/core/return_codes.h"
#include "updater/core/update_engine.h"
#include "updater/core/words.h"

namespace qlx::updater {

namespace {

// The connecting state stays on screen at least this long.
constexpr uint64_t kConnectingMinimumMs = 2000;
constexpr uint32_t kReadPauseMs = 10;
constexpr int kFirstTraceHost = 10100;
constexpr int kFirstPingHost = 10000;

// WinINet's certificate errors: date, host name, unknown or invalid authority,
// revoked, and any other.
bool IsCertificateError(uint32_t error) {
    return error == 12037 || error == 12038 || error == 12045 || error == 12057 || error == 12169 ||
           error == 12170 || error == 12179;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

} // namespace

std::unique_ptr<HttpRequest> UpdateEngine::OpenRequest(const std::string& address) {
    if (!platform_.SplitsAddress(address)) {
        throw UpdaterFailure{kBadServerAddress};
    }
    const std::string ssl = options_.Value("UseSSL");
    bool secure = true;
    bool plain = true;
    if (EqualsNoCase(ssl, "yes")) {
        plain = false;
    } else if (EqualsNoCase(ssl, "no")) {
        secure = false;
    } else if (!EqualsNoCase(ssl, "auto")) {
        Log("Warning: invalid SSL option: " + ssl + " Defaulting to \"auto\".");
    }
    // An address that asks for TLS gets it, whatever the option says: a
    // plain fallback would hand the exchange to anyone on the way.
    if (StartsWithNoCase(address, "https://")) {
        secure = true;
        plain = false;
    }
    std::unique_ptr<HttpRequest> request;
    uint32_t error = 0;
    if (secure) {
        request = platform_.OpenHttp(address, HttpMode::Secure, &error);
        if (!request && IsCertificateError(error)) {
            Log("Error: the server's certificate is not trusted, error code: " +
                std::to_string(error) + ".");
        }
    }
    if (!request && plain) {
        request = platform_.OpenHttp(address, HttpMode::Plain, &error);
    }
    if (!request) {
        // The last resort keeps to the mode asked for: "yes" never goes plain.
        request =
            platform_.OpenAddress(address, plain ? HttpMode::Plain : HttpMode::Secure, &error);
    }
    if (!request) {
        throw UpdaterFailure{kNetworkFailure};
    }
    return request;
}

void UpdateEngine::SendRequest(const std::string& address) {
    Log("Sending request:  " + address);
    windows_.ShowConnecting();
    const uint64_t start = platform_.Milliseconds();
    const auto keepConnecting = [&] {
        const uint64_t elapsed = platform_.Milliseconds() - start;
        if (elapsed < kConnectingMinimumMs) {
            platform_.Sleep(static_cast<uint32_t>(kConnectingMinimumMs - elapsed));
        }
    };
    roundBytes_ = 0;
    response_.clear();
    int32_t failure = 0;
    try {
        std::unique_ptr<HttpRequest> request;
        try {
            request = OpenRequest(address);
        } catch (const UpdaterFailure&) {
            Log("Error: failed to open URL. See updater's error code for details.");
            throw;
        } catch (...) {
            Log("Error: Requested URL not opened.");
            throw UpdaterFailure{kNetworkFailure};
        }
        ReadResponse(*request);
    } catch (const UpdaterFailure& thrown) {
        failure = thrown.code;
    } catch (...) {
        failure = kGeneralFailure;
    }
    keepConnecting();
    if (failure != 0) {
        if (failure != kCancelled) {
            WriteNetworkReport();
        }
        windows_.HideConnecting();
        throw UpdaterFailure{failure};
    }
    windows_.HideConnecting();
}

void UpdateEngine::ReadResponse(HttpRequest& request) {
    const std::optional<uint32_t> status = request.Status();
    if (!status) {
        Log("ERROR: HttpQueryInfo returns FALSE. Can't determinet HTTP status code.");
        throw UpdaterFailure{kNetworkFailure};
    }
    if (*status != 200) {
        Log("ERROR: HTTP status code " + std::to_string(*status) + ".");
        throw UpdaterFailure{kNetworkFailure};
    }
    std::string body(kMaxResponseBytes, '\0');
    size_t length = 0;
    int failures = 0;
    while (length < body.size()) {
        uint32_t read = 0;
        uint32_t error = 0;
        const bool ok = request.Read(body.data() + length,
                                     static_cast<uint32_t>(body.size() - length), &read, &error);
        platform_.Sleep(kReadPauseMs);
        CheckSessionTime();
        if (platform_.TerminationSignalled()) {
            cancelled_ = true;
            throw UpdaterFailure{kCancelled};
        }
        if (ok) {
            if (read == 0) {
                break;
            }
            length += std::min<size_t>(read, body.size() - length);
            failures = 0;
        } else if (error == 6) {
            Log("ERROR: InternetReadFile returns \"Handle is invalid\".");
            throw UpdaterFailure{kNetworkFailure};
        } else if (++failures >= kReadFailuresLimit) {
            Log("ERROR: InternetReadFile keeps failing, error code: " + std::to_string(error) +
                ".");
            throw UpdaterFailure{kNetworkFailure};
        }
    }
    body.resize(length);
    response_ = ParseServerResponse(body);
    if (detailedLog_) {
        Log("Server response (parsed):");
        for (const ResponseRecord& record : response_) {
            std::string line = record.keyword + ":";
            for (size_t i = 0; i < record.values.size(); ++i) {
                line += (i == 0 ? " " : ", ") + record.values[i];
            }
            Log(line);
        }
    }
}

void UpdateEngine::WriteNetworkReport() {
    std::unique_ptr<LogSink> report = platform_.OpenReport(programDir_ + "diagnosis.dat");
    if (!report) {
        return;
    }
    const auto hosts = [this](int first) {
        std::vector<std::string> list;
        for (int id = first;; ++id) {
            std::string host = texts_(id);
            if (host.empty()) {
                return list;
            }
            list.push_back(std::move(host));
        }
    };
    try {
        qlx::updater::WriteNetworkReport(platform_.Network(), *report, hosts(kFirstTraceHost),
                                         hosts(kFirstPingHost));
    } catch (...) {
        // The report never changes what the session does next.
    }
}

bool UpdateEngine::ProcessUpdateResponse(bool firstRound) {
    const std::optional<uint64_t> total = TotalDownloadSize(response_);
    if (!total) {
        Log(kSizesOverflow);
        returnCode_ = kGeneralFailure;
        return false;
    }
    if (firstRound && !SelectWorkingDirectory(*total)) {
        Log("Fatal error: not enough disk space. Exiting.");
        returnCode_ = kNoDiskSpace;
        return false;
    }
    UpdateRound round = ReadUpdateRound(response_, firstRound);
    UpdateOffer& offer = round.offer;
    returnCode_ = offer.returnCode;
    if (offer.returnCode == kUpdated && offer.expireSeconds) {
        deadline_ = platform_.Milliseconds() + *offer.expireSeconds * 1000;
    } else if (offer.returnCode == kUpdated) {
        deadline_ = 0;
    }
    for (const std::string& line : offer.log) {
        Log(line);
    }
    if (!round.proceed) {
        return false;
    }
    if (firstRound) {
        newVersion_ = offer.productVersion;
        newName_ = offer.productName;
        newAbbr_ = offer.abbreviation;
    }
    sessionTotal_ = offer.totalSize;
    std::vector<DownloadFile> files = std::move(offer.files);
    const std::optional<std::string> workFull = platform_.FullPath(workDir_);
    for (const DownloadFile& file : files) {
        // The name by its rules, then where the system itself puts it.
        const std::optional<std::string> full = platform_.FullPath(workDir_ + "\\" + file.name);
        if (!IsSafeFileName(file.name) || !workFull || !full ||
            !StartsWithNoCase(*full, *workFull + "\\")) {
            Log("Fatal error: file name out of the working directory in server's response: " +
                file.name + ". Exiting.");
            returnCode_ = kLocalFileNotCreated;
            return false;
        }
    }
    VerifyManifest(files);
    DropFilesPresent(files);
    if (!firstRound && files.size() >= lastRoundFiles_ && !files.empty()) {
        // The last round brought nothing that is found by its CRC now (the
        // server refused a file, or sent one that does not match): asking
        // again would go on for ever.
        Log("Fatal error: files of the previous round are still missing. Exiting.");
        returnCode_ = lastRoundRefused_ ? kDownloadStatus : kGeneralFailure;
        return false;
    }
    lastRoundFiles_ = files.size();
    lastRoundRefused_ = false;
    size_t filesLeft = files.size();

    const std::string version = newVersion_.value_or("");
    std::string title = texts_(kTextDownloading) + options_.Value("ProductName");
    if (version.starts_with("99")) {
        const std::string databases = texts_(kTextDatabases);
        title += (databases.empty() ? std::string(" databases 1") : " " + databases + " 1") +
                 version.substr(2);
    } else {
        title += " " + version;
    }
    windows_.SetTitle(title);
    windows_.PhaseStarts(true);
    const std::string script = options_.Value("DefaultScript");
    for (const DownloadFile& file : files) {
        windows_.SetProgressLines(title, texts_(kTextPresentFile) + file.name,
                                  texts_(kTextCancelHint));
        const std::string path = workDir_ + "\\" + file.name;
        if (EqualsNoCase(file.name, script)) {
            updateScript_ = path;
        }
        bool downloaded = false;
        try {
            const ManifestFile* listed = FindManifestFile(*manifest_, file.name);
            downloaded = Download(file, path, &listed->sha256);
        } catch (const UpdaterFailure& failure) {
            if (failure.code != kDownloadStatus || platform_.Milliseconds() <= deadline_) {
                throw;
            }
            windows_.HideProgress();
            lastRoundRefused_ = true;
            return true;
        }
        if (!downloaded) {
            if (cancelled_) {
                returnCode_ = kCancelled;
            } else if (returnCode_ == kUpdated) {
                returnCode_ = kGeneralFailure;
            }
            return false;
        }
        if (--filesLeft > 0 && platform_.Milliseconds() > deadline_) {
            windows_.HideProgress();
            return true;
        }
    }
    if (returnCode_ == kUpdated && !updateScript_.empty()) {
        RunDownloadedScript();
    }
    if (options_.Value("GetLanguage").empty() &&
        (returnCode_ == kUpdated || returnCode_ == kUpdatedRestart)) {
        WriteBackIdentity();
    }
    return false;
}

bool UpdateEngine::LoadUpdateKeys() {
    const auto text = platform_.ReadTextFile(programDir_ + kUpdateKeyFile, nullptr);
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

void UpdateEngine::VerifyManifest(std::vector<DownloadFile>& files) {
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
        const std::string path = workDir_ + "\\" + kManifestFile;
        if (!Download(*entry, path, nullptr)) {
            if (cancelled_) {
                throw UpdaterFailure{kCancelled};
            }
            throw UpdaterFailure{returnCode_ == kUpdated ? kGeneralFailure : returnCode_};
        }
        const auto text = platform_.ReadTextFile(path, nullptr);
        std::string reason = "it cannot be read";
        std::optional<Manifest> manifest;
        if (text) {
            manifest = ReadSignedManifest(*text, keys_, platform_.Verifier(), &reason);
        }
        if (manifest) {
            reason = CheckManifestIdentity(
                *manifest, options_.Value("ProductAbbreviation"), newVersion_.value_or(""),
                options_.Value("ProductVersion"), requestType_ == kUpdate);
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

void UpdateEngine::RunDownloadedScript() {
    ProcessVariablesFile(updateScript_);
    ScriptRunner runner(platform_, windows_, log_, script_, workDir_ + "\\",
                        EqualsNoCase(options_.Value("BreakScriptIfFail"), "yes"), texts_);
    runner.SetDeadline(sessionDeadline_);
    InstallJournal journal(platform_, log_, programDir_);
    runner.SetJournal(&journal);
    // An update whose script could not be read, stopped half-way or had a
    // line fail was not carried out, and must not be reported as if it
    // were: its copies are undone, and the version stays the old one.
    if (!runner.Load(updateScript_, variables_) || !runner.Run(&cancelled_) ||
        !runner.AllSucceeded()) {
        journal.Rollback();
        returnCode_ = kScriptFailed;
        return;
    }
    journal.Commit();
    if (script_.restartRequired && returnCode_ == kUpdated) {
        returnCode_ = kUpdatedRestart;
    }
}

void UpdateEngine::WriteBackIdentity() {
    if (newVersion_) {
        WriteBack("ProductVersion", *newVersion_);
    }
    if (newName_) {
        WriteBack("ProductName", *newName_);
    }
    if (newAbbr_) {
        WriteBack("ProductAbbreviation", *newAbbr_);
    }
}

void UpdateEngine::WriteBack(const char* option, const std::string& value) {
    const std::string raw = options_.Raw(option);
    if (raw.starts_with('@')) {
        const std::string name = raw.substr(1);
        const std::string path = ResolvePath(programDir_, name);
        if (const uint32_t error = platform_.ReplaceTextFile(path, value); error != 0) {
            Log("Warning: can't open storage " + name + " for writing " + value +
                ", error code: " + std::to_string(error));
        }
    } else if (raw.starts_with('#')) {
        const auto ref = ParseRegistryReference(std::string_view(raw).substr(1));
        Registry& registry = platform_.SystemRegistry();
        if (!ref || !registry.CreateKey(ref->root, ref->keyPath) ||
            !registry.SetValue(ref->root, ref->keyPath, ref->valueName, RegData::String(value))) {
            Log("Warning: can't write registry value " + raw + " for writing " + value);
        }
    } else if (raw.starts_with('<')) {
        WriteVariable(raw.substr(1), option, value);
    }
}

void UpdateEngine::ShowServerMessages() {
    for (const ResponseRecord& record : response_) {
        if (EqualsNoCase(record.keyword, "Text")) {
            const size_t colon = record.text.find(':');
            windows_.ShowMessage(std::string(TrimBlanks(record.text.substr(0, colon))),
                                 colon == std::string::npos
                                     ? std::string()
                                     : std::string(TrimBlanks(record.text.substr(colon + 1))));
        }
    }
}

} // namespace qlx::updater
