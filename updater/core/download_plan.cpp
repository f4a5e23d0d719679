#include "updater/core/download_plan.h"

#include <algorithm>
#include <random>

namespace qlx::updater {

namespace {

std::string WithBackslash(std::string_view dir) {
    std::string text(dir);
    if (text.empty() || text.back() != '\\') {
        text += '\\';
    }
    return text;
}

} // namespace

std::string WorkingDirectoryName(uint32_t seed) {
    std::minstd_rand random(seed == 0 ? 1 : seed);
    std::uniform_int_distribution<int> letter('a', 'z');
    std::string name;
    while (name.size() < 8) {
        name += static_cast<char>(letter(random));
    }
    return name;
}

std::string WorkingBase(std::string_view targetDir, std::string_view programDir) {
    return targetDir.find(':') == std::string_view::npos ? WithBackslash(programDir)
                                                         : WithBackslash(targetDir);
}

std::string LookupPath(std::string_view entry, std::string_view fileName) {
    const size_t first = entry.find_first_not_of(" \t");
    entry = first == std::string_view::npos
                ? std::string_view()
                : entry.substr(first, entry.find_last_not_of(" \t") - first + 1);
    return WithBackslash(entry) + std::string(fileName);
}

namespace {

// A name the system takes for a device wherever it stands, with or without
// an extension: "NUL", "con.txt", "COM1".
bool IsDeviceName(std::string_view part) {
    std::string stem(part.substr(0, part.find('.')));
    for (char& c : stem) {
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    while (!stem.empty() && stem.back() == ' ') {
        stem.pop_back();
    }
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" ||
        stem == "CONOUT$" || stem == "CLOCK$") {
        return true;
    }
    return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
           stem[3] >= '0' && stem[3] <= '9';
}

} // namespace

bool IsSafeFileName(std::string_view name) {
    if (name.empty() || name.front() == '\\' || name.front() == '/') {
        return false;
    }
    for (char c : name) {
        // Drives, streams, wildcards and control characters.
        if (static_cast<unsigned char>(c) < 32 ||
            std::string_view(":*?\"<>|").find(c) != std::string_view::npos) {
            return false;
        }
    }
    size_t start = 0;
    while (start <= name.size()) {
        const size_t end = std::min(name.find_first_of("\\/", start), name.size());
        const std::string_view part = name.substr(start, end - start);
        // The system drops a trailing dot or blank: "..." and ". " are ".." too.
        if (part.empty() || part.back() == '.' || part.back() == ' ' || IsDeviceName(part)) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

std::optional<uint16_t> ExplicitPort(std::string_view address) {
    const size_t scheme = address.find("://");
    std::string_view authority = address.substr(scheme == std::string_view::npos ? 0 : scheme + 3);
    authority = authority.substr(0, authority.find_first_of("/?#"));
    if (const size_t at = authority.rfind('@'); at != std::string_view::npos) {
        authority.remove_prefix(at + 1);
    }
    if (authority.starts_with('[')) {
        const size_t close = authority.find(']');
        authority.remove_prefix(close == std::string_view::npos ? authority.size() : close + 1);
    }
    const size_t colon = authority.rfind(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view digits = authority.substr(colon + 1);
    uint32_t port = 0;
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return uint16_t{0};
    }
    for (char c : digits) {
        port = port * 10 + static_cast<uint32_t>(c - '0');
    }
    return static_cast<uint16_t>(port <= 65535 ? port : 0);
}

int Percent(uint64_t done, uint64_t total) {
    if (total == 0) {
        return 0;
    }
    if (done >= total) {
        return 100;
    }
    // In floating point: done * 100 overflows for sizes near the top of the
    // range.
    const int percent =
        static_cast<int>(static_cast<double>(done) * 100.0 / static_cast<double>(total));
    return percent > 99 ? 99 : percent;
}

} // namespace qlx::updater
