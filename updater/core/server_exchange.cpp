// The update server exchange: opening a request in the secure or plain
// mode, reading and parsing the answer, and the rounds of an update answer.
#include "updater/core/server_exchange.h"

#include <algorithm>

#include "common/core/text.h"
#include "updater/core/return_codes.h"

namespace qlx::updater {

namespace {

// The connecting state stays on screen at least this long.
constexpr uint64_t kConnectingMinimumMs = 2000;
constexpr uint32_t kReadPauseMs = 10;

// WinINet's certificate errors: date, host name, unknown or invalid authority,
// revoked, and any other.
bool IsCertificateError(uint32_t error) {
    return error == 12037 || error == 12038 || error == 12045 || error == 12057 || error == 12169 ||
           error == 12170 || error == 12179;
}

} // namespace

ServerExchange::ServerExchange(ExchangePlatform& platform, SessionGuard& guard, LogSink& log,
                               UpdaterNotifications& windows, const OptionStore& options,
                               std::function<void()> diagnose)
    : platform_(platform), guard_(guard), log_(log), windows_(windows), options_(options),
      diagnose_(std::move(diagnose)) {}

std::unique_ptr<HttpRequest> ServerExchange::Open(const std::string& address) {
    if (!platform_.SplitsAddress(address)) {
        throw UpdaterFailure{kBadServerAddress};
    }
    const std::string ssl = options_.Value("UseSSL");
    bool secure = true;
    bool plain = true;
    if (EqualsNoCase(ssl, "yes")) {
        plain = false;
    } else if (EqualsNoCase(ssl, "no")) {
        secure = false;
    } else if (!EqualsNoCase(ssl, "auto")) {
        Log("Warning: invalid SSL option: " + ssl + " Defaulting to \"auto\".");
    }
    // An address that asks for TLS gets it, whatever the option says: a
    // plain fallback would hand the exchange to anyone on the way.
    if (address.size() >= 8 && EqualsNoCase(std::string_view(address).substr(0, 8), "https://")) {
        secure = true;
        plain = false;
    }
    std::unique_ptr<HttpRequest> request;
    uint32_t error = 0;
    if (secure) {
        request = platform_.OpenHttp(address, HttpMode::Secure, &error);
        if (!request && IsCertificateError(error)) {
            Log("Error: the server's certificate is not trusted, error code: " +
                std::to_string(error) + ".");
        }
    }
    if (!request && plain) {
        request = platform_.OpenHttp(address, HttpMode::Plain, &error);
    }
    if (!request) {
        // The last resort keeps to the mode asked for: "yes" never goes plain.
        request =
            platform_.OpenAddress(address, plain ? HttpMode::Plain : HttpMode::Secure, &error);
    }
    if (!request) {
        throw UpdaterFailure{kNetworkFailure};
    }
    return request;
}

const ServerResponse& ServerExchange::Send(const std::string& address) {
    Log("Sending request:  " + address);
    windows_.ShowConnecting();
    SessionClock& clock = guard_.Clock();
    const uint64_t start = clock.Milliseconds();
    const auto keepConnecting = [&] {
        const uint64_t elapsed = clock.Milliseconds() - start;
        if (elapsed < kConnectingMinimumMs) {
            clock.Sleep(static_cast<uint32_t>(kConnectingMinimumMs - elapsed));
        }
    };
    response_.clear();
    int32_t failure = 0;
    try {
        std::unique_ptr<HttpRequest> request;
        try {
            request = Open(address);
        } catch (const UpdaterFailure&) {
            Log("Error: failed to open URL. See updater's error code for details.");
            throw;
        } catch (...) {
            Log("Error: Requested URL not opened.");
            throw UpdaterFailure{kNetworkFailure};
        }
        ReadResponse(*request);
    } catch (const UpdaterFailure& thrown) {
        failure = thrown.code;
    } catch (...) {
        failure = kGeneralFailure;
    }
    keepConnecting();
    if (failure != 0) {
        if (failure != kCancelled && diagnose_) {
            diagnose_();
        }
        windows_.HideConnecting();
        throw UpdaterFailure{failure};
    }
    windows_.HideConnecting();
    return response_;
}

void ServerExchange::ReadResponse(HttpRequest& request) {
    const std::optional<uint32_t> status = request.Status();
    if (!status) {
        Log("ERROR: HttpQueryInfo returns FALSE. Can't determinet HTTP status code.");
        throw UpdaterFailure{kNetworkFailure};
    }
    if (*status != 200) {
        Log("ERROR: HTTP status code " + std::to_string(*status) + ".");
        throw UpdaterFailure{kNetworkFailure};
    }
    std::string body(kMaxResponseBytes, '\0');
    size_t length = 0;
    int failures = 0;
    while (length < body.size()) {
        uint32_t read = 0;
        uint32_t error = 0;
        const bool ok = request.Read(body.data() + length,
                                     static_cast<uint32_t>(body.size() - length), &read, &error);
        guard_.Clock().Sleep(kReadPauseMs);
        guard_.CheckTime();
        guard_.CheckCancel();
        if (ok) {
            if (read == 0) {
                break;
            }
            length += std::min<size_t>(read, body.size() - length);
            failures = 0;
        } else if (error == 6) {
            Log("ERROR: InternetReadFile returns \"Handle is invalid\".");
            throw UpdaterFailure{kNetworkFailure};
        } else if (++failures >= kReadFailuresLimit) {
            Log("ERROR: InternetReadFile keeps failing, error code: " + std::to_string(error) +
                ".");
            throw UpdaterFailure{kNetworkFailure};
        }
    }
    body.resize(length);
    response_ = ParseServerResponse(body);
    if (detailedLog_) {
        Log("Server response (parsed):");
        for (const ResponseRecord& record : response_) {
            std::string line = record.keyword + ":";
            for (size_t i = 0; i < record.values.size(); ++i) {
                line += (i == 0 ? " " : ", ") + record.values[i];
            }
            Log(line);
        }
    }
}

void ServerExchange::BeginServer() {
    round_ = 1;
    expiry_ = 0;
    lastRoundFiles_ = 0;
    lastRoundRefused_ = false;
}

bool ServerExchange::NextRound() {
    if (round_ >= kMaxUpdateRounds) {
        Log("Fatal error: the server asked for more than " + std::to_string(kMaxUpdateRounds) +
            " rounds of downloads. Exiting.");
        return false;
    }
    ++round_;
    return true;
}

void ServerExchange::TakeOffer(const UpdateOffer& offer) {
    if (offer.returnCode == kUpdated && offer.expireSeconds) {
        expiry_ = guard_.Clock().Milliseconds() + *offer.expireSeconds * 1000;
    } else if (offer.returnCode == kUpdated) {
        expiry_ = 0;
    }
}

bool ServerExchange::Expired() {
    return guard_.Clock().Milliseconds() > expiry_;
}

std::optional<int32_t> ServerExchange::CheckProgress(size_t missingFiles, bool firstRound) {
    if (!firstRound && missingFiles >= lastRoundFiles_ && missingFiles != 0) {
        // The last round brought nothing that is found by its CRC now (the
        // server refused a file, or sent one that does not match): asking
        // again would go on for ever.
        Log("Fatal error: files of the previous round are still missing. Exiting.");
        return lastRoundRefused_ ? kDownloadStatus : kGeneralFailure;
    }
    lastRoundFiles_ = missingFiles;
    lastRoundRefused_ = false;
    return std::nullopt;
}

} // namespace qlx::updater
