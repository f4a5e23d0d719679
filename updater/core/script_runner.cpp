#include "updater/core/script_runner.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "common/core/text.h"
#include "updater/core/references.h"
#include "updater/core/return_codes.h"

namespace qlx::updater {

namespace {

constexpr uint32_t kWaitStepMs = 500;
// Between two tries to open an event that "setevent" must set: short, so the
// line follows its partner quickly, but never a busy loop.
constexpr uint32_t kSetEventPauseMs = 50;
const char* const kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

std::string Seconds(uint64_t steps, uint32_t stepMs) {
    return std::to_string(steps * stepMs / 1000);
}

void AppendQuoted(std::string& commandLine, const std::string& word) {
    commandLine += '"';
    commandLine += word;
    commandLine += "\" ";
}

} // namespace

ScriptRunner::ScriptRunner(UpdaterPlatform& platform, UpdaterNotifications& windows, LogSink& log,
                           ScriptState& state, std::string baseDir, bool breakIfFail,
                           std::function<std::string(int)> texts)
    : platform_(platform), windows_(windows), log_(log), state_(state),
      baseDir_(std::move(baseDir)), breakIfFail_(breakIfFail), texts_(std::move(texts)) {}

bool ScriptRunner::Load(const std::string& path, const ScriptVariables& variables) {
    auto text = platform_.ReadTextFile(path, nullptr);
    if (!text) {
        Log("Warning: script file not found: " + path);
        return false;
    }
    lines_ = ParseScriptText(*text, variables);
    return true;
}

bool ScriptRunner::Run(bool* cancelled) {
    windows_.SetTitle(texts_(kTextInstallTitle));
    windows_.SetProgressLines(texts_(kTextActionsPerforming), texts_(kTextBePatient),
                              texts_(kTextCancelHint2));
    windows_.PhaseStarts(false);
    bool ok = false;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const int percent = static_cast<int>(i * 100 / lines_.size());
        windows_.Progress(percent, percent);
        ok = RunLine(lines_[i], ok);
        failedLines_ += ok ? 0 : 1;
        if (platform_.TerminationSignalled()) {
            *cancelled = true;
            throw UpdaterFailure{kCancelled};
        }
        if (!ok && breakIfFail_) {
            windows_.HideProgress();
            Log("Script failed. Terminating script execution.");
            return false;
        }
    }
    windows_.HideProgress();
    return true;
}

bool ScriptRunner::RunLine(const ScriptLine& words, bool previous) {
    const std::string& verb = words.front();
    if (EqualsNoCase(verb, "copy")) {
        return Copy(words);
    }
    if (EqualsNoCase(verb, "exec")) {
        return Exec(words);
    }
    if (EqualsNoCase(verb, "delete")) {
        return Delete(words);
    }
    if (EqualsNoCase(verb, "setevent")) {
        return SetEvent(words);
    }
    if (EqualsNoCase(verb, "waitforevent")) {
        return WaitForEvent(words);
    }
    return previous;
}

bool ScriptRunner::Copy(const ScriptLine& words) {
    if (words.size() < 3 || words.size() > 5) {
        Log("Script error: invalid number of arguments, line: " + JoinWords(words));
        return false;
    }
    state_.restartPending = false;
    if (words[1].empty() || words[2].empty()) {
        Log("Script error: invalid argument, line: " + JoinWords(words));
        return false;
    }
    const std::string source = ResolvePath(baseDir_, words[1]);
    const std::string target = ResolvePath(baseDir_, words[2]);
    if (!platform_.FileExists(source)) {
        Log("Script error: file is missing : " + source + ", line: " + JoinWords(words));
        return false;
    }
    state_.restartMode = kRestartNormal;
    if (words.size() >= 4) {
        if (EqualsNoCase(words[3], "rebootalways")) {
            state_.restartMode = kRestartAlways;
            state_.restartPending = true;
        } else if (EqualsNoCase(words[3], "rebootnone")) {
            state_.restartMode = kRestartNone;
        }
    }
    const InstallResult result =
        journal_ ? journal_->Install(source, target) : platform_.InstallFile(source, target);
    if (result.error != 0) {
        // Reported, never passed off as installed.
        Log("Script error: file not copied : " + source + " to " + target +
            ", error: " + std::to_string(result.error) + ", line: " + JoinWords(words));
        return false;
    }
    if (result.inUse) {
        state_.restartPending = true;
        if (state_.restartMode != kRestartNone) {
            state_.restartRequired = true;
        }
    }
    return true;
}

