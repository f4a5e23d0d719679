#include "updater/core/server_response.h"

#include <charconv>
#include <limits>

#include "common/core/text.h"
#include "updater/core/words.h"

namespace qlx::updater {

namespace {

ResponseRecord ParseLine(std::string_view line) {
    ResponseRecord record;
    const size_t colon = line.find(':');
    record.keyword = TrimBlanks(line.substr(0, colon));
    if (colon == std::string_view::npos) {
        return record;
    }
    std::string_view rest = line.substr(colon + 1);
    record.text = TrimBlanks(rest);
    for (;;) {
        const size_t comma = rest.find(',');
        record.values.emplace_back(TrimBlanks(rest.substr(0, comma)));
        if (comma == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(comma + 1);
    }
    return record;
}

// An unsigned decimal number that must fill the whole text.
template <typename T> std::optional<T> WholeNumber(std::string_view text) {
    T value{};
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// The CRC is a 32-bit number written in decimal; a server that prints it
// signed gives the same bits.
std::optional<uint32_t> CrcValue(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    const auto magnitude = WholeNumber<uint32_t>(negative ? text.substr(1) : text);
    if (!magnitude || (negative && *magnitude > 0x80000000u)) {
        return std::nullopt;
    }
    return negative ? static_cast<uint32_t>(0u - *magnitude) : *magnitude;
}

std::optional<DownloadFile> FileOf(const ResponseRecord& record) {
    if (record.values.size() < 4 || record.values[0].empty() || record.values[3].empty()) {
        return std::nullopt;
    }
    const auto size = WholeNumber<uint64_t>(record.values[1]);
    const auto crc = CrcValue(record.values[2]);
    if (!size || !crc) {
        return std::nullopt;
    }
    return DownloadFile{record.values[0], *size, *crc, record.values[3]};
}

// Adds `size` unless the sum would wrap.
bool AddSize(uint64_t& total, uint64_t size) {
    if (size > std::numeric_limits<uint64_t>::max() - total) {
        return false;
    }
    total += size;
    return true;
}

} // namespace

ServerResponse ParseServerResponse(std::string_view body) {
    body = body.substr(0, kMaxResponseBytes);
    // The zero-filled buffer the body is read into ends the text at its
    // first zero byte.
    body = body.substr(0, body.find('\0'));
    ServerResponse response;
    while (!body.empty()) {
        const size_t end = body.find_first_of("\r\n");
        const std::string_view line = body.substr(0, end);
        if (!TrimBlanks(line).empty()) {
            response.push_back(ParseLine(line));
        }
        if (end == std::string_view::npos) {
            break;
        }
        body.remove_prefix(end + 1);
    }
    return response;
}

const ResponseRecord* FindRecord(const ServerResponse& response, std::string_view keyword) {
    for (const ResponseRecord& record : response) {
        if (EqualsNoCase(record.keyword, keyword)) {
            return &record;
        }
    }
    return nullptr;
}

std::optional<std::string_view> FirstValue(const ServerResponse& response,
                                           std::string_view keyword) {
    const ResponseRecord* record = FindRecord(response, keyword);
    if (record == nullptr || record->values.empty()) {
        return std::nullopt;
    }
    return std::string_view(record->values.front());
}

int32_t DecimalValue(std::string_view text) {
    text = TrimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<int32_t>::max()) {
            return negative ? std::numeric_limits<int32_t>::min()
                            : std::numeric_limits<int32_t>::max();
        }
    }
    return static_cast<int32_t>(negative ? -value : value);
}

int32_t EvaluateCheckResponse(const ServerResponse& response) {
    const auto code = FirstValue(response, "ReturnCode");
    if (!code) {
        return -11;
    }
    const std::string_view trimmed = TrimBlanks(*code);
    if (trimmed == "0") {
        return 25;
    }
    if (trimmed == "1") {
        return 24;
    }
    return DecimalValue(trimmed);
}

std::optional<uint64_t> TotalDownloadSize(const ServerResponse& response) {
    uint64_t total = 0;
    for (const ResponseRecord& record : response) {
        if (EqualsNoCase(record.keyword, "File")) {
            if (const auto file = FileOf(record); file && !AddSize(total, file->size)) {
                return std::nullopt;
            }
        }
    }
    return total;
}

UpdateRound ReadUpdateRound(const ServerResponse& response, bool firstRound) {
    UpdateRound round;
    UpdateOffer& offer = round.offer;
    const auto code = FirstValue(response, "ReturnCode");
    if (!code) {
        offer.returnCode = -11;
        return round;
    }
    const std::string_view trimmed = TrimBlanks(*code);
    if (trimmed == "1") {
        offer.returnCode = 24;
        return round;
    }
    if (trimmed != "0") {
        offer.returnCode = DecimalValue(trimmed);
        return round;
    }
    offer.returnCode = 21;

    const auto firstValue = [](const ResponseRecord& record) {
        return record.values.empty() ? std::string() : record.values.front();
    };
    for (const ResponseRecord& record : response) {
        if (firstRound && EqualsNoCase(record.keyword, "ProductVersion")) {
            if (!offer.productVersion) {
                offer.productVersion = firstValue(record);
            }
        } else if (firstRound && EqualsNoCase(record.keyword, "ProductName")) {
            if (!offer.productName) {
                offer.productName = firstValue(record);
            }
        } else if (firstRound && EqualsNoCase(record.keyword, "Abbr")) {
            if (!offer.abbreviation) {
                offer.abbreviation = firstValue(record);
            }
        } else if (EqualsNoCase(record.keyword, "File")) {
            if (auto file = FileOf(record)) {
                if (!AddSize(offer.totalSize, file->size)) {
                    offer.returnCode = -18;
                    offer.log.push_back(kSizesOverflow);
                    return round;
                }
                offer.files.push_back(std::move(*file));
            } else {
                offer.log.push_back("Warning: malformed \"File\" line in server's response. "
                                    "Line ignored.");
            }
        } else if (EqualsNoCase(record.keyword, "Expire")) {
            if (offer.expireSeconds) {
                offer.log.push_back("Warning: more than one \"Expire\" keyword found in server's "
                                    "response. Line ingnored.");
            } else {
                const int32_t seconds = DecimalValue(firstValue(record));
                offer.expireSeconds = seconds > 0 ? static_cast<uint64_t>(seconds) : 0;
            }
        }
    }
    if (offer.files.empty()) {
        offer.log.push_back("Strange situation: nothing to download. Exiting.");
        return round;
    }
    if (firstRound && (!offer.productVersion || offer.productVersion->empty())) {
        offer.log.push_back("Strange situation: version is empty. Exiting.");
        return round;
    }
    round.proceed = true;
    return round;
}

} // namespace qlx::updater
