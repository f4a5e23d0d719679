#include "tray/core/command_line.h"

#include "common/core/text.h"

namespace qlx::tray {

namespace {

// Splits on blanks; double quotes group a token (the quotes are dropped).
template <typename F> void ForEachToken(std::string_view line, F&& f) {
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        if (i >= line.size()) {
            break;
        }
        std::string token;
        bool quoted = false;
        while (i < line.size() && (quoted || (line[i] != ' ' && line[i] != '\t'))) {
            if (line[i] == '"') {
                quoted = !quoted;
            } else {
                token += line[i];
            }
            ++i;
        }
        f(std::string_view(token));
    }
}

} // namespace

StartMode ParseCommandLine(std::string_view commandLine) {
    StartMode mode = StartMode::Normal;
    ForEachToken(commandLine, [&](std::string_view token) {
        if (token.size() < 2 || (token[0] != '/' && token[0] != '-')) {
            return;
        }
        const std::string_view name = token.substr(1);
        if (EqualsNoCase(name, "Embedding") || EqualsNoCase(name, "Automation")) {
            mode = StartMode::ComServer;
        } else if (EqualsNoCase(name, "RegServer") || EqualsNoCase(name, "Register")) {
            mode = StartMode::Register;
        } else if (EqualsNoCase(name, "UnregServer") || EqualsNoCase(name, "Unregister")) {
            mode = StartMode::Unregister;
        }
    });
    return mode;
}

} // namespace qlx::tray