bool ScriptRunner::Exec(const ScriptLine& words) {
    if (words.size() < 2) {
        Log("Script error: argument expected, line: " + JoinWords(words));
        return false;
    }
    std::string commandLine;
    AppendQuoted(commandLine, ResolvePath(baseDir_, words[1]));
    bool wait = false;
    for (size_t i = 2; i < words.size(); ++i) {
        if (EqualsNoCase(words[i], "wait")) {
            wait = true;
        } else if (words[i].empty() || words[i].find(' ') != std::string::npos) {
            // A word that was quoted in the script stays one argument.
            AppendQuoted(commandLine, words[i]);
        } else {
            commandLine += words[i];
            commandLine += ' ';
        }
    }
    if (state_.restartPending) {
        Registry& registry = platform_.SystemRegistry();
        if (!registry.CreateKey(RegRoot::CurrentUser, kRunOnceKey)) {
            Log("Script error: coldn't open 'runonce' registry key during delayed execute, "
                "line: " +
                JoinWords(words));
            return false;
        }
        char name[16];
        std::snprintf(name, sizeof name, "%x", static_cast<unsigned>(platform_.Random()));
        if (!registry.SetValue(RegRoot::CurrentUser, kRunOnceKey, name,
                               RegData::String(commandLine))) {
            Log("Script error: coldn't write value to 'runonce' registry key during delayed "
                "execute, line: " +
                JoinWords(words));
            return false;
        }
        return true;
    }
    uint32_t error = 0;
    auto process = platform_.StartProcess(commandLine, baseDir_, &error);
    if (!process) {
        Log("Script error: coldn't execute file, line :" + JoinWords(words) +
            " , error code = " + std::to_string(error));
        return false;
    }
    if (!wait) {
        return true;
    }
    for (uint64_t steps = 0;; ++steps) {
        if (platform_.TerminationSignalled()) {
            Log("Warning: canceled by user after " + Seconds(steps, kWaitStepMs) +
                " seconds waiting for application: " + commandLine);
            return false;
        }
        const uint32_t step = WaitStep(kWaitStepMs, "application: " + commandLine);
        if (step == 0) {
            return false;
        }
        if (process->Wait(step)) {
            return true;
        }
    }
}

uint32_t ScriptRunner::WaitStep(uint32_t stepMs, const std::string& what) {
    const uint64_t now = platform_.Milliseconds();
    if (now >= deadline_) {
        Log("Warning: the session ran out of time waiting for " + what);
        return 0;
    }
    return static_cast<uint32_t>(std::min<uint64_t>(stepMs, deadline_ - now));
}

bool ScriptRunner::Delete(const ScriptLine& words) {
    if (words.size() != 2) {
        Log("Script error: argument missed, line : " + JoinWords(words));
        return false;
    }
    const std::string path = ResolvePath(baseDir_, words[1]);
    if (const uint32_t error = platform_.DeleteFile(path); error != 0) {
        Log("Script warning: file not deleted : " + path + ", error: " + std::to_string(error));
    }
    return true;
}

std::unique_ptr<NamedEvent> ScriptRunner::OpenWhenCreated(const std::string& name,
                                                          uint32_t pauseMs) {
    for (uint64_t tries = 0;; ++tries) {
        if (platform_.TerminationSignalled()) {
            Log("Warning: canceled by user after " + Seconds(tries, pauseMs) +
                " seconds of opening event: " + name);
            return nullptr;
        }
        if (auto event = platform_.OpenEvent(name)) {
            return event;
        }
        const uint32_t step = WaitStep(pauseMs, "event: " + name);
        if (step == 0) {
            return nullptr;
        }
        platform_.WaitForTermination(step);
    }
}

bool ScriptRunner::SetEvent(const ScriptLine& words) {
    if (words.size() < 2 || words.size() > 3) {
        Log("Script error: wrong argument list, line : " + JoinWords(words));
        return false;
    }
    auto event = OpenWhenCreated(words[1], kSetEventPauseMs);
    if (!event) {
        return false;
    }
    const bool reset = words.size() == 3 && EqualsNoCase(words[2], "reset");
    if (const uint32_t error = event->Set(reset); error != 0) {
        Log("Warning: event set/reset failed, line: " + JoinWords(words) +
            " , error code: " + std::to_string(error));
        return false;
    }
    return true;
}

bool ScriptRunner::WaitForEvent(const ScriptLine& words) {
    if (words.size() != 2) {
        Log("Script error: argument missed, line : " + JoinWords(words));
        return true;
    }
    auto event = OpenWhenCreated(words[1], kWaitStepMs);
    if (!event) {
        return true;
    }
    for (uint64_t steps = 0;; ++steps) {
        if (platform_.TerminationSignalled()) {
            Log("Warning: canceled by user after " + Seconds(steps, kWaitStepMs) +
                " seconds waiting for event: " + words[1]);
            return true;
        }
        const uint32_t step = WaitStep(kWaitStepMs, "event: " + words[1]);
        if (step == 0) {
            return true;
        }
        if (event->Wait(step)) {
            return true;
        }
    }
}

} // namespace qlx::updater
