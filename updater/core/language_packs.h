#pragma once
// Language packs: those a server offers in its "Language" lines and those
// this computer has, as the language window lists them.
//
// A "Language" line names one pack: "Language: <code>, <name>", the code
// being what the server understands as `GetLanguage`, the name what the
// user reads (the code when it is missing). "language.dat" in the
// updater's folder has one installed code per line, the language in use
// first.
#include <string>
#include <string_view>
#include <vector>

#include "updater/core/server_response.h"

namespace qlx::updater {

struct LanguagePack {
    std::string code;
    std::string name;
    bool installed = false;
    bool operator==(const LanguagePack&) const = default;
};

inline constexpr const char* kLanguageFile = "language.dat";

// The installed codes of a "language.dat" text, the one in use first;
// blank lines and repeats are left out.
std::vector<std::string> InstalledLanguages(std::string_view text);
// The text with `code` in use and kept among the installed ones.
std::string WithLanguageInUse(std::string_view text, const std::string& code);

// The offered packs in response order (a code offered twice counts once),
// then the installed packs no server offers; codes compare without regard
// to case.
std::vector<LanguagePack> ListLanguagePacks(const ServerResponse& response,
                                            const std::vector<std::string>& installed);

} // namespace qlx::updater
