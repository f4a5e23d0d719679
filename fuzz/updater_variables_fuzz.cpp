// Variables files as people edit them. Checks: every parsed line has a name
// without line breaks, and a variable (or option) written into any file
// reads back with its new value, in "[general]" for an option, unless the
// writer refused the file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/core/text.h"
#include "updater/core/text_files.h"

using namespace qlx::updater;

namespace {

bool ReadsBack(const std::string& text, const std::string& name, bool option) {
    for (const VariableLine& line : ParseVariablesText(text)) {
        if ((line.general || !option) && qlx::EqualsNoCase(line.name, name) &&
            line.value == "written value") {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto lines = ParseVariablesText(text);
    for (const VariableLine& line : lines) {
        if (line.name.empty() || line.name.find_first_of("\r\n") != std::string::npos ||
            line.value.find_first_of("\r\n") != std::string::npos) {
            std::abort();
        }
    }
    // Names that are there (plain ones the writer can find) and one that is not.
    std::vector<std::string> names{"ProductVersion", "Fuzzed"};
    for (const VariableLine& line : lines) {
        if (line.name.find_first_of(" \t\"'=;[/") == std::string::npos) {
            names.push_back(line.name);
            break;
        }
    }
    for (const std::string& name : names) {
        for (const bool option : {true, false}) {
            const WriteResult r = WriteVariableText(text, name, "written value", option);
            if (r.outcome != WriteOutcome::InvalidFormat && !ReadsBack(r.text, name, option)) {
                std::abort();
            }
        }
    }
    return 0;
}
