#include "tray/core/allowed_sites.h"

#include <algorithm>
#include <charconv>

#include "tray/core/file_store.h"
#include "tray/core/punycode.h"

namespace qlx::tray {

namespace {

constexpr size_t kMaxHost = 253;
constexpr size_t kMaxLabel = 63;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view TrimmedBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsBlank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool IsSchemeChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-' || c == '.';
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool AllDigits(std::string_view s) {
    return !s.empty() &&
           std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The pieces of a site: host as stored, the port if one was given.
struct SiteParts {
    std::string host;
    std::optional<uint16_t> port;
    bool isAddress = false; // IPv4 or IPv6
    std::string scheme;     // lower case, empty without one
    SiteError error = SiteError::None;
    bool ok() const { return error == SiteError::None; }
};

bool ValidIpv6(std::string_view s) {
    size_t colons = 0;
    size_t doubles = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == ':') {
            ++colons;
            if (i + 1 < s.size() && s[i + 1] == ':') {
                ++doubles;
            }
        } else if (!IsHex(c) && c != '.') {
            return false;
        }
    }
    return colons >= 2 && colons <= 7 && doubles <= 1 && s.find(":::") == std::string_view::npos;
}

std::string Lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return out;
}

// "[" address "]", built by appending (GCC 12 warns falsely of an overlap
// in the operator+ chain at -O3).
std::string Bracketed(std::string_view address) {
    std::string out = "[";
    out += Lowered(address);
    out += ']';
    return out;
}

SiteError ParsePort(std::string_view text, std::optional<uint16_t>& port) {
    if (!AllDigits(text) || text.size() > 5) {
        return SiteError::BadPort;
    }
    unsigned value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value == 0 || value > 65535) {
        return SiteError::BadPort;
    }
    port = static_cast<uint16_t>(value);
    return SiteError::None;
}

