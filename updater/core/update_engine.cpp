#include "updater/core/update_engine.h"

#include <cstdio>

#include "common/core/text.h"
#include "updater/core/download_plan.h"
#include "updater/core/install_journal.h"
#include "updater/core/network_report.h"
#include "updater/core/language_packs.h"
#include "updater/core/references.h"
#include "updater/core/server_response.h"
#include "updater/core/return_codes.h"
#include "updater/core/text_files.h"
#include "updater/core/version_check.h"
#include "updater/core/words.h"

namespace qlx::updater {

namespace {

constexpr uint64_t kDefaultSessionSeconds = 1800;

bool IsYes(std::string_view value) {
    return EqualsNoCase(value, "yes");
}

bool AllDigits(std::string_view s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

} // namespace

FinalMessageChoice ChooseFinalMessage(int32_t code, bool restartRequired) {
    if (code == kUpdatedRestart) {
        return {kTextRestartMessage, code};
    }
    if (code == kRestartAsked) {
        return restartRequired ? FinalMessageChoice{kTextRestartMessage, kUpdatedRestart}
                               : FinalMessageChoice{kTextRestartMessage2, code};
    }
    if (code < 0) {
        return {kTextFailureMessage, code};
    }
    if ((code / 10) % 10 == 1) {
        return {kTextBadVersionMessage, code};
    }
    if (code <= 20 || code >= 30) {
        return {kTextFailureMessage, code};
    }
    return {0, code};
}

bool IsValidProductVersion(std::string_view version) {
    if (version.empty() || version.find_first_not_of("0123456789.") != std::string_view::npos) {
        return false;
    }
    int dots = 0;
    char previous = '.';
    for (char c : version) {
        if (c == '.') {
            if (previous == '.') {
                return false;
            }
            ++dots;
        }
        previous = c;
    }
    return previous != '.' && (dots == 3 || dots == 4);
}

UpdateEngine::UpdateEngine(UpdaterPlatform& platform, UpdaterNotifications& windows, LogSink& log,
                           TextSource texts)
    : platform_(platform), windows_(windows), log_(log), texts_(std::move(texts)),
      programDir_(platform.ProgramDirectory()), guard_(platform, log),
      exchange_(platform, guard_, log, windows, options_, [this] { WriteNetworkReport(); }),
      downloads_(platform, exchange_, guard_, log, windows) {
    downloads_.SetFileCheck([this](const std::string& path) { CheckVersionFile(path); });
    Log("*******     Updater engine started     *******");
    Log("   ");
    if (auto commandLine = platform_.CommandLine()) {
        Log("Command line is:");
        Log(*commandLine);
    } else {
        Log("Command line is unavailable...");
    }
}

UpdateEngine::~UpdateEngine() {
    Log("*******     Updater engine finished     *******");
    Log("    ");
}

bool UpdateEngine::Resolve(const std::string& text, const std::string& source, std::string* value) {
    // Where the value was looked for, with why it could not be read; a
    // variables file names itself instead.
    std::string place;
    std::optional<std::string> resolved;
    if (text.starts_with('#')) {
        std::string reason = "Can't open registry key.";
        if (auto ref = ParseRegistryReference(std::string_view(text).substr(1))) {
            resolved = ReadRegistryString(platform_.SystemRegistry(), *ref, &reason);
        }
        place = "registry: " + reason;
    } else if (text.starts_with('@')) {
        const std::string path = ResolvePath(programDir_, text.substr(1));
        if (auto content = platform_.ReadReferencedFile(path)) {
            resolved = TrimFileValue(*content);
        }
        place = path + ": file error.";
    } else {
        resolved = text;
    }
    if (!resolved) {
        Log("Warning: couldn't read " + text + " from " + (source.empty() ? place : source));
        return false;
    }
    *value = std::move(*resolved);
    return true;
}

void UpdateEngine::ProcessOptionWord(std::string_view body) {
    const Assignment a = SplitAssignment(body);
    if (a.name.empty()) {
        return;
    }
    const bool known = IsKnownOption(a.name);
    if (a.value.empty()) {
        if (known) {
            Log("Warning: no value specified for: " + a.name);
        } else {
            variables_[a.name] = "";
        }
        return;
    }
    std::string value;
    if (!Resolve(a.value, {}, &value)) {
        return;
    }
    if (known) {
        options_.Set(a.name, std::move(value), a.value);
    } else {
        variables_[a.name] = std::move(value);
    }
}

void UpdateEngine::ReadArguments() {
    std::vector<std::string> files{"updater.dat"};
    std::vector<std::string> words = SplitWords(platform_.CommandLine().value_or(""));
    for (size_t i = 1; i < words.size(); ++i) {
        const std::string_view word = TrimBlanks(words[i]);
        if (word.empty()) {
            continue;
        }
        if (word.front() == '@') {
            files.emplace_back(TrimBlanks(word.substr(1)));
        } else if (word.front() == '-' || word.front() == '/') {
            ProcessOptionWord(word.substr(1));
        } else if (std::string warning = verbs_.Feed(word); !warning.empty()) {
            Log(warning);
        }
    }
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string& file = files[i];
        // "updater.dat" is the program's own: a copy in whatever folder the
        // updater was started from must not set its options.
        if (i == 0) {
            ProcessVariablesFile(ResolvePath(programDir_, file));
            continue;
        }
        // As given first, then in the program directory.
        if (auto text = platform_.ReadTextFile(file, nullptr)) {
            ProcessVariablesText(file, *text);
        } else {
            ProcessVariablesFile(ResolvePath(programDir_, file));
        }
    }
}

bool UpdateEngine::ProcessVariablesFile(const std::string& path) {
    auto text = platform_.ReadTextFile(path, nullptr);
    if (!text) {
        Log("Warning: variables file not found: " + path);
        return false;
    }
    ProcessVariablesText(path, *text);
    return true;
}

void UpdateEngine::ProcessVariablesText(const std::string& path, std::string_view text) {
    Log("Processing variables file: " + path);
    for (const VariableLine& line : ParseVariablesText(text)) {
        SetFromFile(line, path);
    }
}

void UpdateEngine::SetFromFile(const VariableLine& line, const std::string& path) {
    std::string value;
    if (!Resolve(line.value, path, &value)) {
        return;
    }
    if (line.general && IsKnownOption(line.name)) {
        const bool plain = !line.value.starts_with('#') && !line.value.starts_with('@');
        options_.Set(line.name, std::move(value), plain ? "<" + path : line.value);
    } else {
        variables_[line.name] = std::move(value);
    }
}

bool UpdateEngine::WriteVariable(const std::string& storage, const std::string& name,
                                 const std::string& value) {
    if (storage.empty() || name.empty()) {
        Log("Warning: can't write value to file, storage name: \"" + storage +
            "\", variable name: \"" + name + "\"");
        return false;
    }
    uint32_t error = 0;
    auto text = platform_.ReadTextFile(storage, &error);
    if (!text) {
        Log("Warning: can't write \"" + name + "\" variable into file " + storage +
            ", error code: " + std::to_string(error));
        return false;
    }
    const WriteResult result = WriteVariableText(*text, name, value, IsKnownOption(name));
    if (result.outcome == WriteOutcome::InvalidFormat) {
        Log("Warning: file has invalid format: " + storage + ".");
        return false;
    }
    if (const uint32_t failure = platform_.ReplaceTextFile(storage, result.text); failure != 0) {
        Log((result.outcome == WriteOutcome::Appended
                 ? "Warning: searched variable not found, appending failed; file: "
                 : "Warning: can't write to file: ") +
            storage + ", error code: " + std::to_string(failure));
        return false;
    }
    return true;
}

void UpdateEngine::ApplyDefault(const char* name, const std::string& text) {
    if (options_.Has(name)) {
        return;
    }
    std::string value;
    if (Resolve(text, {}, &value) && !value.empty()) {
        options_.Set(name, std::move(value), text);
    }
}

void UpdateEngine::ApplyDefaults() {
    const std::string product = options_.Value("ProductName");
    if (!product.empty()) {
        ApplyDefault("ProductAbbreviation",
                     texts_(kTextRegistryRoot) + product + "\\" + texts_(kTextAbbrValue));
    }
    ApplyDefault("Server", texts_(kTextServerDefault));
    ApplyDefault("ProductVersion", texts_(kTextVersionDefault));
    ApplyDefault("UseSSL", texts_(kTextSslDefault));
    ApplyDefault("Appearance", texts_(kTextAppearanceDefault));
    ApplyDefault("DefaultScript", texts_(kTextScriptDefault));
    ApplyDefault("VersionFile", texts_(kTextVersionFileDefault));
    ApplyDefault("ProductFamily", texts_(kTextFamilyDefault));
    const std::string family = options_.Value("ProductFamily");
    // Digits only, and small enough for the number it stands for.
    if (AllDigits(family) && family.size() <= 9) {
        productFamily_ = std::stoi(family);
    } else {
        Log("Warning: incorrect value for ProductFamily option, defaulting to 0.");
        productFamily_ = 0;
    }
}

int AppearanceOf(std::string_view text) {
    if (EqualsNoCase(text, "Stealth")) {
        return kAppearanceStealth;
    }
    return EqualsNoCase(text, "Invisible") ? kAppearanceInvisible : kAppearanceNormal;
}

void UpdateEngine::ReadSwitches() {
    const std::string appearance = options_.Value("Appearance");
    appearance_ = AppearanceOf(appearance);
    if (appearance_ == kAppearanceNormal && !EqualsNoCase(appearance, "Normal")) {
        Log("Warning: unknown appearence option specified: " + appearance);
    }
    exchange_.SetDetailedLog(IsYes(options_.Value("DetailedLog")));
}

std::string UpdateEngine::BuildRequestAddress(const std::string& server) {
    requestType_ = languageChosen_ ? kGetLanguage : verbs_.Request();
    if (requestType_ == kNoRequest) {
        Log("ERROR: Invalid request type: -1.");
        throw UpdaterFailure{kInvalidRequest};
    }
    const std::string version = options_.Value("ProductVersion");
    if (!IsValidProductVersion(version)) {
        Log("ERROR: incorrect ProductVersion format: \"" + version + "\".");
        throw UpdaterFailure{kBadProductVersion};
    }
    std::string address = server + "?proto=3&v=" + version;
    if (const std::string abbr = options_.Value("ProductAbbreviation"); !abbr.empty()) {
        address += "&abbr=" + abbr;
    }
    const OsVersion os = platform_.GetOsVersion();
    address += os.platformId == 2 ? "&platform=nt" : "&platform=9x";
    char text[96];
    if (os.extended) {
        std::snprintf(text, sizeof text, "%u.%u.%u.%u.%u", os.major, os.minor, os.build,
                      os.servicePackMajor, os.servicePackMinor);
    } else {
        std::snprintf(text, sizeof text, "%u.%u.%u.0.0", os.major, os.minor, os.build);
    }
    address += std::string("&os_version=") + text;
    // A language request names its language, or the server could not know
    // which pack to send.
    if (const std::string language = options_.Value("GetLanguage");
        !language.empty() && requestType_ == kGetLanguage) {
        address += "&lang=" + language;
    }
    return address;
}

void UpdateEngine::HandleServer(const std::string& server) {
    const std::string address = BuildRequestAddress(server);
    if (requestType_ == kExecuteScript) {
        guard_.CheckCancel();
        ExecuteScript();
        return;
    }
    if (requestType_ == kDelayedLangReg) {
        // Nothing serves it: no server is troubled with the request.
        Log("ERROR: Invalid request type: " + std::to_string(requestType_) + ".");
        throw UpdaterFailure{kInvalidRequest};
    }
    // Nothing of the last server's answer carries over to this one.
    updateScript_.clear();
    newVersion_.reset();
    newName_.reset();
    newAbbr_.reset();
    exchange_.BeginServer();
    downloads_.BeginServer();
    if ((requestType_ == kUpdate || requestType_ == kGetLanguage) &&
        !downloads_.LoadKeys(programDir_)) {
        returnCode_ = kGeneralFailure;
        sessionOver_ = true;
        return;
    }
    const ServerResponse& response = exchange_.Send(address);
    const auto code = FirstValue(response, "ReturnCode");
    if (!code || TrimBlanks(*code).empty()) {
        Log("Fatal error: return code not found in response. Exiting.");
        returnCode_ = kNetworkFailure;
        sessionOver_ = true;
        return;
    }
    returnCode_ = DecimalValue(*code);
    if (returnCode_ >= 2) {
        sessionOver_ = true;
        return;
    }
    guard_.CheckCancel();
    switch (requestType_) {
    case kCheck:
        returnCode_ = EvaluateCheckResponse(response);
        sessionOver_ = returnCode_ == kUpdateAvailable || returnCode_ == kCancelled;
        break;
    case kUpdate:
    case kGetLanguage:
        while (ProcessUpdateResponse(exchange_.Round() == 1)) {
            if (!exchange_.NextRound()) {
                returnCode_ = kGeneralFailure;
                break;
            }
            // The files downloaded so far are found there by their CRC.
            const std::string& work = downloads_.WorkingDirectory();
            options_.Set("LookupDir", work, work);
            exchange_.Send(address);
        }
        if (requestType_ == kGetLanguage) {
            RecordLanguageInUse();
            windows_.LanguageStepFinished();
        }
        // Another server would install the same update a second time.
        sessionOver_ = returnCode_ == kUpdated || returnCode_ == kUpdatedRestart;
        break;
    case kConfigureLanguagePacks:
        ConfigureLanguage(server);
        break;
    default:
        Log("ERROR: Invalid request type: " + std::to_string(requestType_) + ".");
        throw UpdaterFailure{kInvalidRequest};
    }
}

void UpdateEngine::RecordLanguageInUse() {
    const std::string code = options_.Value("GetLanguage");
    if (code.empty() || (returnCode_ != kUpdated && returnCode_ != kUpdatedRestart)) {
        return;
    }
    const std::string path = programDir_ + kLanguageFile;
    const auto text = platform_.ReadTextFile(path, nullptr);
    // A list that could not be read is not replaced by a shorter one.
    if (!text && platform_.FileExists(path)) {
        return;
    }
    platform_.ReplaceTextFile(path, WithLanguageInUse(text.value_or(""), code));
}

void UpdateEngine::ConfigureLanguage(const std::string& server) {
    sessionOver_ = true;
    const auto installed = InstalledLanguages(
        platform_.ReadTextFile(programDir_ + kLanguageFile, nullptr).value_or(""));
    const std::string code =
        windows_.ChooseLanguage(options_.Value("ProductName") + " - " + texts_(kTextChooseLanguage),
                                ListLanguagePacks(exchange_.Response(), installed),
                                installed.empty() ? "" : installed.front());
    if (code.empty()) {
        returnCode_ = kNothingToUpdate;
        return;
    }
    Log("Language pack chosen: " + code + ".");
    options_.Set("GetLanguage", code, code);
    languageChosen_ = true;
    HandleServer(server);
    if (returnCode_ == kUpdated || returnCode_ == kUpdatedRestart) {
        windows_.LanguageChanged();
    }
}

void UpdateEngine::ExecuteScript() {
    sessionOver_ = true;
    if (verbs_.Script().empty()) {
        Log("Very strange situation: no script is given. Exiting.");
        returnCode_ = kGeneralFailure;
        return;
    }
    const std::string path = ResolvePath(programDir_, verbs_.Script());
    // The script's own variables part comes first, as with a downloaded one.
    if (platform_.FileExists(path)) {
        ProcessVariablesFile(path);
    }
    ScriptRunner runner(platform_, windows_, log_, script_, programDir_,
                        IsYes(options_.Value("BreakScriptIfFail")), texts_);
    runner.SetDeadline(guard_.Deadline());
    if (!runner.Load(path, variables_)) {
        returnCode_ = kScriptFailed;
        return;
    }
    returnCode_ = kUpdated;
    InstallJournal journal(platform_, log_, programDir_);
    runner.SetJournal(&journal);
    // A cancellation inside the script ends this server as any failure does.
    sessionOver_ = false;
    // A local script keeps its own rule: a failure let pass is no stop. Its
    // copies are undone when it stops (or is cancelled, or killed).
    const bool complete = runner.Run(guard_.CancelFlag());
    sessionOver_ = true;
    if (complete) {
        journal.Commit();
    } else {
        journal.Rollback();
    }
    returnCode_ = complete ? kUpdated : kScriptFailed;
}

int32_t UpdateEngine::RunSession() {
    try {
        Log("Engine thread was started.");
        // Before anything else: an install cut short (a kill, a power cut)
        // is undone, so that the product is whole again.
        InstallJournal::RecoverAtStart(platform_, log_, programDir_);
        ReadArguments();
        for (auto& [name, path] : platform_.FolderVariables()) {
            variables_[name] = path;
        }
        ApplyDefaults();
        // A hung server or script must not hold the product's later update
        // requests for ever.
        const std::string timeout = options_.Value("SessionTimeout");
        uint64_t seconds = kDefaultSessionSeconds;
        if (!timeout.empty()) {
            if (AllDigits(timeout) && timeout.size() <= 9 && std::stoul(timeout) > 0) {
                seconds = std::stoul(timeout);
            } else {
                Log("Warning: incorrect value for SessionTimeout option, defaulting to " +
                    std::to_string(kDefaultSessionSeconds) + ".");
            }
        }
        guard_.Start(seconds * 1000);
        // Known before anything can end the session: a silent updater that
        // fails early stays silent.
        windows_.SetAppearance(AppearanceOf(options_.Value("Appearance")));
        windows_.Begin(
            texts_(verbs_.Request() == kGetLanguage || verbs_.Request() == kConfigureLanguagePacks
                       ? kTextLanguageCaption
                       : kTextSessionCaption));
        if (const uint32_t error = platform_.CreateTerminationEvent(); error != 0) {
            Log("Fatal error: can't create synchronization event, error code: " +
                std::to_string(error));
            returnCode_ = kGeneralFailure;
            EndSession();
            return returnCode_;
        }
        // Copied: a script's variables part may add servers while they are asked.
        const std::vector<std::string> servers = options_.Values("Server");
        if (servers.empty()) {
            Log("Fatal error: no update servers specified.");
            returnCode_ = kNoServers;
            EndSession();
            return returnCode_;
        }
        ReadSwitches();
        const std::string product = options_.Value("ProductName");
        if (platform_.CreateInstanceEvent(product + "Updater") == InstanceEvent::AlreadyExists) {
            platform_.RegisterMessage(product + "Updater");
            platform_.BroadcastMessage(product + "Updater", static_cast<uintptr_t>(appearance_), 0);
            returnCode_ = kGeneralFailure;
            EndSession();
            return returnCode_;
        }
        platform_.RegisterMessage(product + "Updater");
        platform_.RegisterMessage(product + " Tray Message");
        for (const std::string& server : servers) {
            try {
                HandleServer(server);
            } catch (const UpdaterFailure& failure) {
                returnCode_ = failure.code;
            }
            if (sessionOver_) {
                break;
            }
        }
    } catch (const UpdaterFailure& failure) {
        returnCode_ = failure.code;
    } catch (...) {
        Log("Fatal error: unhalted exception during update. Exiting.");
        // Whatever was under way did not end well: no 21 may be left over.
        returnCode_ = kGeneralFailure;
    }
    EndSession();
    return returnCode_;
}

void UpdateEngine::EndSession() {
    ShowServerMessages();
    if (!platform_.TerminationSignalled()) {
        const FinalMessageChoice choice = ChooseFinalMessage(returnCode_, script_.restartRequired);
        returnCode_ = choice.returnCode;
        if (choice.stringId != 0) {
            windows_.FinalMessage(choice.stringId);
        }
    }
    downloads_.CleanUp();
    Log("Engine is exiting with return code of " + std::to_string(returnCode_) + ".");
    windows_.SessionEnded(returnCode_);
    windows_.End();
}

} // namespace qlx::updater

