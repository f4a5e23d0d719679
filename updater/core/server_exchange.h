#pragma once
// `ServerExchange`: one update server's request and answer, and the rounds
// of an update answer. It opens requests in the secure or plain mode the
// options and the address ask for, reads and parses the answer, and keeps
// the rounds of one server finite.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "updater/core/log_line.h"
#include "updater/core/options.h"
#include "updater/core/platform.h"
#include "updater/core/server_response.h"
#include "updater/core/session_guard.h"

namespace qlx::updater {

class ServerExchange {
public:
    // `options` gives "UseSSL" at each request. `diagnose` runs after a
    // request failed, unless it was cancelled.
    ServerExchange(ExchangePlatform& platform, SessionGuard& guard, LogSink& log,
                   UpdaterNotifications& windows, const OptionStore& options,
                   std::function<void()> diagnose = {});

    void SetDetailedLog(bool on) { detailedLog_ = on; }

    // A sent request for `address`; throws -9 when the address does not
    // split, -11 when no mode reaches it.
    std::unique_ptr<HttpRequest> Open(const std::string& address);
    // Sends the request and reads and parses the answer, with the
    // connecting state on screen; throws the failure's code.
    const ServerResponse& Send(const std::string& address);
    const ServerResponse& Response() const { return response_; }

    // The rounds of one server's update answer.
    void BeginServer();
    // The first round is 1.
    int Round() const { return round_; }
    // Starts the next round; false (logged) when the server asked for too many.
    bool NextRound();
    // The time the server gives for this round's downloads ("Expire").
    void TakeOffer(const UpdateOffer& offer);
    // Whether that time is over: the files left wait for the next round.
    bool Expired();
    // A download of this round that the server refused for now.
    void Refused() { lastRoundRefused_ = true; }
    // The round's missing files against the last round's: nothing while
    // they become fewer, else (logged) the code to end with.
    std::optional<int32_t> CheckProgress(size_t missingFiles, bool firstRound);

private:
    void Log(std::string_view message) { log_.Write(message); }
    void ReadResponse(HttpRequest& request);

    ExchangePlatform& platform_;
    SessionGuard& guard_;
    LogSink& log_;
    UpdaterNotifications& windows_;
    const OptionStore& options_;
    std::function<void()> diagnose_;
    bool detailedLog_ = false;

    ServerResponse response_;
    int round_ = 1;
    uint64_t expiry_ = 0;       // milliseconds since system start
    size_t lastRoundFiles_ = 0; // to see that the rounds come to an end
    bool lastRoundRefused_ = false;
};

} // namespace qlx::updater