// Whether every "xn--" label of a name decodes to letters beyond ASCII.
bool RealAceLabels(std::string_view host) {
    size_t start = 0;
    while (start <= host.size()) {
        size_t dot = host.find('.', start);
        if (dot == std::string_view::npos) {
            dot = host.size();
        }
        const std::string_view label = host.substr(start, dot - start);
        if (label.substr(0, 4) == "xn--") {
            // Nor may the letters have hyphens third and fourth, as an
            // "xn--" label itself has.
            const std::string decoded = HostToUnicode(label);
            if (decoded == label || (decoded.size() >= 4 && decoded.compare(2, 2, "--") == 0) ||
                std::all_of(decoded.begin(), decoded.end(),
                            [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
                return false;
            }
        }
        start = dot + 1;
    }
    return true;
}

// A name: lowered, made ASCII, each label checked; four numeric labels
// make an IPv4 address.
SiteError CheckName(std::string& host, bool& isAddress) {
    const bool ascii = std::all_of(host.begin(), host.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    host = Lowered(host);
    if (!ascii || host.rfind("xn--", 0) == 0 || host.find(".xn--") != std::string::npos) {
        // Through the letters and back, so that an "xn--" label typed in
        // any case, or one that hides capitals or plain ASCII, has one
        // stored form. Plain ASCII names (nearly every page) skip this.
        const auto roundTrip = [](std::string_view name) {
            const auto encoded = HostToAscii(LowerUtf8(name));
            return encoded ? HostToAscii(LowerUtf8(HostToUnicode(*encoded))) : std::nullopt;
        };
        const auto canonical = roundTrip(host);
        // An "xn--" label must stand for letters beyond ASCII, and the stored
        // form must come back from its own round trip: anything else is not
        // a name a browser would show.
        if (!RealAceLabels(host) || !canonical || roundTrip(*canonical) != canonical ||
            !RealAceLabels(*canonical)) {
            return SiteError::BadCharacter;
        }
        host = Lowered(*canonical);
    }
    if (host.size() > kMaxHost) {
        return SiteError::TooLong;
    }
    size_t labels = 0;
    size_t numeric = 0;
    bool overByte = false;
    size_t start = 0;
    while (start <= host.size()) {
        size_t dot = host.find('.', start);
        if (dot == std::string::npos) {
            dot = host.size();
        }
        const std::string_view label(host.data() + start, dot - start);
        if (label.empty()) {
            return SiteError::BadCharacter;
        }
        if (label.size() > kMaxLabel) {
            return SiteError::TooLong;
        }
        for (char c : label) {
            if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_')) {
                return SiteError::BadCharacter;
            }
        }
        ++labels;
        if (AllDigits(label)) {
            ++numeric;
            unsigned value = 0;
            std::from_chars(label.data(), label.data() + label.size(), value);
            overByte = overByte || label.size() > 3 || value > 255;
        }
        start = dot + 1;
    }
    if (labels == 4 && numeric == 4) {
        if (overByte) {
            return SiteError::BadAddress;
        }
        // "010.1.1.1" and "10.1.1.1" are one address.
        std::string canonical;
        size_t from = 0;
        for (int i = 0; i < 4; ++i) {
            const size_t dot = host.find('.', from);
            const std::string part = host.substr(from, dot - from);
            canonical += std::to_string(std::stoi(part));
            if (i < 3) {
                canonical += '.';
            }
            from = dot + 1;
        }
        host = canonical;
        isAddress = true;
    }
    return SiteError::None;
}

SiteParts ParseSite(std::string_view text) {
    SiteParts parts;
    const size_t schemeEnd = text.find("://");
    if (schemeEnd != std::string_view::npos && schemeEnd > 0 &&
        std::all_of(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(schemeEnd),
                    IsSchemeChar)) {
        parts.scheme = Lowered(text.substr(0, schemeEnd));
        text.remove_prefix(schemeEnd + 3);
    } else if (text.substr(0, 2) == "//") {
        text.remove_prefix(2);
    }
    text = text.substr(0, text.find_first_of("/?#\\"));
    const size_t at = text.rfind('@');
    if (at != std::string_view::npos) {
        text.remove_prefix(at + 1);
    }
    if (text.substr(0, 4) == "[*.]") {
        text.remove_prefix(4);
    } else if (text.substr(0, 2) == "*.") {
        text.remove_prefix(2);
    }

    std::string_view host;
    if (!text.empty() && text.front() == '[') {
        const size_t close = text.find(']');
        if (close == std::string_view::npos || !ValidIpv6(text.substr(1, close - 1))) {
            parts.error = SiteError::BadAddress;
            return parts;
        }
        parts.host = Bracketed(text.substr(1, close - 1));
        parts.isAddress = true;
        const std::string_view rest = text.substr(close + 1);
        if (!rest.empty()) {
            parts.error = rest.front() == ':' ? ParsePort(rest.substr(1), parts.port)
                                              : SiteError::BadCharacter;
        }
        return parts;
    }
    const size_t colons = static_cast<size_t>(std::count(text.begin(), text.end(), ':'));
    if (colons > 1) {
        // An IPv6 address without brackets can carry no port.
        if (!ValidIpv6(text)) {
            parts.error = SiteError::BadAddress;
            return parts;
        }
        parts.host = Bracketed(text);
        parts.isAddress = true;
        return parts;
    }
    host = text;
    if (colons == 1) {
        const size_t colon = text.find(':');
        host = text.substr(0, colon);
        parts.error = ParsePort(text.substr(colon + 1), parts.port);
        if (!parts.ok()) {
            return parts;
        }
    }
    if (!host.empty() && host.back() == '.') {
        host.remove_suffix(1);
    }
    if (host.empty()) {
        parts.error = SiteError::Empty;
        return parts;
    }
    parts.host = std::string(host);
    parts.error = CheckName(parts.host, parts.isAddress);
    return parts;
}

std::optional<uint16_t> DefaultPort(const std::string& scheme) {
    if (scheme == "http") {
        return 80;
    }
    if (scheme == "https") {
        return 443;
    }
    if (scheme == "ftp") {
        return 21;
    }
    return std::nullopt;
}

std::string WithPort(const std::string& host, uint16_t port) {
    return host + ":" + std::to_string(port);
}

// "=host:port" -> host, port (0 without one), exact.
struct EntryKey {
    std::string_view host;
    unsigned port = 0;
    bool exact = false;
};

EntryKey KeyOf(std::string_view entry) {
    EntryKey key;
    if (!entry.empty() && entry.front() == '=') {
        key.exact = true;
        entry.remove_prefix(1);
    }
    const size_t colon = entry.rfind(':');
    const size_t close = entry.rfind(']');
    if (colon != std::string_view::npos && (close == std::string_view::npos || colon > close)) {
        std::from_chars(entry.data() + colon + 1, entry.data() + entry.size(), key.port);
        entry = entry.substr(0, colon);
    }
    key.host = entry;
    return key;
}

} // namespace

SiteEntry NormaliseSite(std::string_view typed) {
    SiteEntry result;
    std::string_view text = TrimmedBlanks(typed);
    if (text.empty()) {
        result.error = SiteError::Empty;
        return result;
    }
    if (std::any_of(text.begin(), text.end(), IsBlank)) {
        result.error = SiteError::Spaces;
        return result;
    }
    if (std::any_of(text.begin(), text.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; })) {
        result.error = SiteError::BadCharacter;
        return result;
    }
    bool exact = false;
    if (text.front() == '=') {
        exact = true;
        text.remove_prefix(1);
        if (text.substr(0, 2) == "*." || text.substr(0, 4) == "[*.]") {
            result.error = SiteError::BadCharacter; // "only this host" and "every host below"
            return result;
        }
    }
    const SiteParts parts = ParseSite(text);
    if (!parts.ok()) {
        result.error = parts.error;
        return result;
    }
    // An address matches only itself: "=" would say nothing more.
    result.entry = (exact && !parts.isAddress ? "=" : "") + parts.host;
    if (parts.port) {
        result.entry = WithPort(result.entry, *parts.port);
    }
    return result;
}

