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

// A public key for the fake verifier, different for each `seed`.
P256PublicKey TestKey(uint8_t seed);
std::string EncodeBase64(std::string_view bytes);
// Its line in "update.key".
std::string KeyLine(const P256PublicKey& key);
// `body` with its "Signature:" line by `key` appended.
std::string Signed(const std::string& body, const P256PublicKey& key);
// The unsigned part of a manifest: product, version and a "File" line per
// (name, content).
std::string ManifestBody(const std::string& product, const std::string& version,
                         const std::vector<std::pair<std::string, std::string>>& files);

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
