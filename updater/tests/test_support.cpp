#include "updater/tests/test_support.h"

namespace qlx::updater::testing {

std::vector<std::string> FailedChecks(const UpdateEngine& engine, const RecordingLog& log,
                                      const std::vector<std::string>& checks) {
    std::vector<std::string> failed;
    for (const std::string& check : checks) {
        const size_t colon = check.find(':');
        const std::string kind = check.substr(0, colon);
        const std::string rest = check.substr(colon + 1);
        const size_t eq = rest.find('=');
        const std::string name = rest.substr(0, eq);
        const std::string want = eq == std::string::npos ? "" : rest.substr(eq + 1);
        std::string found;
        bool ok = false;
        if (kind == "opt") {
            for (const std::string& v : engine.Options().Values(name)) {
                found += (found.empty() ? "" : "|") + v;
            }
            ok = engine.Options().Has(name) && found == want;
        } else if (kind == "raw") {
            found = engine.Options().Raw(name);
            ok = found == want;
        } else if (kind == "no") {
            found = engine.Options().Value(name);
            ok = !engine.Options().Has(name);
        } else if (kind == "var") {
            auto it = engine.Variables().find(name);
            found = it == engine.Variables().end() ? "(none)" : it->second;
            ok = it != engine.Variables().end() && found == want;
        } else if (kind == "log") {
            ok = log.Has(rest);
            for (const std::string& line : log.lines) {
                found += "\n  " + line;
            }
        }
        if (!ok) {
            failed.push_back(check + " -- found: " + found);
        }
    }
    return failed;
}

} // namespace qlx::updater::testing
