#include "updater/core/update_engine.h"

#include <cstdio>

#include "common/core/text.h"
#include "updater/core/install_journal.h"
#include "updater/core/language_packs.h"
#include "updater/core/references.h"
#include "updater/core/server_response.h"
#include "updater/core/return_codes.h"
#include "updater/core/text_files.h"
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
      programDir_(platform.ProgramDirectory()) {
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
    detailedLog_ = IsYes(options_.Value("DetailedLog"));
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

void UpdateEngine::CheckSessionTime() {
    if (platform_.Milliseconds() > sessionDeadline_) {
        Log("Fatal error: the session ran out of time (SessionTimeout " +
            std::to_string(sessionTimeoutMs_ / 1000) + " s). Exiting.");
        throw UpdaterFailure{kGeneralFailure};
    }
}

void UpdateEngine::CheckCancel() {
    if (platform_.TerminationSignalled()) {
        cancelled_ = true;
        throw UpdaterFailure{kCancelled};
    }
}

void UpdateEngine::HandleServer(const std::string& server) {
    const std::string address = BuildRequestAddress(server);
    if (requestType_ == kExecuteScript) {
        CheckCancel();
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
    manifest_.reset();
    lastRoundFiles_ = 0;
    lastRoundRefused_ = false;
    deadline_ = 0;
    if ((requestType_ == kUpdate || requestType_ == kGetLanguage) && !LoadUpdateKeys()) {
        returnCode_ = kGeneralFailure;
        sessionOver_ = true;
        return;
    }
    SendRequest(address);
    const auto code = FirstValue(response_, "ReturnCode");
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
    CheckCancel();
    switch (requestType_) {
    case kCheck:
        returnCode_ = EvaluateCheckResponse(response_);
        sessionOver_ = returnCode_ == kUpdateAvailable || returnCode_ == kCancelled;
        break;
    case kUpdate:
    case kGetLanguage:
        for (int rounds = 1; ProcessUpdateResponse(rounds == 1); ++rounds) {
            if (rounds == kMaxUpdateRounds) {
                Log("Fatal error: the server asked for more than " +
                    std::to_string(kMaxUpdateRounds) + " rounds of downloads. Exiting.");
                returnCode_ = kGeneralFailure;
                break;
            }
            // The files downloaded so far are found there by their CRC.
            options_.Set("LookupDir", workDir_, workDir_);
            SendRequest(address);
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
    const std::string code = windows_.ChooseLanguage(
        options_.Value("ProductName") + " - " + texts_(kTextChooseLanguage),
        ListLanguagePacks(response_, installed), installed.empty() ? "" : installed.front());
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
    runner.SetDeadline(sessionDeadline_);
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
    const bool complete = runner.Run(&cancelled_);
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
        sessionTimeoutMs_ = seconds * 1000;
        sessionDeadline_ = platform_.Milliseconds() + sessionTimeoutMs_;
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
    CleanUp();
    Log("Engine is exiting with return code of " + std::to_string(returnCode_) + ".");
    windows_.SessionEnded(returnCode_);
    windows_.End();
}

} // namespace qlx::updater
