// Update scripts, loaded with variables that refer to each other in circles
// and grow on every round, then run over an in-memory system. Checks: the
// substitution always ends with words of bounded size, and a run ends (the
// termination event comes after a fixed number of checks) with a result or
// the cancellation.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "updater/core/return_codes.h"
#include "updater/core/script_runner.h"
#include "updater/tests/fake_platform.h"

using namespace qlx::updater;
using namespace qlx::updater::testing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ScriptVariables variables = {{"A", "%B%"},     {"B", "%A%x"}, {"Grow", "%Grow%%Grow%"},
                                       {"Dir", "C:\\p"}, {"Empty", ""}, {"Pct", "%"}};
    FakePlatform platform;
    platform.files["C:\\p\\s.script"] = text;
    platform.files["C:\\p\\a.dll"] = "A";
    platform.installResults["C:\\p\\inuse.dll"] = {0, true};
    platform.events["E"].waitsBeforeSignalled = 3;
    platform.processWaits = 2;
    platform.terminationAfterChecks = 500;
    RecordingLog log;
    RecordingWindows windows;
    ScriptState state;
    ScriptRunner runner(platform, windows, log, state, "C:\\p\\", size % 2 == 0);
    if (!runner.Load("C:\\p\\s.script", variables)) {
        std::abort();
    }
    for (const ScriptLine& line : ParseScriptText(text, variables)) {
        for (const std::string& word : line) {
            if (word.size() > 32768 + size || word.find_first_of("\r\n") != std::string::npos) {
                std::abort();
            }
        }
    }
    bool cancelled = false;
    try {
        runner.Run(&cancelled);
    } catch (const UpdaterFailure& failure) {
        if (failure.code != kCancelled || !cancelled) {
            std::abort();
        }
    }
    return 0;
}
