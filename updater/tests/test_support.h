#pragma once
// Helpers shared by the updater core's tests.
#include <string>
#include <vector>

#include "updater/core/update_engine.h"
#include "updater/tests/fake_platform.h"

namespace qlx::updater::testing {

// A platform, log and windows with an engine over them.
struct EngineRig {
    FakePlatform platform;
    RecordingLog log;
    RecordingWindows windows;

    explicit EngineRig(std::string commandLine) {
        platform.commandLine = "\"C:\\prog\\update.exe\" " + commandLine;
    }
};

// Checks written as text, so that one table row can hold many of them:
//   "opt:Name=a|b"  the option's values joined by "|"
//   "raw:Name=text" the option's raw text
//   "no:Name"       the option is not set
//   "var:Name=v"    a script variable
//   "log:line"      a log line
// Returns the checks that failed, each with what was found.
std::vector<std::string> FailedChecks(const UpdateEngine& engine, const RecordingLog& log,
                                      const std::vector<std::string>& checks);

} // namespace qlx::updater::testing
