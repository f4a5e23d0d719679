#include "tools/harness/crash/crash_files.h"

#include <algorithm>
#include <set>

#include "engine/core/history_file.h"
#include "engine/core/list_file.h"

namespace qlx::crash {

tray::History TrayHistory(int which) {
    // Different lengths, so that a cut or a mix shows in the count too.
    const size_t count = which == 0 ? 400 : 1500;
    tray::History history;
    for (size_t i = 0; i < count; ++i) {
        const std::string n = std::to_string(i);
        history.push_back({"2026-12-07 10:00:00", "http://site" + n + ".example.com",
                           "http://popup.example.net/" + std::to_string(which) + "/" + n,
                           static_cast<uint32_t>(i), 2, 300, 200});
    }
    return history;
}

bool IsWholeTrayHistory(std::string_view bytes) {
    return bytes == tray::WriteHistoryText(TrayHistory(0)) ||
           bytes == tray::WriteHistoryText(TrayHistory(1));
}

namespace {

std::string SeededName(size_t i) {
    std::string name = "site";
    name.append(std::to_string(100000 + i)).append(".example.com");
    return name;
}

} // namespace

std::string SeededDomainList() {
    std::string text;
    for (size_t i = 0; i < kSeededDomains; ++i) {
        text.append(1, '+').append(SeededName(i)).append("\r\n");
    }
    return text;
}

bool IsWholeDomainList(std::string_view bytes) {
    if (bytes.size() < 2 || bytes.substr(bytes.size() - 2) != "\r\n") {
        return false;
    }
    std::set<std::string> names;
    for (const auto& entry : engine::ParseListFile(bytes)) {
        names.insert(entry.name);
    }
    const bool withExtra = names.erase(kExtraDomain) == 1;
    if (names.size() != kSeededDomains) {
        return false;
    }
    for (size_t i = 0; i < kSeededDomains; ++i) {
        if (names.count(SeededName(i)) == 0) {
            return false;
        }
    }
    const size_t lines = kSeededDomains + (withExtra ? 1 : 0);
    return static_cast<size_t>(std::count(bytes.begin(), bytes.end(), '\n')) == lines;
}

bool IsWholeEngineHistory(std::string_view bytes, size_t atLeast, size_t* records) {
    const auto history = engine::ParseHistoryFile(bytes);
    *records = history.size();
    return history.size() >= atLeast && engine::FormatHistoryFile(history) == bytes;
}

} // namespace qlx::crash
