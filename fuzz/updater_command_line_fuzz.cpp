// The updater's command line, read by a whole session over an in-memory
// system. Checks: any command line ends the session with one of the
// updater's own exit codes (a server address that does not split rightly
// gives -9, for instance), words split and rejoin
// stably, and the log never gets a line of two characters or fewer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "updater/core/return_codes.h"
#include "updater/core/update_engine.h"
#include "updater/core/words.h"
#include "updater/tests/fake_platform.h"

using namespace qlx::updater;
using namespace qlx::updater::testing;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string line(reinterpret_cast<const char*>(data), size);
    for (const std::string& word : SplitWords(line)) {
        if (!word.empty() && word.find_first_of(" \t\"'") == std::string::npos &&
            SplitWords(word) != std::vector<std::string>{word}) {
            std::abort();
        }
    }
    FakePlatform platform;
    platform.commandLine = "update.exe " + line;
    platform.files["C:\\prog\\updater.dat"] = "[general]\nProductVersion=@pv.dat\n";
    platform.files["C:\\prog\\pv.dat"] = "1.2.3.4\r\n";
    platform.files["C:\\prog\\s.script"] = "copy a b\nwaitforevent x\n";
    platform.terminationAfterChecks = 200;
    RecordingLog log;
    RecordingWindows windows;
    int32_t code = 0;
    {
        UpdateEngine engine(platform, windows, log);
        code = engine.RunSession();
    }
    if (!IsUpdaterReturnCode(code)) {
        std::abort();
    }
    for (const std::string& message : log.lines) {
        if (message.size() <= 2) {
            std::abort();
        }
    }
    return 0;
}
