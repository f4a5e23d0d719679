#include "updater/core/language_packs.h"

#include <algorithm>

#include "common/core/text.h"
#include "updater/core/words.h"

namespace qlx::updater {

namespace {

bool Contains(const std::vector<std::string>& codes, std::string_view code) {
    return std::any_of(codes.begin(), codes.end(),
                       [&](const std::string& c) { return EqualsNoCase(c, code); });
}

} // namespace

std::vector<std::string> InstalledLanguages(std::string_view text) {
    std::vector<std::string> codes;
    while (!text.empty()) {
        const size_t end = text.find_first_of("\r\n");
        const std::string_view line = TrimBlanks(text.substr(0, end));
        if (!line.empty() && !Contains(codes, line)) {
            codes.emplace_back(line);
        }
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
    return codes;
}

std::string WithLanguageInUse(std::string_view text, const std::string& code) {
    std::string result = code + "\r\n";
    for (const std::string& c : InstalledLanguages(text)) {
        if (!EqualsNoCase(c, code)) {
            result += c + "\r\n";
        }
    }
    return result;
}

std::vector<LanguagePack> ListLanguagePacks(const ServerResponse& response,
                                            const std::vector<std::string>& installed) {
    std::vector<LanguagePack> packs;
    std::vector<std::string> listed;
    for (const ResponseRecord& record : response) {
        if (!EqualsNoCase(record.keyword, "Language") || record.values.empty() ||
            record.values[0].empty() || Contains(listed, record.values[0])) {
            continue;
        }
        const std::string& code = record.values[0];
        const std::string name =
            record.values.size() > 1 && !record.values[1].empty() ? record.values[1] : code;
        packs.push_back({code, name, Contains(installed, code)});
        listed.push_back(code);
    }
    for (const std::string& code : installed) {
        if (!Contains(listed, code)) {
            packs.push_back({code, code, true});
        }
    }
    return packs;
}

} // namespace qlx::updater
