#pragma once
// The updater's options and script variables. Option names are the
// program's own and compare without regard to case; `Server` and
// `LookupDir` collect every setting in order, every other option keeps the
// last one. Beside each resolved value the store keeps the text the caller
// wrote, so that a value the server sends back can be written to where it
// came from.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/core/text.h"

namespace qlx::updater {

bool IsKnownOption(std::string_view name);
bool IsListOption(std::string_view name);

class OptionStore {
public:
    void Set(std::string_view name, std::string value, std::string raw);
    bool Has(std::string_view name) const;
    // The value, or the first entry of a list; empty when absent.
    std::string Value(std::string_view name) const;
    std::string Raw(std::string_view name) const;
    std::vector<std::string> Values(std::string_view name) const;

private:
    struct Entry {
        std::vector<std::string> values;
        std::vector<std::string> raws;
    };
    std::map<std::string, Entry, LessNoCase> entries_;
};

using ScriptVariables = std::map<std::string, std::string, LessNoCase>;

// Request verbs, by index: the request type.
enum RequestType : int {
    kNoRequest = -1,
    kCheck = 0,
    kUpdate = 1,
    kGetLanguage = 2,
    kConfigureLanguagePacks = 3,
    kExecuteScript = 4,
    kDelayedLangReg = 5,
};

// Index of a verb (any case), or kNoRequest.
int VerbIndex(std::string_view word);

// Feeds the free words of a command line one by one and keeps the request
// verb (with the script of "executescript=file"); every word it ignores
// comes back as the warning to log.
class VerbRules {
public:
    std::string Feed(std::string_view word);
    int Request() const { return request_; }
    const std::string& Script() const { return script_; }

private:
    int request_ = kNoRequest;
    std::string script_;
};

} // namespace qlx::updater
