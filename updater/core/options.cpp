#include "updater/core/options.h"

#include <array>

namespace qlx::updater {

namespace {

constexpr std::array<std::string_view, 16> kOptionNames = {
    "ProductName",   "ProductAbbreviation", "Server",        "ProductVersion",
    "UseSSL",        "Appearance",          "DefaultScript", "VersionFile",
    "ProductFamily", "TargetDir",           "LookupDir",     "GetLanguage",
    "DetailedLog",   "BreakScriptIfFail",   "ResourceFile",  "SessionTimeout"};

constexpr std::array<std::string_view, 6> kVerbs = {
    "check", "update", "getlanguage", "configurelanguagepacks", "executescript", "delayedlangreg"};

} // namespace

bool IsKnownOption(std::string_view name) {
    for (auto known : kOptionNames) {
        if (EqualsNoCase(known, name)) {
            return true;
        }
    }
    return false;
}

bool IsListOption(std::string_view name) {
    return EqualsNoCase(name, "Server") || EqualsNoCase(name, "LookupDir");
}

void OptionStore::Set(std::string_view name, std::string value, std::string raw) {
    Entry& e = entries_[std::string(name)];
    if (!IsListOption(name)) {
        e.values.clear();
        e.raws.clear();
    }
    e.values.push_back(std::move(value));
    e.raws.push_back(std::move(raw));
}

bool OptionStore::Has(std::string_view name) const {
    return entries_.find(name) != entries_.end();
}

std::string OptionStore::Value(std::string_view name) const {
    auto it = entries_.find(name);
    return it == entries_.end() ? std::string() : it->second.values.front();
}

std::string OptionStore::Raw(std::string_view name) const {
    auto it = entries_.find(name);
    return it == entries_.end() ? std::string() : it->second.raws.front();
}

std::vector<std::string> OptionStore::Values(std::string_view name) const {
    auto it = entries_.find(name);
    return it == entries_.end() ? std::vector<std::string>() : it->second.values;
}

int VerbIndex(std::string_view word) {
    for (size_t i = 0; i < kVerbs.size(); ++i) {
        if (EqualsNoCase(kVerbs[i], word)) {
            return static_cast<int>(i);
        }
    }
    return kNoRequest;
}

std::string VerbRules::Feed(std::string_view word) {
    const size_t eq = word.find('=');
    const std::string_view name = word.substr(0, eq);
    const bool hasValue = eq != std::string_view::npos;
    const std::string_view value = hasValue ? word.substr(eq + 1) : std::string_view();
    const int verb = VerbIndex(name);
    if (verb == kExecuteScript) {
        if (request_ != kNoRequest || value.empty()) {
            return "Warning: incorrectly used ExecuteScript verb, ignored.";
        }
        request_ = kExecuteScript;
        script_ = std::string(value);
        return {};
    }
    if (request_ != kNoRequest) {
        return "Warning: misplaced verb: " + std::string(word) + ", ignored.";
    }
    if (verb == kNoRequest) {
        return "Warning: unknown verb: " + std::string(word) + ", ignored.";
    }
    if (hasValue) {
        return "Warning: misused verb: " + std::string(word) + ", ignored.";
    }
    request_ = verb;
    return {};
}

} // namespace qlx::updater
