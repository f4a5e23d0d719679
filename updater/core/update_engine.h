#pragma once
// `UpdateEngine`: one update session, from the command line to the exit
// code. It runs on the engine thread and reaches the system only through
// `UpdaterPlatform`, the windows only through `UpdaterNotifications`. The
// server exchange and the downloads are its parts, each behind its own
// narrow view of the platform.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "updater/core/download_session.h"
#include "updater/core/log_line.h"
#include "updater/core/options.h"
#include "updater/core/platform.h"
#include "updater/core/script_runner.h"
#include "updater/core/server_exchange.h"
#include "updater/core/server_response.h"
#include "updater/core/session_guard.h"
#include "updater/core/update_manifest.h"

namespace qlx::updater {

enum Appearance : int { kAppearanceNormal = 0, kAppearanceInvisible = 1, kAppearanceStealth = 2 };

// The string-table entry of the final message for a return code (0: none),
// and the return code after it (23 becomes 22 when a restart is required).
struct FinalMessageChoice {
    int stringId;
    int32_t returnCode;
};
FinalMessageChoice ChooseFinalMessage(int32_t returnCode, bool restartRequired);

// "Stealth" and "Invisible" (any case); anything else is the normal appearance.
int AppearanceOf(std::string_view text);

// Digits and dots, no empty group, three or four dots.
bool IsValidProductVersion(std::string_view version);

class UpdateEngine {
public:
    using TextSource = std::function<std::string(int)>;

    // Writes the start banner with the command line.
    UpdateEngine(UpdaterPlatform& platform, UpdaterNotifications& windows, LogSink& log,
                 TextSource texts = BuiltInText);
    // Writes the end banner.
    ~UpdateEngine();
    UpdateEngine(const UpdateEngine&) = delete;
    UpdateEngine& operator=(const UpdateEngine&) = delete;

    // The whole session; returns (and keeps) the return code.
    int32_t RunSession();

    int32_t ReturnCode() const { return returnCode_; }
    int RequestType() const { return requestType_; }
    int Appearance() const { return appearance_; }
    int ProductFamily() const { return productFamily_; }
    bool Cancelled() const { return guard_.Cancelled(); }
    const OptionStore& Options() const { return options_; }
    const ScriptVariables& Variables() const { return variables_; }
    const ScriptState& Script() const { return script_; }

    // Reading the command line and the variables files, then the defaults:
    // the first steps of the session, callable alone.
    void ReadArguments();
    void ApplyDefaults();
    // Whether the file was found.
    bool ProcessVariablesFile(const std::string& path);
    // Writes a value the server sent back into the variables file an option
    // or variable came from (its raw text without "<"); false, logged, when
    // nothing was written.
    bool WriteVariable(const std::string& storage, const std::string& name,
                       const std::string& value);
    // The request address for one server; throws -3 or -5.
    std::string BuildRequestAddress(const std::string& server);
    const ServerResponse& Response() const { return exchange_.Response(); }
    const std::string& WorkingDirectory() const { return downloads_.WorkingDirectory(); }

private:
    void Log(std::string_view message) { log_.Write(message); }
    void ProcessOptionWord(std::string_view body);
    // Resolves "#" and "@" values; false (with the warning logged) when the
    // reference cannot be read. `source` is the variables file of the value,
    // empty for the command line and the defaults.
    bool Resolve(const std::string& text, const std::string& source, std::string* value);
    void ProcessVariablesText(const std::string& path, std::string_view text);
    void SetFromFile(const VariableLine& line, const std::string& path);
    void ApplyDefault(const char* name, const std::string& text);
    void ReadSwitches();
    void HandleServer(const std::string& server);
    void ExecuteScript();
    void ConfigureLanguage(const std::string& server);
    void RecordLanguageInUse();
    void EndSession();

    // One round of an "update" or "getlanguage" answer; true when the
    // request is to be sent again for the files still missing.
    bool ProcessUpdateResponse(bool firstRound);
    void WriteNetworkReport();
    void RunDownloadedScript();
    void WriteBackIdentity();
    void WriteBack(const char* option, const std::string& value);
    void ShowServerMessages();
    // Throws -17 (logged) when `path` is the version file and its version
    // does not pass the check.
    void CheckVersionFile(const std::string& path);

    UpdaterPlatform& platform_;
    UpdaterNotifications& windows_;
    LogSink& log_;
    TextSource texts_;

    int32_t returnCode_ = 0;
    int requestType_ = kNoRequest;
    bool languageChosen_ = false; // "configurelanguagepacks" goes on as "getlanguage"
    int appearance_ = kAppearanceNormal;
    int productFamily_ = 0;
    bool sessionOver_ = false;
    std::string programDir_;
    OptionStore options_;
    ScriptVariables variables_;
    VerbRules verbs_;
    ScriptState script_;

    SessionGuard guard_;
    ServerExchange exchange_;
    DownloadSession downloads_;

    // What the server being asked sends.
    std::string updateScript_;
    std::optional<std::string> newVersion_, newName_, newAbbr_;
};

} // namespace qlx::updater
