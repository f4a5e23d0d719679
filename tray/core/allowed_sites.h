#pragma once
// The sites whose pages may open pop-ups ("sites.lst" in the data folder).
// An entry is a host name, an IPv4 address or a bracketed IPv6 address,
// optionally with ":port", lower case, non-ASCII labels in their "xn--"
// form. "example.com" allows example.com and every name below it;
// "=example.com" that host only; an address matches only itself. An entry
// without a port allows every port.
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <functional>
#include <unordered_set>
#include <vector>

namespace qlx::tray {

class FileStore;

inline constexpr const char* kSitesFileName = "sites.lst";

enum class SiteError {
    None,
    Empty,        // nothing but blanks
    Spaces,       // blanks inside the name
    BadPort,      // not a number from 1 to 65535
    BadCharacter, // a character no host name holds, or an empty label
    BadAddress,   // a malformed IPv6 address
    TooLong,      // over 253 characters, or a label over 63
};

struct SiteEntry {
    std::string entry; // the stored form, e.g. "=www.example.com:8080"
    SiteError error = SiteError::None;
    bool ok() const { return error == SiteError::None; }
};

// What the user typed or pasted, reduced to an entry: surrounding blanks,
// a scheme, user name, path, query and fragment, a trailing dot and a
// leading "*." or "[*.]" go; the name is lowered and made ASCII.
// "https://www.example.com/path?q" -> "www.example.com".
SiteEntry NormaliseSite(std::string_view typed);

// The text that explains a refusal, for the message box.
std::string SiteErrorText(SiteError error);

// An entry as the list shows it: "xn--" labels back in their own letters.
std::string SiteDisplayName(std::string_view entry);

class AllowedSites {
public:
    // Adds a normalised entry; false if it was there already.
    bool Add(const std::string& entry);
    bool Remove(const std::string& entry);
    bool Contains(const std::string& entry) const { return sorted_.count(entry) != 0; }
    size_t Size() const { return sorted_.size(); }
    // The entries by host name, then port, an exact entry after the
    // domain entry of the same name.
    std::vector<std::string> Entries() const;

    // Whether a pop-up opened by a page at `address` (any address the
    // browser reports: a whole URL or just scheme and host) is allowed.
    // Lookups cost one hash probe per label of the host, whatever the
    // size of the list.
    bool Allows(std::string_view address) const;

private:
    void Index(const std::string& entry);

    struct ByHost {
        bool operator()(const std::string& a, const std::string& b) const;
    };
    // Looked up by string_view, without making a string of each suffix.
    struct KeyHash {
        using is_transparent = void;
        size_t operator()(std::string_view key) const { return std::hash<std::string_view>()(key); }
    };
    using KeySet = std::unordered_set<std::string, KeyHash, std::equal_to<>>;

    std::set<std::string, ByHost> sorted_;
    KeySet domains_; // "host" or "host:port"
    KeySet exact_;   // the same, for "=" entries and addresses
};

// "sites.lst": one entry per line, CR LF. Lines that do not normalise are
// kept in `unreadable` and written back as they were, so an edit never
// drops what this version could not read.
struct SitesReading {
    AllowedSites sites;
    std::vector<std::string> unreadable;
    // False when the file exists but could not be read: it must not be
    // written over.
    bool writable = true;
};

SitesReading ReadSites(std::string_view text);
std::string WriteSites(const AllowedSites& sites, const std::vector<std::string>& unreadable);

SitesReading LoadSitesFile(const FileStore& files, const std::string& path);
bool SaveSitesFile(FileStore& files, const std::string& path, const SitesReading& sites);

// One change of the list by the user, made to the file as it is now (another
// window or a second edit may have changed it) and saved at once.
struct SiteEdit {
    enum class Result { Changed, Unchanged, Refused, NotSaved };
    Result result = Result::Unchanged;
    std::string entry;   // the normalised entry
    std::string message; // why it was refused or not saved
    SitesReading sites;  // the list as the file now holds it
};
SiteEdit AddSiteToFile(FileStore& files, const std::string& path, std::string_view typed);
SiteEdit RemoveSiteFromFile(FileStore& files, const std::string& path, const std::string& entry);

} // namespace qlx::tray
