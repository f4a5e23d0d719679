#pragma once
// Update scripts: "copy", "exec", "delete", "setevent" and "waitforevent",
// one line after the other. A failing line never throws; it stops the
// script only when the script is to break at its first failure. The
// termination event ends the script with 26 after any line or during a wait.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "updater/core/install_journal.h"
#include "updater/core/log_line.h"
#include "updater/core/platform.h"
#include "updater/core/text_files.h"
#include "updater/core/texts.h"

namespace qlx::updater {

enum RestartMode : int { kRestartNone = 0, kRestartNormal = 1, kRestartAlways = 2 };

// Kept by the engine for the session.
struct ScriptState {
    int restartMode = kRestartNone;
    bool restartPending = false;  // the last copy was deferred or asked for "rebootalways"
    bool restartRequired = false; // turns 21 into 22
};

class ScriptRunner {
public:
    ScriptRunner(UpdaterPlatform& platform, UpdaterNotifications& windows, LogSink& log,
                 ScriptState& state, std::string baseDir, bool breakIfFail,
                 std::function<std::string(int)> texts = BuiltInText);

    // Reads the whole script and substitutes its variables; false (logged)
    // when the file cannot be read.
    bool Load(const std::string& path, const ScriptVariables& variables);
    void SetLines(std::vector<ScriptLine> lines) { lines_ = std::move(lines); }
    // Copies go through `journal`, which can put the old files back.
    void SetJournal(InstallJournal* journal) { journal_ = journal; }
    // Whether every line that ran succeeded (a failure let pass included).
    bool AllSucceeded() const { return failedLines_ == 0; }
    // Waits end (the line failing) when the clock passes `ms`.
    void SetDeadline(uint64_t ms) { deadline_ = ms; }

    // True when every line ran or its failure was allowed to pass. Throws
    // UpdaterFailure{26} (with `*cancelled` set) when the session is cancelled.
    bool Run(bool* cancelled);

private:
    bool RunLine(const ScriptLine& words, bool previous);
    bool Copy(const ScriptLine& words);
    bool Exec(const ScriptLine& words);
    bool Delete(const ScriptLine& words);
    bool SetEvent(const ScriptLine& words);
    bool WaitForEvent(const ScriptLine& words);
    // Opens a named event, trying until it exists; nothing when cancelled
    // first (logged).
    std::unique_ptr<NamedEvent> OpenWhenCreated(const std::string& name, uint32_t pauseMs);
    void Log(std::string_view message) { log_.Write(message); }
    // The next wait step: `stepMs`, or the session's time left when that is
    // shorter; 0 (logged with what was waited for) when none is left.
    uint32_t WaitStep(uint32_t stepMs, const std::string& what);

    UpdaterPlatform& platform_;
    UpdaterNotifications& windows_;
    LogSink& log_;
    ScriptState& state_;
    std::string baseDir_;
    bool breakIfFail_;
    std::function<std::string(int)> texts_;
    std::vector<ScriptLine> lines_;
    uint64_t deadline_ = UINT64_MAX;
    InstallJournal* journal_ = nullptr;
    int failedLines_ = 0;
};

} // namespace qlx::updater