std::string SiteErrorText(SiteError error) {
    switch (error) {
    case SiteError::None:
        return {};
    case SiteError::Empty:
        return "Please type the name of a site, for example www.example.com.";
    case SiteError::Spaces:
        return "A site name cannot contain spaces.";
    case SiteError::BadPort:
        return "The port must be a number from 1 to 65535.";
    case SiteError::BadCharacter:
        return "A site name may hold only letters, digits, hyphens and dots, between non-empty "
               "parts.";
    case SiteError::BadAddress:
        return "This is not a valid IP address.";
    case SiteError::TooLong:
        return "This site name is too long.";
    }
    return {};
}

std::string SiteDisplayName(std::string_view entry) {
    const EntryKey key = KeyOf(entry);
    const size_t hostStart = key.exact ? 1 : 0;
    return std::string(entry.substr(0, hostStart)) + HostToUnicode(key.host) +
           std::string(entry.substr(hostStart + key.host.size()));
}

bool AllowedSites::ByHost::operator()(const std::string& a, const std::string& b) const {
    const EntryKey x = KeyOf(a);
    const EntryKey y = KeyOf(b);
    if (x.host != y.host) {
        return x.host < y.host;
    }
    if (x.port != y.port) {
        return x.port < y.port;
    }
    return !x.exact && y.exact;
}

bool AllowedSites::Add(const std::string& entry) {
    if (!sorted_.insert(entry).second) {
        return false;
    }
    Index(entry);
    return true;
}

bool AllowedSites::Remove(const std::string& entry) {
    if (sorted_.erase(entry) == 0) {
        return false;
    }
    // "a.com" and "=a.com" share a key: the look-up sets are made again
    // from what is left (a removal is the user's own, rare, act).
    exact_.clear();
    domains_.clear();
    for (const std::string& kept : sorted_) {
        Index(kept);
    }
    return true;
}

void AllowedSites::Index(const std::string& entry) {
    const EntryKey key = KeyOf(entry);
    // Normalised addresses are "[...]" or four numbers.
    const bool address =
        !key.host.empty() &&
        (key.host.front() == '[' || (std::count(key.host.begin(), key.host.end(), '.') == 3 &&
                                     std::all_of(key.host.begin(), key.host.end(), [](char c) {
                                         return c == '.' || (c >= '0' && c <= '9');
                                     })));
    auto& set = key.exact || address ? exact_ : domains_;
    set.insert(entry.substr(key.exact ? 1 : 0));
}