namespace qlx::updater {

namespace {

constexpr int kFirstTraceHost = 10100;
constexpr int kFirstPingHost = 10000;

} // namespace

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
    const ServerResponse& response = exchange_.Response();
    const std::optional<uint64_t> total = TotalDownloadSize(response);
    if (!total) {
        Log(kSizesOverflow);
        returnCode_ = kGeneralFailure;
        return false;
    }
    if (firstRound && !downloads_.SelectWorkingDirectory(
                          WorkingBase(options_.Value("TargetDir"), programDir_), *total)) {
        Log("Fatal error: not enough disk space. Exiting.");
        returnCode_ = kNoDiskSpace;
        return false;
    }
    UpdateRound round = ReadUpdateRound(response, firstRound);
    UpdateOffer& offer = round.offer;
    returnCode_ = offer.returnCode;
    exchange_.TakeOffer(offer);
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
    downloads_.StartRound(offer.totalSize);
    std::vector<DownloadFile> files = std::move(offer.files);
    if (!downloads_.NamesStayInside(files)) {
        returnCode_ = kLocalFileNotCreated;
        return false;
    }
    downloads_.VerifyManifest(files,
                              {options_.Value("ProductAbbreviation"), newVersion_.value_or(""),
                               options_.Value("ProductVersion"), requestType_ == kUpdate});
    std::vector<std::string> lookupDirs = options_.Values("LookupDir");
    for (std::string& dir : lookupDirs) {
        dir = SubstituteVariables(dir, variables_);
    }
    downloads_.DropFilesPresent(files, lookupDirs);
    if (const auto stop = exchange_.CheckProgress(files.size(), firstRound)) {
        returnCode_ = *stop;
        return false;
    }
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
        const std::string path = downloads_.PathOf(file.name);
        if (EqualsNoCase(file.name, script)) {
            updateScript_ = path;
        }
        int32_t failure = 0;
        try {
            const ManifestFile* listed =
                FindManifestFile(*downloads_.VerifiedManifest(), file.name);
            failure = downloads_.Download(file, path, &listed->sha256);
        } catch (const UpdaterFailure& thrown) {
            if (thrown.code != kDownloadStatus || !exchange_.Expired()) {
                throw;
            }
            windows_.HideProgress();
            exchange_.Refused();
            return true;
        }
        if (failure != 0) {
            returnCode_ = failure;
            return false;
        }
        if (--filesLeft > 0 && exchange_.Expired()) {
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

void UpdateEngine::RunDownloadedScript() {
    ProcessVariablesFile(updateScript_);
    ScriptRunner runner(platform_, windows_, log_, script_, downloads_.WorkingDirectory() + "\\",
                        EqualsNoCase(options_.Value("BreakScriptIfFail"), "yes"), texts_);
    runner.SetDeadline(guard_.Deadline());
    InstallJournal journal(platform_, log_, programDir_);
    runner.SetJournal(&journal);
    // An update whose script could not be read, stopped half-way or had a
    // line fail was not carried out, and must not be reported as if it
    // were: its copies are undone, and the version stays the old one.
    if (!runner.Load(updateScript_, variables_) || !runner.Run(guard_.CancelFlag()) ||
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
    for (const ResponseRecord& record : exchange_.Response()) {
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
