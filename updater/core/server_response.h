#pragma once
// The update server's answer: lines of a keyword, ":" and values separated
// by ",", kept in order. Keywords compare without regard to case; a lookup
// takes the first record with its keyword.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qlx::updater {

// More than this is never read from a server.
inline constexpr size_t kMaxResponseBytes = 65535;
// Reads from a server that fail this many times in a row end the request: a
// connection that keeps failing would otherwise hold the session for ever.
inline constexpr int kReadFailuresLimit = 200;
// An update answer asks again after each round of downloads; a server that
// keeps asking ends the session after this many rounds.
inline constexpr int kMaxUpdateRounds = 64;

struct ResponseRecord {
    std::string keyword;
    std::vector<std::string> values;
    // Everything after the first ":", trimmed: a "Text" line's title and
    // message keep their own ":" and ",".
    std::string text;
};

using ServerResponse = std::vector<ResponseRecord>;

// Lines end in CR LF or LF CR (a lone CR or LF ends one too); empty lines
// are skipped; blanks around the keyword and each value are removed. Only
// the first kMaxResponseBytes bytes are looked at.
ServerResponse ParseServerResponse(std::string_view body);

const ResponseRecord* FindRecord(const ServerResponse& response, std::string_view keyword);
// The first value of the first record with `keyword`.
std::optional<std::string_view> FirstValue(const ServerResponse& response,
                                           std::string_view keyword);

// The decimal value of a text the way the C library reads it: blanks, a
// sign, then digits up to the first other character (0 when there are none).
int32_t DecimalValue(std::string_view text);

// "check": 25 when the trimmed "ReturnCode" is exactly "0" (an update is
// available), 24 when it is "1" (nothing to update), its decimal value
// otherwise, and -11 when the response has none.
int32_t EvaluateCheckResponse(const ServerResponse& response);

struct DownloadFile {
    std::string name; // relative to the session's working directory
    uint64_t size = 0;
    uint32_t crc = 0;
    std::string address;
    bool operator==(const DownloadFile&) const = default;
};

// What an "update" or "getlanguage" answer offers, read in record order.
struct UpdateOffer {
    // 21 to go on with the downloads; otherwise the code the session stops with.
    int32_t returnCode = -11;
    std::vector<DownloadFile> files;
    uint64_t totalSize = 0;
    std::optional<uint64_t> expireSeconds;
    std::optional<std::string> productVersion;
    std::optional<std::string> productName;
    std::optional<std::string> abbreviation;
    // Log lines in the order they arise.
    std::vector<std::string> log;
};

// The sum of the download sizes of every well-formed "File" line: the room
// the session needs before it looks at "ReturnCode". None when the sum does
// not fit in 64 bits: no real update is that large.
std::optional<uint64_t> TotalDownloadSize(const ServerResponse& response);

// Reads "ReturnCode", then the files, "Expire" and (in the first round
// only) the new identity values. A round that goes on has returnCode 21;
// one that names no file, or (first round) no new version, logs why and
// stays at 21 with `proceed` false. Sizes that add up past 64 bits end the
// session with -18.
inline constexpr const char* kSizesOverflow =
    "Fatal error: the file sizes in server's response add up to more than 2^64 bytes. Exiting.";
struct UpdateRound {
    UpdateOffer offer;
    bool proceed = false;
};
UpdateRound ReadUpdateRound(const ServerResponse& response, bool firstRound);

} // namespace qlx::updater