std::vector<std::string> AllowedSites::Entries() const {
    return {sorted_.begin(), sorted_.end()};
}

// No shortcut for an empty list: every answer costs the same, whatever the
// list holds.
bool AllowedSites::Allows(std::string_view address) const {
    const SiteParts parts = ParseSite(TrimmedBlanks(address));
    if (!parts.ok()) {
        return false;
    }
    const std::optional<uint16_t> port = parts.port ? parts.port : DefaultPort(parts.scheme);
    std::string portText;
    if (port) {
        portText = ':';
        portText += std::to_string(*port);
    }
    std::string withPort; // reused: no allocation per probe once it is large enough
    const auto found = [&](const KeySet& set, std::string_view host) {
        if (set.find(host) != set.end()) {
            return true;
        }
        if (portText.empty()) {
            return false;
        }
        withPort.assign(host);
        withPort += portText;
        return set.find(std::string_view(withPort)) != set.end();
    };
    if (found(exact_, parts.host)) {
        return true;
    }
    if (parts.isAddress) {
        return false;
    }
    const std::string_view host = parts.host;
    for (size_t from = 0; from < host.size();) {
        if (found(domains_, host.substr(from))) {
            return true;
        }
        const size_t dot = host.find('.', from);
        if (dot == std::string_view::npos) {
            break;
        }
        from = dot + 1;
    }
    return false;
}

SitesReading ReadSites(std::string_view text) {
    SitesReading reading;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        const std::string_view line = TrimmedBlanks(text.substr(start, end - start));
        start = end + 1;
        if (line.empty()) {
            continue;
        }
        const SiteEntry entry = NormaliseSite(line);
        if (entry.ok()) {
            reading.sites.Add(entry.entry);
        } else {
            reading.unreadable.emplace_back(line);
        }
    }
    return reading;
}

std::string WriteSites(const AllowedSites& sites, const std::vector<std::string>& unreadable) {
    std::string text;
    for (const std::string& entry : sites.Entries()) {
        text += entry + "\r\n";
    }
    for (const std::string& line : unreadable) {
        text += line + "\r\n";
    }
    return text;
}

SitesReading LoadSitesFile(const FileStore& files, const std::string& path) {
    const FileRead read = files.Read(path);
    if (read.status == FileRead::Status::Failed) {
        SitesReading failed;
        failed.writable = false;
        return failed;
    }
    return read.ok() ? ReadSites(read.content) : SitesReading{};
}

bool SaveSitesFile(FileStore& files, const std::string& path, const SitesReading& sites) {
    return sites.writable && files.WriteReplacing(path, WriteSites(sites.sites, sites.unreadable));
}

namespace {

constexpr const char* kNotSavedText =
    "The list of allowed sites could not be saved: \"sites.lst\" could not be read or written. "
    "The list is left as it was.";

SiteEdit Edit(FileStore& files, const std::string& path, const std::string& entry, bool add) {
    SiteEdit edit;
    edit.entry = entry;
    edit.sites = LoadSitesFile(files, path);
    const bool changed = add ? edit.sites.sites.Add(entry) : edit.sites.sites.Remove(entry);
    if (!changed) {
        return edit;
    }
    if (!SaveSitesFile(files, path, edit.sites)) {
        edit.result = SiteEdit::Result::NotSaved;
        edit.message = kNotSavedText;
        edit.sites = LoadSitesFile(files, path);
        return edit;
    }
    edit.result = SiteEdit::Result::Changed;
    return edit;
}

} // namespace

SiteEdit AddSiteToFile(FileStore& files, const std::string& path, std::string_view typed) {
    const SiteEntry entry = NormaliseSite(typed);
    if (!entry.ok()) {
        SiteEdit refused;
        refused.result = SiteEdit::Result::Refused;
        refused.message = SiteErrorText(entry.error);
        refused.sites = LoadSitesFile(files, path);
        return refused;
    }
    return Edit(files, path, entry.entry, true);
}

SiteEdit RemoveSiteFromFile(FileStore& files, const std::string& path, const std::string& entry) {
    return Edit(files, path, entry, false);
}

} // namespace qlx::tray
